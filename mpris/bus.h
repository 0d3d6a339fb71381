// SPDX-License-Identifier: GPL-2.0-or-later
// Calls to the session bus on the client's only thread, within one deadline.
//
// A command runs its calls on a main context of its own, pushed as the
// thread's default while the command runs; calls started together run in
// parallel, and wait_for_replies returns only when every one of them has
// finished, timed out or been cancelled and its callback has run. Nothing of
// ours is left on the bus's side when a command returns: not a call, and not
// a connection still being set up.
#pragma once

#include <gio/gio.h>

#include <algorithm>
#include <cstdint>
#include <memory>

// Owning pointers that release GLib objects with GLib's release functions.
template <auto release> struct GlibRelease {
    template <class T> void operator()(T *object) const noexcept {
        release(object);
    }
};
using VariantPtr = std::unique_ptr<GVariant, GlibRelease<g_variant_unref>>;
using ConnectionPtr = std::unique_ptr<GDBusConnection, GlibRelease<g_object_unref>>;
using CancellablePtr = std::unique_ptr<GCancellable, GlibRelease<g_object_unref>>;
using ContextPtr = std::unique_ptr<GMainContext, GlibRelease<g_main_context_unref>>;
using SourcePtr = std::unique_ptr<GSource, GlibRelease<g_source_unref>>;
using TextPtr = std::unique_ptr<gchar, GlibRelease<g_free>>;

// One command's calls, made by run_on_bus.
struct Bus {
    GDBusConnection *connection; // null until connected
    GMainContext *context;
    GCancellable *cancellable;
    std::int64_t deadline; // when its waits end: monotonic, microseconds
    int pending;
};

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, else the socket
// $XDG_RUNTIME_DIR/bus where there is one; null without either. Never an
// autolaunch: one, which would start a bus from inside the client, outside
// any budget, and with no player on it.
TextPtr session_bus_address() noexcept;

// The library's own connection to the session bus, set up and greeted
// within the command's deadline; null without a bus that answers by then.
ConnectionPtr connect_session_bus(Bus &bus) noexcept;
void close_bus(ConnectionPtr connection) noexcept;

// A command's whole time. Its calls stop waiting a little earlier, leaving
// time to cancel those that have not answered and to finish the command.
inline constexpr std::int64_t command_budget_us = 1000000;
inline constexpr std::int64_t wind_down_us = 50000;

// A call's reply: null when it failed, timed out or was cancelled. Must stay
// where it is until wait_for_replies has returned.
struct Reply {
    VariantPtr value;
    Bus *bus;
    bool finished; // its callback has run
};

// Starts a call to `destination`'s MPRIS object (or, for the bus itself, to
// its object), the reply of type `reply_type`. `parameters` may be floating.
void start_call(Bus &bus, Reply &reply, const char *destination, const char *interface,
                const char *method, GVariant *parameters, const GVariantType *reply_type) noexcept;
void wait_for_replies(Bus &bus) noexcept;
// The same, with calls that have not answered by `until` (at most the
// deadline) cancelled then; calls started afterwards run as before.
void wait_for_replies(Bus &bus, std::int64_t until) noexcept;
// Sets the bool at `expired`: the timer of wait_until.
gboolean on_deadline(gpointer expired) noexcept;

// Runs the command's context until `done()` holds or `until` (at most the
// deadline) has passed; cancels nothing.
template <class Done> void wait_until(Bus &bus, std::int64_t until, Done done) {
    const std::int64_t left_us = std::min(until, bus.deadline) - g_get_monotonic_time();
    if (done() || left_us <= 0)
        return;
    bool expired = false;
    SourcePtr timer(g_timeout_source_new(static_cast<guint>((left_us + 999) / 1000)));
    g_source_set_callback(timer.get(), on_deadline, &expired, nullptr);
    g_source_attach(timer.get(), bus.context);
    while (!done() && !expired)
        g_main_context_iteration(bus.context, TRUE);
    g_source_destroy(timer.get());
}

// Runs `command(bus)` with a fresh context and the budget's deadline, not
// yet connected; the context is the thread's default only while it runs, and
// no call of the command is left waiting when it returns.
template <class Command> int run_on_bus(Command command) {
    ContextPtr context(g_main_context_new());
    CancellablePtr cancellable(g_cancellable_new());
    Bus bus{nullptr, context.get(), cancellable.get(),
            g_get_monotonic_time() + command_budget_us - wind_down_us, 0};
    g_main_context_push_thread_default(context.get());
    struct Pop {
        Bus &bus;
        ~Pop() {
            wait_for_replies(bus);
            g_main_context_pop_thread_default(bus.context);
        }
    } pop{bus};
    return command(bus);
}
