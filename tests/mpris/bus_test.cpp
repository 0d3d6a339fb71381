// The MPRIS client library, loaded as the module loads it, against fake
// players on a private session bus. Without dbus-daemon every test is
// skipped, and says so.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "private_bus.h"
#include "vc.h"

// The program's operator new, which a test can make fail: the library's own
// allocations are C++ ones (GLib ends the process when it runs out).
namespace {
bool counting_new = false;
int new_calls = 0;
int failing_new = 0; // the call that fails, counted from 1
} // namespace

void *operator new(std::size_t size) {
    if (counting_new && ++new_calls == failing_new)
        throw std::bad_alloc();
    if (void *block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}
void operator delete(void *block) noexcept {
    std::free(block);
}
void operator delete(void *block, std::size_t) noexcept {
    std::free(block);
}

namespace {

std::string config_dir;

struct Library {
    void *handle = nullptr;
    int (*init)(int) = nullptr;
    int (*uninit)() = nullptr;
    int (*eval)(const char *, char *) = nullptr;
    int (*exec)(const char *) = nullptr;
};

Library load_library() {
    Library vc;
    vc.handle = dlopen(VC_MPRIS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (vc.handle == nullptr) {
        ADD_FAILURE() << dlerror();
        return vc;
    }
    vc.init = reinterpret_cast<int (*)(int)>(dlsym(vc.handle, "vc_init"));
    vc.uninit = reinterpret_cast<int (*)()>(dlsym(vc.handle, "vc_uninit"));
    vc.eval = reinterpret_cast<int (*)(const char *, char *)>(dlsym(vc.handle, "vc_eval"));
    vc.exec = reinterpret_cast<int (*)(const char *)>(dlsym(vc.handle, "vc_exec"));
    EXPECT_TRUE(vc.init && vc.uninit && vc.eval && vc.exec);
    return vc;
}

std::string log_path() {
    return config_dir + "/calls.log";
}

void write_config(const std::string &text) {
    std::ofstream(config_dir + "/velm/mpris.conf") << text;
}

std::string read_log() {
    std::ifstream file(log_path());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class MprisBus : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        skip_reason = start_private_bus();
        char dir[] = "/tmp/velm-mpris-XXXXXX";
        if (mkdtemp(dir) == nullptr)
            skip_reason = "no temporary folder";
        config_dir = dir;
        setenv("XDG_CONFIG_HOME", config_dir.c_str(), 1);
        mkdir((config_dir + "/velm").c_str(), 0700);
    }
    static void TearDownTestSuite() {
        end_private_bus();
        std::system(("rm -rf " + config_dir).c_str());
    }
    void SetUp() override {
        if (!skip_reason.empty())
            GTEST_SKIP() << "SKIPPED, no private session bus: " << skip_reason;
        write_config("");
        std::remove(log_path().c_str());
        vc = load_library();
        ASSERT_NE(vc.handle, nullptr);
        ASSERT_EQ(vc.init(1), 0);
    }
    void TearDown() override {
        for (const pid_t pid : players)
            end_player(pid);
        if (vc.handle != nullptr) {
            vc.uninit();
            dlclose(vc.handle);
        }
    }
    void start(const FakePlayer &player) {
        players.push_back(start_player(player, log_path()));
        ASSERT_GT(players.back(), 0) << "fake player " << player.name << " did not start";
    }
    // vc_eval's result, or "failed".
    std::string announce() {
        char result[VC_RESULT_SIZE];
        std::memset(result, 'x', sizeof result);
        if (vc.eval("formatpreset 3", result) != 0)
            return "failed";
        const void *end = std::memchr(result, '\0', sizeof result);
        EXPECT_NE(end, nullptr) << "no terminator in the result buffer";
        return end == nullptr ? "" : std::string(result);
    }

    static inline std::string skip_reason;
    Library vc;
    std::vector<pid_t> players;
};

TEST_F(MprisBus, AnnouncesTheSongOfTheChosenPlayer) {
    const std::string long_title(100000, 't');
    std::string long_preset = "preset3 = ", songs;
    for (int i = 0; i < 555; ++i) {
        long_preset += "[%title%]";
        songs += "Song";
    }
    const struct {
        const char *rule;
        std::string config;
        const char *status;
        std::string metadata;
        std::string expected;
    } cases[] = {
        {"artists joined, tags intact", "", "Playing",
         "{'xesam:artist': <['Лёша', 'ミカ 🎵']>, 'xesam:title': <'Déjà Vu'>}",
         "me is listening to Лёша, ミカ 🎵 - Déjà Vu"},
        {"no artist: the section is left out", "", "Playing", "{'xesam:title': <'Song'>}",
         "me is listening to Song"},
        {"an empty artist list is no artist", "", "Paused",
         "{'xesam:artist': <@as []>, 'xesam:title': <'Song'>}", "me is listening to Song"},
        {"an artist sent as one string", "", "Playing",
         "{'xesam:artist': <'Solo'>, 'xesam:title': <'Song'>}", "me is listening to Solo - Song"},
        {"a tag is inserted, never rendered", "", "Playing",
         "{'xesam:artist': <'%title% [x]'>, 'xesam:title': <'a\\nb\\rc'>}",
         "me is listening to %title% [x] - a b c"},
        {"every field", "preset3 = %player%: %title% (%album%) %status% %position%[/%length%]\n",
         "Paused",
         "{'xesam:title': <'T'>, 'xesam:album': <'A'>, 'mpris:length': <int64 3723000000>}",
         "Fake Player: T (A) paused 0:00/1:02:03"},
        {"an unknown length is left out", "preset3 = %title%[ (%length%)]\n", "Playing",
         "{'xesam:title': <'T'>, 'mpris:length': <int64 -1>}", "T"},
        {"a stopped player is not announced", "", "Stopped", "{'xesam:title': <'Song'>}", "failed"},
        {"a long title is cut to the buffer", "preset3 = %title%\n", "Playing",
         "{'xesam:title': <'" + long_title + "'>}", std::string(VC_RESULT_SIZE - 1, 't')},
        {"an empty preset fails", "preset3 =\n", "Playing", "{'xesam:title': <'Song'>}", "failed"},
        {"a template of 5000 bytes", long_preset, "Playing", "{'xesam:title': <'Song'>}",
         songs.substr(0, VC_RESULT_SIZE - 1)},
    };
    int row = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        write_config(c.config);
        // A name of its own: the bus may not yet have seen the last row's player end.
        const std::string name = "row" + std::to_string(++row);
        const pid_t pid = start_player({name, c.status, c.metadata}, log_path());
        ASSERT_GT(pid, 0);
        EXPECT_EQ(announce(), c.expected);
        end_player(pid);
    }
}

TEST_F(MprisBus, ChoosesByStatusOrByTheConfiguredList) {
    start({"alpha", "Paused", "{'xesam:title': <'alpha'>}"});
    start({"beta.instance42", "Playing", "{'xesam:title': <'beta'>}"});
    start({"gamma", "Stopped", "{'xesam:title': <'gamma'>}"});
    const struct {
        const char *config;
        const char *expected;
    } cases[] = {
        {"", "beta"},
        {"player = alpha, beta\n", "alpha"},
        {"player = beta\n", "beta"},
        {"player = missing, *\n", "beta"},
        {"player = *\n", "beta"},
        {"player = gamma\n", "failed"},
        {"player = missing\n", "failed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.config);
        write_config(std::string(c.config) + "preset3 = %title%\n");
        EXPECT_EQ(announce(), c.expected);
    }
}

TEST_F(MprisBus, RunsPlayerCommandsThePlayerAllows) {
    start({"fake", "Stopped", "{}", "{'CanGoPrevious': <false>}"});
    const struct {
        const char *command;
        const char *call; // null: refused
    } cases[] = {
        {"play", "Play"},
        {"pause", "PlayPause"},
        {"stop", "Stop"},
        {"next", "Next"},
        {"seek +5", "Seek 5000000"},
        {"seek -12", "Seek -12000000"},
        {"volume 50", "set Volume 0.5"},
        {"volume 0", "set Volume 0.0"},
        {"prev", nullptr},
        {"volume 101", nullptr},
        {"seek", nullptr},
        {"seek 5x", nullptr},
        {"", nullptr},
        {"quit", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        std::remove(log_path().c_str());
        EXPECT_EQ(vc.exec(c.command) == 0, c.call != nullptr);
        EXPECT_EQ(read_log(), c.call ? std::string(c.call) + "\n" : "");
    }
}

// A player that owns its name and never answers costs the budget, no more:
// the bound here is only a check that nothing hangs.
TEST_F(MprisBus, APlayerThatNeverAnswersDoesNotHoldUpTheOthers) {
    start({"silent", "Playing", "{'xesam:title': <'silent'>}"});
    kill(players.back(), SIGSTOP);
    start({"vanishing", "Playing", "{}", "{}", "vanish"});
    write_config("preset3 = %title%\n");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(announce(), "failed");
    EXPECT_NE(vc.exec("next"), 0);
    start({"other", "Playing", "{'xesam:title': <'other'>}"});
    EXPECT_EQ(announce(), "other");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(15));
}

// Every allocation of a command, made to fail in turn: the command fails, and
// the sanitizer and valgrind lanes see nothing leaked or touched after its
// release.
TEST_F(MprisBus, AFailedAllocationFailsTheCommandOnly) {
    start({"fake", "Playing", "{'xesam:artist': <['A', 'B']>, 'xesam:title': <'Song'>}"});
    char result[VC_RESULT_SIZE];
    for (failing_new = 1;; ++failing_new) {
        new_calls = 0;
        counting_new = true;
        const int eval_result = vc.eval("formatpreset 3", result);
        const int exec_result = vc.exec("volume 50");
        counting_new = false;
        if (new_calls == 0)
            GTEST_SKIP() << "operator new is not this program's here (valgrind replaces it): "
                            "the sanitizer and debug lanes make the allocations fail";
        if (new_calls < failing_new) {
            EXPECT_EQ(eval_result, 0);
            EXPECT_STREQ(result, "me is listening to A, B - Song");
            EXPECT_EQ(exec_result, 0);
            break;
        }
        EXPECT_TRUE(eval_result != 0 || exec_result != 0) << "allocation " << failing_new;
    }
    EXPECT_GT(failing_new, 10);
}

TEST_F(MprisBus, AnUnreadableConfigurationFails) {
    start({"fake", "Playing", "{'xesam:title': <'Song'>}"});
    std::remove((config_dir + "/velm/mpris.conf").c_str());
    EXPECT_EQ(announce(), "me is listening to Song");
    mkdir((config_dir + "/velm/mpris.conf").c_str(), 0700);
    EXPECT_EQ(announce(), "failed");
    EXPECT_NE(vc.exec("next"), 0);
    rmdir((config_dir + "/velm/mpris.conf").c_str());
}

TEST_F(MprisBus, OtherEvalCommandsFail) {
    start({"fake", "Playing", "{'xesam:title': <'Song'>}"});
    char result[VC_RESULT_SIZE];
    EXPECT_NE(vc.eval("formatpreset 2", result), 0);
    EXPECT_NE(vc.eval("", result), 0);
}

// The module itself, in the console host and in code page 1252, finds the
// MPRIS libvc.so before the stand-in beside it.
TEST_F(MprisBus, TheModuleAnnouncesThroughTheLibrary) {
    start({"hosted", "Playing", "{'xesam:artist': <['Beyoncé']>, 'xesam:title': <'Déjà Vu'>}"});
    const std::string host = "printf '/np\\n/vc next\\n' | LC_ALL=en_US.CP1252 LD_LIBRARY_PATH=" +
                             std::string(VC_MPRIS_DIR) + " " + VELM_HOST + " " + VELM_MODULE;
    FILE *out = popen(host.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string shown;
    char chunk[512];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, out)) > 0;)
        shown.append(chunk, got);
    EXPECT_EQ(pclose(out), 0) << shown;
    EXPECT_NE(shown.find("> /np\n* dj is listening to Beyoncé - Déjà Vu\n> /vc next\n-- unloaded"),
              std::string::npos)
        << shown;
    EXPECT_EQ(read_log(), "Next\n");
}

