// SPDX-License-Identifier: GPL-2.0-or-later
// Names of table-driven test cases, made from the rule each row checks.
#pragma once

#include <cctype>
#include <string>

inline std::string rule_name(const char *rule) {
    std::string name = rule;
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

// For INSTANTIATE_TEST_SUITE_P over rows that have a `rule` member.
struct RuleName {
    template <typename Info> std::string operator()(const Info &info) const {
        return rule_name(info.param.rule);
    }
};
