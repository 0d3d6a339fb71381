// SPDX-License-Identifier: GPL-2.0-or-later
// The session bus connection and the parallel calls of one command.
#include "bus.h"

#include <sys/stat.h>

#include <string_view>

namespace {

constexpr char mpris_path[] = "/org/mpris/MediaPlayer2";

void on_reply(GObject *connection, GAsyncResult *result, gpointer data) noexcept {
    auto *reply = static_cast<Reply *>(data);
    reply->value.reset(
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, nullptr));
    reply->finished = true;
    --reply->bus->pending;
}

struct Opening {
    ConnectionPtr connection;
    Bus *bus;
};

void on_connected(GObject *, GAsyncResult *result, gpointer data) noexcept {
    auto *opening = static_cast<Opening *>(data);
    opening->connection.reset(g_dbus_connection_new_for_address_finish(result, nullptr));
    --opening->bus->pending;
}

} // namespace

gboolean on_deadline(gpointer expired) noexcept {
    *static_cast<bool *>(expired) = true;
    return G_SOURCE_REMOVE;
}

TextPtr session_bus_address() noexcept {
    const char *given = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (given != nullptr && *given != '\0') {
        // An address is a list of ways to the bus, tried in turn: one way
        // that autolaunches refuses the whole address.
        for (std::string_view rest = given; !rest.empty();) {
            const auto end = rest.find(';');
            if (rest.substr(0, end).starts_with("autolaunch:"))
                return nullptr;
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
        return TextPtr(g_strdup(given));
    }
    const char *runtime_dir = g_getenv("XDG_RUNTIME_DIR");
    if (runtime_dir == nullptr || *runtime_dir != '/')
        return nullptr;
    const TextPtr socket_path(g_build_filename(runtime_dir, "bus", nullptr));
    struct stat status {};
    if (stat(socket_path.get(), &status) != 0 || !S_ISSOCK(status.st_mode))
        return nullptr;
    TextPtr escaped(g_dbus_address_escape_value(socket_path.get()));
    return TextPtr(g_strconcat("unix:path=", escaped.get(), nullptr));
}

ConnectionPtr connect_session_bus(Bus &bus) noexcept {
    TextPtr address = session_bus_address();
    if (!address)
        return nullptr;
    // Not the shared connection of g_bus_get_sync: GLib makes that one end
    // the process when the bus goes away, and the client or its other
    // plug-ins may be using it. Nor GLib's message-bus flag: with it GLib
    // sends Hello from its own thread, waiting 25 s for the answer whatever
    // is cancelled. Set up asynchronously and greeted by an ordinary call,
    // a bus that accepts the connection and never answers costs this
    // command's budget and no more.
    Opening opening{nullptr, &bus};
    ++bus.pending;
    g_dbus_connection_new_for_address(address.get(), G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT,
                                      nullptr, bus.cancellable, on_connected, &opening);
    wait_for_replies(bus);
    if (!opening.connection)
        return nullptr;
    bus.connection = opening.connection.get();
    Reply hello{};
    start_call(bus, hello, "org.freedesktop.DBus", "org.freedesktop.DBus", "Hello", nullptr,
               G_VARIANT_TYPE("(s)"));
    wait_for_replies(bus);
    bus.connection = nullptr;
    if (!hello.value) {
        close_bus(std::move(opening.connection));
        return nullptr;
    }
    return std::move(opening.connection);
}

void close_bus(ConnectionPtr connection) noexcept {
    if (connection)
        g_dbus_connection_close_sync(connection.get(), nullptr, nullptr);
}

void start_call(Bus &bus, Reply &reply, const char *destination, const char *interface,
                const char *method, GVariant *parameters, const GVariantType *reply_type) noexcept {
    VariantPtr owned_parameters(parameters != nullptr ? g_variant_ref_sink(parameters) : nullptr);
    reply.bus = &bus;
    const std::int64_t left_us = bus.deadline - g_get_monotonic_time();
    if (left_us <= 0 || g_cancellable_is_cancelled(bus.cancellable)) {
        reply.finished = true;
        return;
    }
    const bool to_bus = std::string_view(destination) == "org.freedesktop.DBus";
    const int timeout_ms = static_cast<int>(std::max<std::int64_t>(1, (left_us + 999) / 1000));
    ++bus.pending;
    g_dbus_connection_call(bus.connection, destination,
                           to_bus ? "/org/freedesktop/DBus" : mpris_path, interface, method,
                           owned_parameters.get(), reply_type, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           timeout_ms, bus.cancellable, on_reply, &reply);
}

void wait_for_replies(Bus &bus) noexcept {
    wait_for_replies(bus, bus.deadline);
}

void wait_for_replies(Bus &bus, std::int64_t until) noexcept {
    wait_until(bus, until, [&] { return bus.pending == 0; });
    // Past the deadline: whatever has not answered is cancelled, and its
    // callback still runs before we return.
    if (bus.pending > 0)
        g_cancellable_cancel(bus.cancellable);
    while (bus.pending > 0)
        g_main_context_iteration(bus.context, TRUE);
    while (g_main_context_pending(bus.context))
        g_main_context_iteration(bus.context, FALSE);
    // Nothing uses the cancellable now: the command's later calls may start.
    g_cancellable_reset(bus.cancellable);
}
