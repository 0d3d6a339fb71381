// SPDX-License-Identifier: GPL-2.0-or-later
// Starting and ending the bus and the players: plain processes, so that the
// program under test is the only user of GLib in its process.
#include "private_bus.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
pid_t bus_pid = -1;
}

std::string start_private_bus(const std::string &address) {
    const std::string command = "dbus-daemon --session --fork --print-address=1 --print-pid=1" +
                                (address.empty() ? "" : " '--address=" + address + "'") + " 2>&1";
    FILE *out = popen(command.c_str(), "r");
    if (out == nullptr)
        return "dbus-daemon cannot be started";
    char printed[512] = "", pid[64] = "";
    const bool read = std::fgets(printed, sizeof printed, out) && std::fgets(pid, sizeof pid, out);
    if (pclose(out) != 0 || !read || std::strncmp(printed, "unix:", 5) != 0)
        return std::string("dbus-daemon did not start: ") + printed;
    printed[std::strcspn(printed, "\n")] = '\0';
    setenv("DBUS_SESSION_BUS_ADDRESS", printed, 1);
    bus_pid = static_cast<pid_t>(std::atol(pid));
    return {};
}

void end_private_bus() {
    if (bus_pid > 0 && kill(bus_pid, SIGTERM) == 0) {
        // Not our child (it forked itself away): watch for it to be gone.
        for (int tries = 0; tries < 500 && kill(bus_pid, 0) == 0; ++tries)
            usleep(10000);
    }
    bus_pid = -1;
}

pid_t start_player(const FakePlayer &player, const std::string &log) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
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
    if (!started && pid > 0)
        end_player(pid);
    return started ? pid : -1;
}

void end_player(pid_t pid) {
    kill(pid, SIGCONT);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
