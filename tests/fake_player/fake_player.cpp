// SPDX-License-Identifier: GPL-2.0-or-later
// velm-fake-player: an MPRIS player on the session bus for the client
// library's tests.
//
//   velm-fake-player NAME IDENTITY STATUS METADATA [PROPERTIES [LOG]]
//
// owns org.mpris.MediaPlayer2.NAME; METADATA and PROPERTIES are GVariant
// text of type a{sv}. PROPERTIES overrides any property, Identity,
// PlaybackStatus and Metadata too, with a value of any type: the property is
// declared with the type it is given, as a player that gets it wrong does, and
// not at all when given as nothing (<@mb nothing>). Every method call and
// property set is appended to LOG ("Seek 5000000", "set Volume 0.5") before the reply. The IDENTITY
// "vanish" makes the player end without a reply at its first property read, as a player that quits
// between the listing and the call. Prints "ready" once it owns its name.
#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Each property with its usual type.
const struct {
    const char *name;
    const char *type;
} player_properties[] = {{"PlaybackStatus", "s"}, {"Metadata", "a{sv}"},  {"Position", "x"},
                         {"Volume", "d"},         {"CanPlay", "b"},       {"CanPause", "b"},
                         {"CanGoNext", "b"},      {"CanGoPrevious", "b"}, {"CanSeek", "b"},
                         {"CanControl", "b"}};

const char *identity;
const char *status;
GVariant *metadata;
GVariant *properties;
const char *log_path;

void log_line(const std::string &line) {
    if (log_path == nullptr)
        return;
    if (FILE *log = std::fopen(log_path, "a")) {
        std::fprintf(log, "%s\n", line.c_str());
        std::fclose(log);
    }
}

void on_method(GDBusConnection *, const char *, const char *, const char *, const char *method,
               GVariant *parameters, GDBusMethodInvocation *invocation, gpointer) {
    std::string line = method;
    if (std::strcmp(method, "Seek") == 0) {
        gint64 offset = 0;
        g_variant_get(parameters, "(x)", &offset);
        line += ' ';
        line += std::to_string(offset);
    }
    log_line(line);
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant *on_get(GDBusConnection *, const char *, const char *, const char *, const char *name,
                 GError **, gpointer) {
    if (std::strcmp(identity, "vanish") == 0)
        std::_Exit(0);
    if (GVariant *given = g_variant_lookup_value(properties, name, nullptr))
        return given;
    if (std::strcmp(name, "Identity") == 0)
        return g_variant_new_string(identity);
    if (std::strcmp(name, "PlaybackStatus") == 0)
        return g_variant_new_string(status);
    if (std::strcmp(name, "Metadata") == 0)
        return g_variant_ref(metadata);
    if (std::strcmp(name, "Position") == 0)
        return g_variant_new_int64(0);
    if (std::strcmp(name, "Volume") == 0)
        return g_variant_new_double(1.0);
    return g_variant_new_boolean(TRUE);
}

gboolean on_set(GDBusConnection *, const char *, const char *, const char *, const char *name,
                GVariant *value, GError **, gpointer) {
    char *text = g_variant_print(value, FALSE);
    std::string line = "set ";
    line.append(name).append(" ").append(text);
    log_line(line);
    g_free(text);
    return TRUE;
}

GVariant *parsed(const char *text) {
    GError *error = nullptr;
    GVariant *value = g_variant_parse(G_VARIANT_TYPE_VARDICT, text, nullptr, nullptr, &error);
    if (value == nullptr) {
        std::fprintf(stderr, "velm-fake-player: %s: %s\n", text, error->message);
        std::exit(2);
    }
    return value;
}

// The interfaces, each property declared with the type of its value (one given
// as nothing left out).
std::string introspection() {
    const auto declared = [](const char *name, const char *type, const char *access) {
        GVariant *given = g_variant_lookup_value(properties, name, nullptr);
        const bool missing = given != nullptr &&
                             g_variant_is_of_type(given, G_VARIANT_TYPE_MAYBE) &&
                             g_variant_n_children(given) == 0;
        std::string line;
        if (!missing)
            line = std::string("<property name=\"") + name + "\" type=\"" +
                   (given != nullptr ? g_variant_get_type_string(given) : type) + "\" access=\"" +
                   access + "\"/>";
        if (given != nullptr)
            g_variant_unref(given);
        return line;
    };
    std::string xml = "<node><interface name=\"org.mpris.MediaPlayer2\">" +
                      declared("Identity", "s", "read") +
                      "</interface><interface name=\"org.mpris.MediaPlayer2.Player\">"
                      "<method name=\"Play\"/><method name=\"Pause\"/>"
                      "<method name=\"PlayPause\"/><method name=\"Stop\"/>"
                      "<method name=\"Next\"/><method name=\"Previous\"/>"
                      "<method name=\"Seek\"><arg name=\"Offset\" type=\"x\" "
                      "direction=\"in\"/></method>";
    for (const auto &property : player_properties)
        xml += declared(property.name, property.type,
                        std::strcmp(property.name, "Volume") == 0 ? "readwrite" : "read");
    return xml + "</interface></node>";
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 5 || argc > 7) {
        std::fputs("usage: velm-fake-player NAME IDENTITY STATUS METADATA [PROPERTIES [LOG]]\n",
                   stderr);
        return 2;
    }
    identity = argv[2];
    status = argv[3];
    metadata = parsed(argv[4]);
    properties = parsed(argc > 5 ? argv[5] : "{}");
    log_path = argc > 6 ? argv[6] : nullptr;

    GError *error = nullptr;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        std::fprintf(stderr, "velm-fake-player: no session bus: %s\n", error->message);
        return 1;
    }
    GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(introspection().c_str(), nullptr);
    const GDBusInterfaceVTable vtable = {on_method, on_get, on_set, {}};
    for (GDBusInterfaceInfo **interface = node->interfaces; *interface != nullptr; ++interface)
        g_dbus_connection_register_object(bus, "/org/mpris/MediaPlayer2", *interface, &vtable,
                                          nullptr, nullptr, nullptr);
    const std::string name = std::string("org.mpris.MediaPlayer2.") + argv[1];
    // 4: do not queue; 1 in the reply: now the owner.
    GVariant *reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
        5000, nullptr, &error);
    guint32 result = 0;
    if (reply != nullptr)
        g_variant_get(reply, "(u)", &result);
    if (result != 1) {
        std::fprintf(stderr, "velm-fake-player: could not own %s\n", name.c_str());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
