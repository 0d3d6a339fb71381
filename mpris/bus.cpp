// The session bus connection and the parallel calls of one command.
#include "bus.h"

#include <algorithm>

namespace {

constexpr char mpris_path[] = "/org/mpris/MediaPlayer2";

void on_reply(GObject *connection, GAsyncResult *result, gpointer data) noexcept {
    auto *reply = static_cast<Reply *>(data);
    reply->value.reset(
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, nullptr));
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

gboolean on_deadline(gpointer expired) noexcept {
    *static_cast<bool *>(expired) = true;
    return G_SOURCE_REMOVE;
}

} // namespace

ConnectionPtr connect_session_bus() noexcept {
    // Not the shared connection of g_bus_get_sync: GLib makes that one end
    // the process when the bus goes away, and the client or its other
    // plug-ins may be using it.
    TextPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!address)
        return nullptr;
    // Opened asynchronously, within the budget of a command: a bus that
    // accepts the connection and never answers would otherwise hold up the
    // client's start for good.
    Opening opening{nullptr, nullptr};
    run_on_bus(nullptr, [&](Bus &bus) {
        opening.bus = &bus;
        ++bus.pending;
        g_dbus_connection_new_for_address(
            address.get(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, bus.cancellable, on_connected, &opening);
        wait_for_replies(bus);
        return 0;
    });
    if (opening.connection)
        g_dbus_connection_set_exit_on_close(opening.connection.get(), FALSE);
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
    if (left_us <= 0 || g_cancellable_is_cancelled(bus.cancellable))
        return;
    const bool to_bus = std::string_view(destination) == "org.freedesktop.DBus";
    const int timeout_ms = static_cast<int>(std::max<std::int64_t>(1, (left_us + 999) / 1000));
    ++bus.pending;
    g_dbus_connection_call(bus.connection, destination,
                           to_bus ? "/org/freedesktop/DBus" : mpris_path, interface, method,
                           owned_parameters.get(), reply_type, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           timeout_ms, bus.cancellable, on_reply, &reply);
}

void wait_for_replies(Bus &bus) noexcept {
    const std::int64_t left_us = bus.deadline - g_get_monotonic_time();
    if (bus.pending > 0 && left_us > 0) {
        bool expired = false;
        SourcePtr timer(g_timeout_source_new(static_cast<guint>((left_us + 999) / 1000)));
        g_source_set_callback(timer.get(), on_deadline, &expired, nullptr);
        g_source_attach(timer.get(), bus.context);
        while (bus.pending > 0 && !expired)
            g_main_context_iteration(bus.context, TRUE);
        g_source_destroy(timer.get());
    }
    // Past the deadline: whatever has not answered is cancelled, and its
    // callback still runs before we return.
    if (bus.pending > 0)
        g_cancellable_cancel(bus.cancellable);
    while (bus.pending > 0)
        g_main_context_iteration(bus.context, TRUE);
    while (g_main_context_pending(bus.context))
        g_main_context_iteration(bus.context, FALSE);
}
