// Listing the players and reading their properties, all in parallel.
#include "players.h"

#include <cstring>

std::vector<Player> read_players(Bus &bus, bool with_identity) {
    Reply names{};
    start_call(bus, names, "org.freedesktop.DBus", "org.freedesktop.DBus", "ListNames", nullptr,
               G_VARIANT_TYPE("(as)"));
    wait_for_replies(bus);
    if (!names.value)
        return {};

    // Every Player is in place before the first call starts: the replies are
    // written through their addresses.
    std::vector<Player> players;
    VariantPtr list(g_variant_get_child_value(names.value.get(), 0));
    const gsize count = g_variant_n_children(list.get());
    for (gsize i = 0; i < count; ++i) {
        const char *name = nullptr;
        g_variant_get_child(list.get(), i, "&s", &name);
        if (std::strncmp(name, mpris_prefix, sizeof mpris_prefix - 1) == 0 &&
            name[sizeof mpris_prefix - 1] != '\0')
            players.push_back(Player{name, {}, {}});
    }
    for (Player &player : players) {
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
    wait_for_replies(bus);
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
