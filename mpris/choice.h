// SPDX-License-Identifier: GPL-2.0-or-later
// Which of the players on the bus a command is for, and which of them to wait
// for only briefly.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct PlayerState {
    std::string_view name;   // the bus name after "org.mpris.MediaPlayer2."
    std::string_view status; // PlaybackStatus: Playing, Paused, Stopped
};

// The player a command is for: by status (Playing, then Paused, then, when
// `stopped_too`, Stopped), within a status by its place in the `preferred`
// list ("vlc" also stands for "vlc.instance7389"; "*" for every player the
// list does not name), then by bus name. With a list that has no "*", a
// player it does not name is never chosen. Its index in `players`.
std::optional<std::size_t> choose_player(std::span<const PlayerState> players,
                                         std::span<const std::string> preferred, bool stopped_too);

// The unique bus names of the players that did not answer within a
// command's budget, oldest first: later commands give them only a grace.
// Bounded whatever the bus sends.
inline constexpr std::size_t most_silent_players = 64;
void remember_silent(std::vector<std::string> &silent, std::string_view unique_name);
void forget_silent(std::vector<std::string> &silent, std::string_view unique_name);
bool is_silent(const std::vector<std::string> &silent, std::string_view unique_name);
// Forgets the names that are no longer on the bus.
void forget_gone(std::vector<std::string> &silent, std::span<const std::string_view> on_bus);
