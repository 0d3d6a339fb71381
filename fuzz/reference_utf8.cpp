// SPDX-License-Identifier: GPL-2.0-or-later
#include "reference_utf8.h"

namespace reference {
namespace {
// One row of the table of well-formed sequences: the lead bytes it covers,
// the range of the byte after the lead, and the length. Every byte after the
// second lies in 80..BF.
struct Row {
    unsigned char lead_low, lead_high, second_low, second_high;
    std::size_t length;
};

constexpr Row well_formed[] = {
    {0x00, 0x7F, 0x00, 0x00, 1}, {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
    {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
    {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
};

// The longest run of bytes from `at` (before `end`) that begins some
// well-formed sequence, and whether it is a whole one. A byte that begins
// none is a run of one on its own.
struct Run {
    std::size_t length;
    bool whole;
};

Run longest_run(const unsigned char *text, std::size_t at, std::size_t end) {
    for (const Row &row : well_formed) {
        if (text[at] < row.lead_low || text[at] > row.lead_high)
            continue;
        std::size_t taken = 1;
        for (; taken < row.length && at + taken < end; ++taken) {
            const unsigned char low = taken == 1 ? row.second_low : 0x80;
            const unsigned char high = taken == 1 ? row.second_high : 0xBF;
            if (text[at + taken] < low || text[at + taken] > high)
                break;
        }
        return {taken, taken == row.length};
    }
    return {1, false};
}

char32_t value_of(const unsigned char *sequence, std::size_t length) {
    static constexpr unsigned char lead_bits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t value = sequence[0] & lead_bits[length];
    for (std::size_t i = 1; i < length; ++i)
        value = value << 6 | (sequence[i] & 0x3F);
    return value;
}

} // namespace

std::vector<char32_t> decode_replacing(const unsigned char *text, std::size_t end) {
    std::vector<char32_t> code_points;
    for (std::size_t at = 0; at < end;) {
        const Run run = longest_run(text, at, end);
        code_points.push_back(run.whole ? value_of(text + at, run.length) : 0xFFFD);
        at += run.length;
    }
    return code_points;
}

bool well_formed_utf8(const unsigned char *text, std::size_t end) {
    for (std::size_t at = 0; at < end;) {
        const Run run = longest_run(text, at, end);
        if (!run.whole)
            return false;
        at += run.length;
    }
    return true;
}

std::vector<char16_t> utf16_of(const std::vector<char32_t> &code_points) {
    std::vector<char16_t> units;
    for (const char32_t c : code_points) {
        if (c > 0xFFFF) {
            units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    return units;
}

std::vector<char32_t> code_points_of(const std::vector<char16_t> &units) {
    std::vector<char32_t> code_points;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
            const char32_t low = units[++i];
            code_points.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            code_points.push_back(unit);
        }
    }
    return code_points;
}

std::string utf8_of(const std::vector<char32_t> &code_points) {
    std::string utf8;
    for (const char32_t c : code_points) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | c >> 12);
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | c >> 18);
            utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::vector<char16_t> with_lone_surrogates_replaced(const std::vector<char16_t> &units) {
    std::vector<char16_t> out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool low_next =
            i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
        if (high && low_next) {
            out.push_back(units[i]);
            out.push_back(units[++i]);
        } else if (units[i] >= 0xD800 && units[i] <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(units[i]);
        }
    }
    return out;
}

} // namespace reference