// The module may be unloaded and loaded again in one client process; once
// unloaded, nothing of the library may stay mapped.
TEST_F(MprisBus, LoadsAgainAfterAnUnload) {
    start({"fake", "Playing", "{'xesam:title': <'Song'>}"});
    EXPECT_EQ(announce(), "me is listening to Song");
    vc.uninit();
    ASSERT_EQ(dlclose(vc.handle), 0);
    EXPECT_EQ(dlopen(VC_MPRIS_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the library stayed loaded after its unload";
    vc = load_library();
    ASSERT_EQ(vc.init(1), 0);
    EXPECT_EQ(announce(), "me is listening to Song");
}

// No bus, or one that takes the connection and never answers (a socket no
// one reads): the load goes on, and every call fails.
TEST_F(MprisBus, WithoutABusEveryCallFails) {
    vc.uninit();
    const char *bus_address = getenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_NE(bus_address, nullptr);
    const std::string address = bus_address;
    const std::string silent_bus = config_dir + "/silent-bus";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    silent_bus.copy(name.sun_path, sizeof name.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&name), sizeof name), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    for (const std::string &bus : {config_dir + "/no-bus", silent_bus}) {
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
        const auto before = std::chrono::steady_clock::now();
        EXPECT_NE(vc.init(1), 0) << bus;
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5)) << bus;
    }
    close(listener);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    char result[VC_RESULT_SIZE];
    EXPECT_NE(vc.eval("formatpreset 3", result), 0);
    EXPECT_NE(vc.exec("play"), 0);
}

} // namespace
