// SPDX-License-Identifier: GPL-2.0-or-later
// The client library over MPRIS: the module's four calls answered by the
// media player that the user already runs, found on the session bus.
//
//   vc_eval("formatpreset 3")  preset 3 of the configuration (config.h),
//                              rendered with the chosen player's song
//   vc_exec(COMMAND)           play, pause (toggles), stop, next, prev,
//                              seek +S / seek -S (seconds), volume P (0-100)
//
// Every command keeps to a budget of one second, whatever the players do.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bus.h"
#include "config.h"
#include "players.h"
#include "render.h"
#include "vc.h"

#define VC_EXPORT __attribute__((visibility("default")))

namespace {

// Failure values; the module tells them apart no further than from 0.
constexpr int no_bus = 1, not_understood = 2, misconfigured = 3, no_player = 4, refused = 5,
              no_memory = 6;

// The connection, opened by the first command that needs one and again
// after the bus has closed it; and the players that did not answer.
ConnectionPtr connection;
std::vector<std::string> silent_players;

// Connects within the command's budget unless the connection is still open.
bool open_connection(Bus &bus) {
    if (connection && g_dbus_connection_is_closed(connection.get()))
        close_bus(std::exchange(connection, nullptr));
    if (!connection)
        connection = connect_session_bus(bus);
    bus.connection = connection.get();
    return connection != nullptr;
}

std::string string_value(const VariantPtr &value) {
    return value ? g_variant_get_string(value.get(), nullptr) : "";
}

// A time in microseconds as players send it (x, but some send t, i, u or
// d); -1 when unknown.
std::int64_t microseconds(const VariantPtr &value) {
    if (!value)
        return -1;
    const GVariantType *type = g_variant_get_type(value.get());
    if (g_variant_type_equal(type, G_VARIANT_TYPE_INT64))
        return g_variant_get_int64(value.get());
    if (g_variant_type_equal(type, G_VARIANT_TYPE_UINT64))
        return static_cast<std::int64_t>(
            std::min<guint64>(g_variant_get_uint64(value.get()), INT64_MAX));
    if (g_variant_type_equal(type, G_VARIANT_TYPE_INT32))
        return g_variant_get_int32(value.get());
    if (g_variant_type_equal(type, G_VARIANT_TYPE_UINT32))
        return g_variant_get_uint32(value.get());
    if (g_variant_type_equal(type, G_VARIANT_TYPE_DOUBLE)) {
        const double time = g_variant_get_double(value.get());
        return time >= 0 && time < 9e18 ? static_cast<std::int64_t>(time) : -1;
    }
    return -1;
}

// xesam:artist is a list; some players send one string.
std::string artists(GVariant *metadata) {
    VariantPtr value(g_variant_lookup_value(metadata, "xesam:artist", nullptr));
    if (!value)
        return {};
    if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING))
        return g_variant_get_string(value.get(), nullptr);
    if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY))
        return {};
    std::string joined;
    const gsize count = g_variant_n_children(value.get());
    for (gsize i = 0; i < count; ++i) {
        const char *artist = nullptr;
        g_variant_get_child(value.get(), i, "&s", &artist);
        if (*artist == '\0')
            continue;
        if (!joined.empty())
            joined += ", ";
        joined += artist;
    }
    return joined;
}

// The file name in a file:// URL, query and fragment left out and decoded;
// empty unless that is UTF-8.
std::string file_name(std::string_view url) {
    constexpr std::string_view scheme = "file://";
    if (!url.starts_with(scheme))
        return {};
    url = url.substr(0, url.find_first_of("?#"));
    url = url.substr(url.rfind('/') + 1);
    TextPtr decoded(g_uri_unescape_segment(url.data(), url.data() + url.size(), nullptr));
    if (!decoded || !g_utf8_validate(decoded.get(), -1, nullptr))
        return {};
    return decoded.get();
}

// A web address to share (a browser's tab, a stream); empty for anything
// else: a local file's path often holds the user's name.
std::string web_address(const std::string &url) {
    const bool web = g_ascii_strncasecmp(url.c_str(), "http:", 5) == 0 ||
                     g_ascii_strncasecmp(url.c_str(), "https:", 6) == 0;
    return web ? url : std::string();
}

// Preset 3 rendered with the player's song; `status` is playing or paused.
// Without a title it is named by its file; with neither, a preset that
// shows the title gives nothing.
RenderedLine announcement(const Player &player, const std::string &preset, const char *status) {
    VariantPtr metadata = player_property(player, "Metadata", G_VARIANT_TYPE_VARDICT);
    const auto metadata_value = [&](const char *key, const GVariantType *type) {
        return metadata ? VariantPtr(g_variant_lookup_value(metadata.get(), key, type)) : nullptr;
    };
    VariantPtr identity;
    if (player.identity.value) {
        VariantPtr boxed(g_variant_get_child_value(player.identity.value.get(), 0));
        identity.reset(g_variant_get_variant(boxed.get()));
        if (!g_variant_is_of_type(identity.get(), G_VARIANT_TYPE_STRING))
            identity.reset();
    }
    const std::string artist = metadata ? artists(metadata.get()) : "";
    const std::string url = string_value(metadata_value("xesam:url", G_VARIANT_TYPE_STRING));
    std::string title = string_value(metadata_value("xesam:title", G_VARIANT_TYPE_STRING));
    if (title.empty())
        title = file_name(url);
    const std::string album = string_value(metadata_value("xesam:album", G_VARIANT_TYPE_STRING));
    const std::string position =
        duration_text(microseconds(player_property(player, "Position", nullptr)));
    const std::string length = duration_text(microseconds(metadata_value("mpris:length", nullptr)));
    const std::string identity_text = string_value(identity);
    const std::string shared_url = web_address(url);
    const TemplateField fields[] = {{"artist", artist},        {"title", title, true},
                                    {"album", album},          {"status", status},
                                    {"position", position},    {"length", length},
                                    {"player", identity_text}, {"url", shared_url}};
    return render_template(preset, fields, result_text_limit);
}

