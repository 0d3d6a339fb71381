// SPDX-License-Identifier: GPL-2.0-or-later
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
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
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
    std::string long_preset = "preset3 = me ", songs = "me ";
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
        std::string properties = "{}";
    } cases[] = {
        {"artists joined, tags intact", "", "Playing",
         "{'xesam:artist': <['Лёша', 'ミカ 🎵']>, 'xesam:title': <'Déjà Vu'>}",
         "me is listening to Лёша, ミカ 🎵 - Déjà Vu"},
        {"no artist: the section is left out", "", "Playing", "{'xesam:title': <'Song'>}",
         "me is listening to Song"},
        {"empty artists are left out", "", "Playing",
         "{'xesam:artist': <['', 'A', '', 'B']>, 'xesam:title': <'Song'>}",
         "me is listening to A, B - Song"},
        {"an empty artist list is no artist", "", "Paused",
         "{'xesam:artist': <@as []>, 'xesam:title': <'Song'>}", "me is listening to Song"},
        {"an artist sent as one string", "", "Playing",
         "{'xesam:artist': <'Solo'>, 'xesam:title': <'Song'>}", "me is listening to Solo - Song"},
        {"a tag is inserted, never rendered", "", "Playing",
         "{'xesam:artist': <'%title% [x]'>, 'xesam:title': <'a\\nb\\rc'>}",
         "me is listening to %title% [x] - a b c"},
        {"every field", "preset3 = me %player%: %title% (%album%) %status% %position%[/%length%]\n",
         "Paused",
         "{'xesam:title': <'T'>, 'xesam:album': <'A'>, 'mpris:length': <int64 3723000000>}",
         "me Fake Player: T (A) paused 0:00/1:02:03"},
        {"an unknown length is left out", "preset3 = me %title%[ (%length%)]\n", "Playing",
         "{'xesam:title': <'T'>, 'mpris:length': <int64 -1>}", "me T"},
        {"a length sent as uint64", "preset3 = me %title% %length%\n", "Playing",
         "{'xesam:title': <'T'>, 'mpris:length': <uint64 3723000000>}", "me T 1:02:03"},
        {"a web radio's endless length is unknown", "preset3 = me %title% %position%[/%length%]\n",
         "Playing",
         "{'xesam:title': <'Radio'>, 'mpris:length': <int64 9223372036854775807>, "
         "'mpris:trackid': <objectpath '/org/chromium/MediaPlayer2/TrackList/Track1'>}",
         "me Radio 0:03", "{'CanSeek': <false>, 'Position': <int64 3000000>}"},
        {"no title: the file's name", "", "Playing",
         "{'xesam:url': <'file:///m/%D0%9B%D1%91%D1%88%D0%B0%20%F0%9F%98%80.ogg?v=1#t'>}",
         "me is listening to Лёша 😀.ogg"},
        {"no title, a file name that is no UTF-8: nothing", "", "Playing",
         "{'xesam:title': <''>, 'xesam:url': <'file:///m/%FF%FE.ogg'>}", "failed"},
        {"empty metadata: nothing", "", "Playing", "{}", "failed"},
        {"empty metadata, a preset without the title", "preset3 = me %player% plays\n", "Playing",
         "{}", "me Fake Player plays"},
        {"metadata of the wrong types are unknown",
         "preset3 = me %player%|%artist%|%title%|%album%|%position%|%length%\n", "Playing",
         "{'xesam:title': <'T'>, 'xesam:artist': <int32 5>, 'xesam:album': <['A']>, "
         "'mpris:length': <'long'>}",
         "me Fake Player||T||0:00|"},
        {"a title of the wrong type", "", "Playing",
         "{'xesam:title': <int32 1>, 'xesam:url': <'file:///m/b.ogg'>}",
         "me is listening to b.ogg"},
        {"a Metadata of the wrong type", "preset3 = me %player% plays\n", "Playing", "{}",
         "me Fake Player plays", "{'Metadata': <'T'>}"},
        {"a Position and an Identity of the wrong types",
         "preset3 = me %player%|%artist%|%title%|%album%|%position%|%length%\n", "Playing",
         "{'xesam:title': <'T'>}", "me ||T|||", "{'Position': <'zero'>, 'Identity': <int32 7>}"},
        {"a PlaybackStatus of the wrong type", "", "Playing", "{'xesam:title': <'T'>}", "failed",
         "{'PlaybackStatus': <int32 1>}"},
        {"a stopped player is not announced", "", "Stopped", "{'xesam:title': <'Song'>}", "failed"},
        {"a long title is cut to the buffer", "preset3 = me %title%\n", "Playing",
         "{'xesam:title': <'" + long_title + "'>}", "me " + std::string(VC_RESULT_SIZE - 4, 't')},
        {"an empty preset fails", "preset3 =\n", "Playing", "{'xesam:title': <'Song'>}", "failed"},
        {"a template of 5000 bytes", long_preset, "Playing", "{'xesam:title': <'Song'>}",
         songs.substr(0, VC_RESULT_SIZE - 1)},
        {"a title cannot be the command", "preset3 = %title%\n", "Playing",
         "{'xesam:title': <'quit bye'>}", "failed"},
        {"a web address is shared, a file's path never", "preset3 = me %title%[ %url%]\n",
         "Playing", "{'xesam:title': <'T'>, 'xesam:url': <'https://radio.example/a?b'>}",
         "me T https://radio.example/a?b"},
        {"a file's path is no link", "preset3 = me %title%[ %url%]\n", "Playing",
         "{'xesam:title': <'T'>, 'xesam:url': <'file:///home/jo/T.ogg'>}", "me T"},
    };
    int row = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        write_config(c.config);
        // A name of its own: the bus may not yet have seen the last row's player end.
        const std::string name = "row" + std::to_string(++row);
        const pid_t pid = start_player({name, c.status, c.metadata, c.properties}, log_path());
        ASSERT_GT(pid, 0);
        EXPECT_EQ(announce(), c.expected);
        end_player(pid);
    }
}

