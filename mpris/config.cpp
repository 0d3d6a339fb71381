// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the configuration file: missing means the defaults, unreadable
// means misconfigured.
#include "config.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> player_list(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view name = trimmed(text.substr(0, comma));
        if (!name.empty())
            names.emplace_back(name);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return names;
}

} // namespace

Config parse_config(std::string_view text) {
    Config config;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || trimmed(line).starts_with('#'))
            continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key == "preset3")
            config.preset3 = value;
        else if (key == "player")
            config.players = player_list(value);
    }
    return config;
}

std::optional<Config> read_config(const std::string &path) {
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Config{};
        return std::nullopt;
    }
    // A configuration is a few lines; a megabyte is plenty.
    constexpr std::size_t most = 1 << 20;
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while (text.size() < most && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return parse_config(text);
}

std::string config_path() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory
    // rules say.
    const char *config_home = std::getenv("XDG_CONFIG_HOME");
    if (config_home != nullptr && config_home[0] == '/')
        return std::string(config_home) + "/velm/mpris.conf";
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/velm/mpris.conf";
}