// Runs `use(bus, player, preset3)` for the player that the configuration and
// the statuses choose, with a budget of one second for it all. Players
// Stopped count only for `commands`; the others are asked for their Identity.
template <class Use> int with_chosen_player(bool commands, Use use) {
    const std::optional<Config> config = read_config(config_path());
    if (!config)
        return misconfigured;
    return run_on_bus([&](Bus &bus) {
        if (!open_connection(bus))
            return no_bus;
        // A player command is a second call after the choice: the players get
        // half the time left to answer, so that one that never does leaves
        // the command time to reach the one chosen.
        const std::int64_t now = g_get_monotonic_time();
        const std::int64_t until = commands ? now + (bus.deadline - now) / 2 : bus.deadline;
        std::vector<Player> players = read_players(bus, !commands, until, silent_players);
        const Player *player = chosen_player(players, config->players, commands);
        return player == nullptr ? no_player : use(bus, *player, config->preset3);
    });
}

int eval_preset3(char *result) {
    return with_chosen_player(false, [&](Bus &, const Player &player, const std::string &preset) {
        const std::string status =
            string_value(player_property(player, "PlaybackStatus", G_VARIANT_TYPE_STRING));
        if (status != "Playing" && status != "Paused")
            return no_player;
        RenderedLine line =
            announcement(player, preset, status == "Playing" ? "playing" : "paused");
        // The client runs the line's first word as a command: a tag must not
        // choose it (a title "quit bye" with a preset "%title%").
        if (line.text.empty() || command_from_value(line))
            return misconfigured;
        return write_local_result(line.text, result) == 0 ? 0 : misconfigured;
    });
}

// A player command: the method it calls (or the Volume it sets) and the
// property that says whether the player allows it.
struct PlayerCommand {
    const char *method;
    const char *allowed_by;
    GVariant *parameters; // floating, or null
};

// Digits with an optional sign, within [low, high].
bool parse_number(std::string_view text, std::int64_t low, std::int64_t high,
                  std::int64_t &number) {
    if (text.starts_with('+'))
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= low &&
           number <= high;
}

bool parse_command(std::string_view text, PlayerCommand &command) {
    static constexpr struct {
        std::string_view word;
        PlayerCommand command;
    } plain[] = {{"play", {"Play", "CanPlay", nullptr}},
                 {"pause", {"PlayPause", "CanPause", nullptr}},
                 {"stop", {"Stop", "CanControl", nullptr}},
                 {"next", {"Next", "CanGoNext", nullptr}},
                 {"prev", {"Previous", "CanGoPrevious", nullptr}}};
    for (const auto &entry : plain) {
        if (text == entry.word) {
            command = entry.command;
            return true;
        }
    }
    std::int64_t number = 0;
    // A day either way is more than any track.
    if (text.starts_with("seek ") && parse_number(text.substr(5), -86400, 86400, number)) {
        command = {"Seek", "CanSeek", g_variant_new("(x)", number * 1000000)};
        return true;
    }
    if (text.starts_with("volume ") && parse_number(text.substr(7), 0, 100, number)) {
        command = {"Set", "CanControl",
                   g_variant_new("(ssv)", "org.mpris.MediaPlayer2.Player", "Volume",
                                 g_variant_new_double(static_cast<double>(number) / 100))};
        return true;
    }
    return false;
}

int exec_player_command(const char *text) {
    PlayerCommand command{};
    if (!parse_command(text, command))
        return not_understood;
    VariantPtr parameters(command.parameters != nullptr ? g_variant_ref_sink(command.parameters)
                                                        : nullptr);
    return with_chosen_player(true, [&](Bus &bus, const Player &player, const std::string &) {
        VariantPtr allowed = player_property(player, command.allowed_by, G_VARIANT_TYPE_BOOLEAN);
        if (allowed && !g_variant_get_boolean(allowed.get()))
            return refused;
        const bool is_set = std::strcmp(command.method, "Set") == 0;
        Reply reply{};
        start_call(bus, reply, player.bus_name.c_str(),
                   is_set ? "org.freedesktop.DBus.Properties" : "org.mpris.MediaPlayer2.Player",
                   command.method, parameters.get(), nullptr);
        wait_for_replies(bus);
        return reply.value ? 0 : refused;
    });
}

} // namespace

extern "C" {

// Connects nothing: no command runs the context a connection would be set
// up on, and the client's start must not wait for a bus. The first command
// connects.
VC_EXPORT int VC_CALL vc_init(int /*mode*/) {
    return 0;
}

// Every command has waited for its calls, a connection being set up among
// them: what is left to release is the connection and the memory.
VC_EXPORT int VC_CALL vc_uninit(void) {
    close_bus(std::move(connection));
    std::vector<std::string>().swap(silent_players);
    return 0;
}

VC_EXPORT int VC_CALL vc_eval(const char *command, char *result) {
    if (std::strcmp(command, "formatpreset 3") != 0)
        return not_understood;
    try {
        return eval_preset3(result);
    } catch (...) { // std::bad_alloc: no exception may reach the module, which is C
        return no_memory;
    }
}

VC_EXPORT int VC_CALL vc_exec(const char *command) {
    try {
        return exec_player_command(command);
    } catch (...) { // as in vc_eval
        return no_memory;
    }
}

} // extern "C"