// Which player /np announces and which one /vc play reaches (each logs its
// calls apart).
TEST_F(MprisBus, ChoosesByStatusThenByTheConfiguredList) {
    const char *names[] = {"alpha", "beta.instance42", "gamma"};
    const char *titles[] = {"alpha", "beta", "gamma"};
    const char *statuses[] = {"Paused", "Playing", "Stopped"};
    for (int i = 0; i < 3; ++i) {
        players.push_back(start_player(
            {names[i], statuses[i], std::string("{'xesam:title': <'") + titles[i] + "'>}"},
            log_path() + "." + titles[i]));
        ASSERT_GT(players.back(), 0);
    }
    const struct {
        const char *config;
        const char *announced;
        const char *commanded; // the player that got Play
    } cases[] = {
        {"", "me beta", "beta"},
        {"player = alpha, beta\n", "me beta", "beta"},
        {"player = alpha\n", "me alpha", "alpha"},
        {"player = missing, *\n", "me beta", "beta"},
        {"player = gamma, *\n", "me beta", "beta"},
        {"player = gamma\n", "failed", "gamma"},
        {"player = missing\n", "failed", "none"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.config);
        write_config(std::string(c.config) + "preset3 = me %title%\n");
        EXPECT_EQ(announce(), c.announced);
        for (const char *title : titles)
            std::remove((log_path() + "." + title).c_str());
        vc.exec("play");
        std::string commanded = "none";
        for (const char *title : titles)
            if (std::ifstream(log_path() + "." + title))
                commanded = title;
        EXPECT_EQ(commanded, c.commanded);
    }
}

