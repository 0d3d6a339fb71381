// Which of the players on the bus a command is for.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct PlayerState {
    std::string_view name;   // the bus name after "org.mpris.MediaPlayer2."
    std::string_view status; // PlaybackStatus: Playing, Paused, Stopped
};

// With a `preferred` list, the first name in it with a player present, whatever
// its status ("vlc" also stands for "vlc.instance7389"; "*" for any player not
// listed). Otherwise a player Playing, then Paused, then, when `stopped_too`,
// Stopped. Among several, by status, then by bus name. Its index in `players`.
std::optional<std::size_t> choose_player(std::span<const PlayerState> players,
                                         std::span<const std::string> preferred, bool stopped_too);
