// SPDX-License-Identifier: GPL-2.0-or-later
// A private session bus and fake MPRIS players on it, for the client
// library's tests and benchmarks.
#pragma once

#include <sys/types.h>

#include <string>

// Starts dbus-daemon, at `address` when one is given, and points
// DBUS_SESSION_BUS_ADDRESS at it; empty on success, otherwise why it could
// not.
std::string start_private_bus(const std::string &address = "");
// Ends it, and waits (a few seconds at most) until it has.
void end_private_bus();

struct FakePlayer {
    std::string name; // after org.mpris.MediaPlayer2.
    std::string status = "Playing";
    std::string metadata = "{'xesam:title': <'Song'>}"; // GVariant text, a{sv}
    std::string properties = "{}";
    std::string identity = "Fake Player";
};

// Starts velm-fake-player and waits until it owns its name; its process id,
// or -1 when it did not start. Its calls are logged to `log`.
pid_t start_player(const FakePlayer &player, const std::string &log);
void end_player(pid_t pid);