TEST_F(MprisBus, RunsPlayerCommandsThePlayerAllows) {
    // A Can... property of the wrong type, or none at all (CanControl), does
    // not forbid its command.
    start({"fake", "Stopped", "{}",
           "{'CanGoPrevious': <false>, 'CanGoNext': <'yes'>, 'CanControl': <@mb nothing>}"});
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
        {"volume 100", "set Volume 1.0"},
        {"seek +86400", "Seek 86400000000"},
        {"seek -86400", "Seek -86400000000"},
        {"prev", nullptr},
        {"volume 101", nullptr},
        {"seek 86401", nullptr},
        {"seek -86401", nullptr},
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

// An environment variable's value, empty when unset.
std::string variable(const char *name) {
    const char *value = getenv(name);
    return value != nullptr ? value : "";
}

// How long `call` took, in seconds.
template <class Call> double seconds_taken(Call call) {
    const auto before = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
}

// The one-second budget, with a margin for a loaded machine: a bound, not a
// speed target.
constexpr double budget_bound = 1.5;

// A player that owns its name and never answers costs one budget, no more,
// and later commands only a short grace while it keeps its unique name.
TEST_F(MprisBus, APlayerThatNeverAnswersDoesNotHoldUpTheOthers) {
    start({"silent", "Playing", "{'xesam:title': <'silent'>}"});
    kill(players.back(), SIGSTOP);
    start({"vanishing", "Playing", "{}", "{}", "vanish"});
    write_config("preset3 = me %title%\n");
    EXPECT_LT(seconds_taken([&] { EXPECT_EQ(announce(), "failed"); }), budget_bound);
    EXPECT_LT(seconds_taken([&] { EXPECT_NE(vc.exec("next"), 0); }), 0.3) << "a second command";
    start({"other", "Playing", "{'xesam:title': <'other'>}"});
    EXPECT_LT(seconds_taken([&] { EXPECT_EQ(announce(), "me other"); }), 0.3);
    EXPECT_EQ(vc.exec("next"), 0);
    // Started again, the silent player has a new unique name: it counts as
    // any other.
    end_player(players.front());
    players.erase(players.begin());
    start({"silent", "Playing", "{'xesam:title': <'silent'>}"});
    write_config("player = silent\npreset3 = me %title%\n");
    EXPECT_EQ(announce(), "me silent");
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

// The sockets this process holds open, the library's connection among them.
int open_sockets() {
    int count = 0;
    std::error_code gone; // the listing's own descriptor
    for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd"))
        count += std::filesystem::read_symlink(fd, gone).string().starts_with("socket:");
    return count;
}

// The module may be unloaded and loaded again in one client process; once
// unloaded, nothing of the library may stay mapped, nor its connection open.
TEST_F(MprisBus, LoadsAgainAfterAnUnload) {
    start({"fake", "Playing", "{'xesam:title': <'Song'>}"});
    const int sockets = open_sockets();
    EXPECT_EQ(announce(), "me is listening to Song");
    vc.uninit();
    EXPECT_EQ(open_sockets(), sockets) << "the connection stayed open after vc_uninit";
    ASSERT_EQ(dlclose(vc.handle), 0);
    EXPECT_EQ(dlopen(VC_MPRIS_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the library stayed loaded after its unload";
    vc = load_library();
    ASSERT_EQ(vc.init(1), 0);
    EXPECT_EQ(announce(), "me is listening to Song");
}

// A bus socket that speaks the authentication and then never answers.
void stall_after_authentication(int listener) {
    for (int peer; (peer = accept(listener, nullptr, nullptr)) >= 0; close(peer)) {
        std::string got;
        char chunk[512];
        for (ssize_t size; (size = read(peer, chunk, sizeof chunk)) > 0;) {
            got.append(chunk, static_cast<std::size_t>(size));
            for (std::size_t end; (end = got.find("\r\n")) != std::string::npos;) {
                const std::size_t nul = got[0] == '\0' ? 1 : 0; // the client's first byte
                const std::string line = got.substr(nul, end - nul);
                got.erase(0, end + 2);
                const char *answer = line == "AUTH" ? "REJECTED EXTERNAL\r\n"
                                     : line.starts_with("AUTH ")
                                         ? "OK 0123456789abcdef0123456789abcdef\r\n"
                                     : line.starts_with("NEGOTIATE_UNIX_FD") ? "AGREE_UNIX_FD\r\n"
                                                                             : "";
                if (write(peer, answer, std::strlen(answer)) < 0)
                    break;
            }
        }
    }
}

int listening_socket(const std::string &path) {
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    path.copy(name.sun_path, sizeof name.sun_path - 1);
    EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&name), sizeof name), 0) << path;
    EXPECT_EQ(listen(listener, 4), 0);
    return listener;
}

// No bus, one that takes the connection and never answers (a socket no one
// reads), one that stalls after the authentication, or an address that
// would start a bus: the load waits for none, and every call fails within
// its budget, starting nothing.
TEST_F(MprisBus, WithoutABusEveryCallFailsInTime) {
    vc.uninit();
    const std::string address = variable("DBUS_SESSION_BUS_ADDRESS");
    const int unread = listening_socket(config_dir + "/unread-bus");
    const int stalling = listening_socket(config_dir + "/stalling-bus");
    std::thread bus(stall_after_authentication, stalling);
    // A dbus-launch that leaves a mark, first on the path.
    const std::string launched = config_dir + "/launched", path = variable("PATH");
    std::ofstream(config_dir + "/dbus-launch") << "#!/bin/sh\ntouch " << launched << "\nexit 1\n";
    chmod((config_dir + "/dbus-launch").c_str(), 0755);
    setenv("PATH", (config_dir + ":" + path).c_str(), 1);
    setenv("DISPLAY", ":99", 1);
    for (const std::string &bus_address :
         {"unix:path=" + config_dir + "/no-bus", "unix:path=" + config_dir + "/unread-bus",
          "unix:path=" + config_dir + "/stalling-bus", std::string("autolaunch:"),
          "unix:path=" + config_dir + "/no-bus;autolaunch:"}) {
        SCOPED_TRACE(bus_address);
        setenv("DBUS_SESSION_BUS_ADDRESS", bus_address.c_str(), 1);
        EXPECT_LT(seconds_taken([&] { EXPECT_EQ(vc.init(1), 0); }), 0.1);
        char result[VC_RESULT_SIZE];
        EXPECT_LT(seconds_taken([&] { EXPECT_NE(vc.eval("formatpreset 3", result), 0); }),
                  budget_bound);
        EXPECT_LT(seconds_taken([&] { EXPECT_NE(vc.exec("play"), 0); }), budget_bound);
        vc.uninit();
    }
    EXPECT_FALSE(std::ifstream(launched)) << "a bus was launched";
    shutdown(stalling, SHUT_RDWR);
    bus.join();
    close(stalling);
    close(unread);
    setenv("PATH", path.c_str(), 1);
    unsetenv("DISPLAY");
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    vc.init(1);
}

// The bus restarts at its address, the first time while a command waits for
// a silent player: within two commands the library is on the new one, without
// a reload. Without an address it finds the bus in $XDG_RUNTIME_DIR.
TEST_F(MprisBus, FollowsABusThatRestarts) {
    const std::string socket_path = config_dir + "/bus";
    for (const char *title : {"before", "after"}) {
        SCOPED_TRACE(title);
        if (players.empty()) {
            end_private_bus();
        } else {
            start({"silent", "Playing"});
            kill(players.back(), SIGSTOP);
            std::thread ending([] {
                usleep(300000);
                end_private_bus();
            });
            EXPECT_LT(seconds_taken([&] { announce(); }), budget_bound) << "the bus ends meanwhile";
            ending.join();
        }
        std::remove(socket_path.c_str());
        ASSERT_EQ(start_private_bus("unix:path=" + socket_path), "");
        start({"fake", "Playing", std::string("{'xesam:title': <'") + title + "'>}"});
        std::string announced;
        for (int command = 0;
             command < 2 && announced != std::string("me is listening to ") + title; ++command)
            EXPECT_LT(seconds_taken([&] { announced = announce(); }), budget_bound);
        EXPECT_EQ(announced, std::string("me is listening to ") + title);
    }
    vc.uninit();
    const std::string address = variable("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("XDG_RUNTIME_DIR", config_dir.c_str(), 1);
    vc.init(1);
    EXPECT_EQ(announce(), "me is listening to after");
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
