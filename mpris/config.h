// SPDX-License-Identifier: GPL-2.0-or-later
// The library's configuration file, $XDG_CONFIG_HOME/velm/mpris.conf
// (~/.config/velm/mpris.conf without it), one setting a line:
//   preset3 = TEMPLATE        format preset 3 (render.h)
//   player = NAME, NAME...    players to use, first present first; * any other
// A line whose first non-blank character is '#' is a comment; other lines
// that are no setting are ignored. The last line of a setting wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view default_preset3 = "me is listening to [%artist% - ]%title%";

struct Config {
    std::string preset3{default_preset3};
    std::vector<std::string> players; // empty: by playback status
};

Config parse_config(std::string_view text);

// The file at `path`; the defaults when there is none; nothing when it
// exists but cannot be read.
std::optional<Config> read_config(const std::string &path);

// Where the configuration file is, from the environment.
std::string config_path();
