// SPDX-License-Identifier: GPL-2.0-or-later
// Listing the players and reading their properties, all in parallel.
#include "players.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

std::string_view owner_of(const Player &player) {
    if (!player.owner.value)
        return {};
    const char *owner = nullptr;
    g_variant_get(player.owner.value.get(), "(&s)", &owner);
    return owner;
}

} // namespace

std::vector<Player> read_players(Bus &bus, bool with_identity, std::int64_t until,
                                 std::vector<std::string> &silent) {
    Reply names{};
    start_call(bus, names, "org.freedesktop.DBus", "org.freedesktop.DBus", "ListNames", nullptr,
               G_VARIANT_TYPE("(as)"));
    wait_for_replies(bus, until);
    if (!names.value)
        return {};

    // Every Player is in place before the first call starts: the replies are
    // written through their addresses.
    std::vector<Player> players;
    std::vector<std::string_view> unique_names;
    VariantPtr list(g_variant_get_child_value(names.value.get(), 0));
    const gsize count = g_variant_n_children(list.get());
    for (gsize i = 0; i < count; ++i) {
        const char *name = nullptr;
        g_variant_get_child(list.get(), i, "&s", &name);
        if (name[0] == ':')
            unique_names.emplace_back(name);
        if (std::strncmp(name, mpris_prefix, sizeof mpris_prefix - 1) == 0 &&
            name[sizeof mpris_prefix - 1] != '\0')
            players.push_back(Player{name, {}, {}, {}});
    }
    forget_gone(silent, unique_names);
    for (Player &player : players) {
        start_call(bus, player.owner, "org.freedesktop.DBus", "org.freedesktop.DBus",
                   "GetNameOwner", g_variant_new("(s)", player.bus_name.c_str()),
                   G_VARIANT_TYPE("(s)"));
        start_call(bus, player.properties, player.bus_name.c_str(),
                   "org.freedesktop.DBus.Properties", "GetAll",
                   g_variant_new("(s)", "org.mpris.MediaPlayer2.Player"),
                   G_VARIANT_TYPE("(a{sv})"));
        if (with_identity)
            start_call(bus, player.identity, player.bus_name.c_str(),
                       "org.freedesktop.DBus.Properties", "Get",
                       g_variant_new("(ss)", "org.mpris.MediaPlayer2", "Identity"),
                       G_VARIANT_TYPE("(v)"));
    }
    // The bus names the owners at once. A player that kept silent before
    // then has only the grace; the others have until `until`.
    const std::int64_t grace_end = g_get_monotonic_time() + silent_grace_us;
    const auto answered = [&](const Player &player) {
        return player.owner.finished &&
               ((player.properties.finished && (player.identity.finished || !with_identity)) ||
                is_silent(silent, owner_of(player)));
    };
    wait_until(bus, until, [&] { return std::all_of(players.begin(), players.end(), answered); });
    wait_for_replies(bus, grace_end);
    for (const Player &player : players) {
        const std::string_view owner = owner_of(player);
        if (owner.empty())
            continue;
        if (player.properties.value)
            forget_silent(silent, owner);
        else
            remember_silent(silent, owner);
    }
    std::erase_if(players, [](const Player &player) { return !player.properties.value; });
    return players;
}

VariantPtr player_property(const Player &player, const char *name, const GVariantType *type) {
    VariantPtr all(g_variant_get_child_value(player.properties.value.get(), 0));
    return VariantPtr(g_variant_lookup_value(all.get(), name, type));
}

Player *chosen_player(std::vector<Player> &players, const std::vector<std::string> &preferred,
                      bool stopped_too) {
    std::vector<VariantPtr> statuses;
    std::vector<PlayerState> states;
    for (const Player &player : players) {
        statuses.push_back(player_property(player, "PlaybackStatus", G_VARIANT_TYPE_STRING));
        const char *status =
            statuses.back() ? g_variant_get_string(statuses.back().get(), nullptr) : "";
        states.push_back(
            {std::string_view(player.bus_name).substr(sizeof mpris_prefix - 1), status});
    }
    const auto chosen = choose_player(states, preferred, stopped_too);
    return chosen ? &players[*chosen] : nullptr;
}
