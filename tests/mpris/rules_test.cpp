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

TEST(MprisChoice, ChoosesByListThenStatusThenName) {
    const std::vector<PlayerState> running = {{"vlc.instance7389", "Paused"},
                                              {"mpv", "Playing"},
                                              {"firefox.instance_1_379", "Playing"},
                                              {"rhythmbox", "Stopped"},
                                              {"vlcx", "Paused"}};
    const std::vector<PlayerState> stopped = {{"mpv", "Stopped"}, {"audacious", "Stopped"}};
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
        {"a listed player whatever its status", running, {"rhythmbox"}, false, "rhythmbox"},
        {"the first listed present", running, {"gone", "vlcx", "mpv"}, false, "vlcx"},
        {"* is any other player", running, {"gone", "*"}, false, "firefox.instance_1_379"},
        {"* leaves out the listed ones", running, {"*", "firefox"}, false, "mpv"},
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

} // namespace
