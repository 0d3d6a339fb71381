// The MPRIS players on the bus, each with its properties read afresh.
#pragma once

#include <string>
#include <vector>

#include "bus.h"
#include "choice.h"

inline constexpr char mpris_prefix[] = "org.mpris.MediaPlayer2.";

struct Player {
    std::string bus_name;
    Reply properties; // (a{sv}) of org.mpris.MediaPlayer2.Player
    Reply identity;   // (v) of org.mpris.MediaPlayer2's Identity
};

// Every MPRIS player that answered, with the Player interface's properties
// and, when `with_identity`, its Identity. Uses up to the whole budget when
// one does not answer.
std::vector<Player> read_players(Bus &bus, bool with_identity);

// The player `preferred` and the statuses choose; null when none.
Player *chosen_player(std::vector<Player> &players, const std::vector<std::string> &preferred,
                      bool stopped_too);

// A property of the Player interface, null when missing or of another type.
VariantPtr player_property(const Player &player, const char *name, const GVariantType *type);
