// SPDX-License-Identifier: GPL-2.0-or-later
// The MPRIS library's rules that need no bus: its configuration file and the
// choice of a player.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "choice.h"
#include "config.h"

namespace {

TEST(MprisConfig, ReadsPreset3AndThePlayerList) {
    const std::string fallback(default_preset3);
    const struct {
        const char *rule;
        const char *text;
        std::string preset3;
        std::vector<std::string> players;
    } cases[] = {
        {"empty file: the defaults", "", fallback, {}},
        {"a preset", "preset3 = x %title%\n", "x %title%", {}},
        {"blanks around key and value go", "  preset3=  a = b  \r\n", "a = b", {}},
        {"a comment line is skipped", "  # preset3 = no\n", fallback, {}},
        {"# inside a value is text", "preset3 = a #b\n", "a #b", {}},
        {"the last line wins", "preset3 = a\npreset3 = b", "b", {}},
        {"an empty preset", "preset3 =\n", "", {}},
        {"no other preset is read", "preset2 = x\n", fallback, {}},
        {"garbage is ignored", "garbage\n\x01=\x02\n=x\nplayer\n", fallback, {}},
        {"a player list", "player = mpv, vlc ,, *\n", fallback, {"mpv", "vlc", "*"}},
    };
    for (const auto &c : cases) {
        const Config config = parse_config(c.text);
        EXPECT_EQ(config.preset3, c.preset3) << c.rule;
        EXPECT_EQ(config.players, c.players) << c.rule;
    }
}

TEST(MprisChoice, ChoosesByStatusThenListThenName) {
    const std::vector<PlayerState> running = {{"vlc.instance7389", "Paused"},
                                              {"mpv", "Playing"},
                                              {"firefox.instance_1_379", "Playing"},
                                              {"rhythmbox", "Stopped"},
                                              {"vlcx", "Paused"}};
    const std::vector<PlayerState> stopped = {{"mpv", "Stopped"}, {"audacious", "Stopped"}};
    const std::vector<PlayerState> mpv_stopped = {{"mpv", "Stopped"}, {"firefox", "Playing"}};
    const struct {
        const char *rule;
        const std::vector<PlayerState> &players;
        std::vector<std::string> preferred;
        bool stopped_too;
        const char *expected; // null: none
    } cases[] = {
        {"playing first, ties by name", running, {}, false, "firefox.instance_1_379"},
        {"a name stands for its instances", running, {"vlc"}, false, "vlc.instance7389"},
        {"a name is not a prefix", running, {"vl"}, false, nullptr},
        {"a listed stopped player is not announced", running, {"rhythmbox"}, false, nullptr},
        {"a listed stopped player takes commands", running, {"rhythmbox"}, true, "rhythmbox"},
        {"status before the list", running, {"gone", "vlcx", "mpv"}, false, "mpv"},
        {"the list within a status", running, {"vlcx", "vlc"}, false, "vlcx"},
        {"* is any other player", running, {"gone", "*"}, false, "firefox.instance_1_379"},
        {"* leaves out the listed ones", running, {"*", "firefox"}, false, "mpv"},
        {"a list without * names all there is", running, {"gone"}, true, nullptr},
        {"mpv, * with mpv stopped: the other's song", mpv_stopped, {"mpv", "*"}, false, "firefox"},
        {"mpv, * with mpv stopped: the other pauses", mpv_stopped, {"mpv", "*"}, true, "firefox"},
        {"mpv, * with both stopped: mpv plays", stopped, {"mpv", "*"}, true, "mpv"},
        {"stopped players are not announced", stopped, {}, false, nullptr},
        {"stopped players take commands", stopped, {}, true, "audacious"},
        {"no players", {}, {"*"}, true, nullptr},
    };
    for (const auto &c : cases) {
        const auto chosen = choose_player(c.players, c.preferred, c.stopped_too);
        EXPECT_EQ(chosen ? c.players[*chosen].name : "(none)", c.expected ? c.expected : "(none)")
            << c.rule;
    }
}

// The memory of silent players stays bounded whatever the bus does, and
// forgets those that answer or leave.
TEST(MprisChoice, RemembersSilentPlayersWithinABound) {
    std::vector<std::string> silent;
    for (int i = 0; i < 100; ++i) {
        remember_silent(silent, ":1." + std::to_string(i));
        remember_silent(silent, ":1." + std::to_string(i));
    }
    EXPECT_EQ(silent.size(), most_silent_players);
    EXPECT_FALSE(is_silent(silent, ":1.35")) << "the oldest go first";
    EXPECT_TRUE(is_silent(silent, ":1.36"));
    forget_silent(silent, ":1.36");
    EXPECT_FALSE(is_silent(silent, ":1.36"));
    const std::vector<std::string_view> on_bus = {":1.99", "org.mpris.MediaPlayer2.mpv", ":1.40"};
    forget_gone(silent, on_bus);
    EXPECT_EQ(silent, (std::vector<std::string>{":1.40", ":1.99"}));
}

} // namespace
