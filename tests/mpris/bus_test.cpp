// The MPRIS client library, loaded as the module loads it, against fake
// players on a private session bus. Without dbus-daemon every test is
// skipped, and says so.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vc.h"

namespace {

std::string bus_pid;
std::string config_dir;

// Starts a private session bus for the whole program; empty when it cannot.
std::string start_bus() {
    FILE *out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>&1", "r");
    if (out == nullptr)
        return "dbus-daemon cannot be started";
    char address[512] = "", pid[64] = "";
    const bool read = std::fgets(address, sizeof address, out) && std::fgets(pid, sizeof pid, out);
    if (pclose(out) != 0 || !read || std::strncmp(address, "unix:", 5) != 0)
        return std::string("dbus-daemon did not start: ") + address;
    address[std::strcspn(address, "\n")] = '\0';
    pid[std::strcspn(pid, "\n")] = '\0';
    setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
    bus_pid = pid;
    return {};
}

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

struct FakePlayer {
    std::string name;
    std::string status = "Playing";
    std::string metadata = "{'xesam:title': <'Song'>}";
    std::string properties = "{}";
    std::string identity = "Fake Player";
};

std::string log_path() {
    return config_dir + "/calls.log";
}

// Starts the player and waits until it owns its name; its process id.
pid_t start_player(const FakePlayer &player) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const std::string log = log_path();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(ready[1], 1);
        execl(FAKE_PLAYER, FAKE_PLAYER, player.name.c_str(), player.identity.c_str(),
              player.status.c_str(), player.metadata.c_str(), player.properties.c_str(),
              log.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char line[8] = "";
    pollfd wait{ready[0], POLLIN, 0};
    const bool started = poll(&wait, 1, 10000) == 1 && read(ready[0], line, 5) == 5;
    close(ready[0]);
    EXPECT_TRUE(started) << "fake player " << player.name << " did not start";
    return pid;
}

void end_player(pid_t pid) {
    kill(pid, SIGCONT);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
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
        skip_reason = start_bus();
        char dir[] = "/tmp/velm-mpris-XXXXXX";
        config_dir = mkdtemp(dir);
        setenv("XDG_CONFIG_HOME", config_dir.c_str(), 1);
        mkdir((config_dir + "/velm").c_str(), 0700);
    }
    static void TearDownTestSuite() {
        if (!bus_pid.empty())
            kill(std::stoi(bus_pid), SIGTERM);
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
        players.push_back(start_player(player));
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
    const struct {
        const char *rule;
        const char *config;
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
        {"garbage lines are ignored", "garbage\n= x\n#preset3 = no\n", "Playing",
         "{'xesam:title': <'Song'>}", "me is listening to Song"},
        {"an empty preset fails", "preset3 =\n", "Playing", "{'xesam:title': <'Song'>}", "failed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        write_config(c.config);
        const pid_t pid = start_player({"fake", c.status, c.metadata});
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
        {"player = beta, *\npreset3 = %title%\n", "beta"},
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

TEST_F(MprisBus, WithoutABusEveryCallFails) {
    vc.uninit();
    const std::string address = getenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + config_dir + "/no-bus").c_str(), 1);
    EXPECT_NE(vc.init(1), 0);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    char result[VC_RESULT_SIZE];
    EXPECT_NE(vc.eval("formatpreset 3", result), 0);
    EXPECT_NE(vc.exec("play"), 0);
}

} // namespace
