// SPDX-License-Identifier: GPL-2.0-or-later
// The MPRIS players on the bus, each with its properties read afresh.
#pragma once

#include <string>
#include <vector>

#include "bus.h"
#include "choice.h"

inline constexpr char mpris_prefix[] = "org.mpris.MediaPlayer2.";

// How long a command waits for a player that did not answer within an
// earlier command's budget: a suspended player keeps its unique name, so
// this costs the later commands little, and a player that answers again
// within it counts as before.
inline constexpr std::int64_t silent_grace_us = 25000;

struct Player {
    std::string bus_name;
    Reply owner;      // (s) of the bus's GetNameOwner: the player's unique name
    Reply properties; // (a{sv}) of org.mpris.MediaPlayer2.Player
    Reply identity;   // (v) of org.mpris.MediaPlayer2's Identity
};

// Every MPRIS player that answered by `until`, with the Player interface's
// properties and, when `with_identity`, its Identity. Waits until then when
// one does not answer, except for a player in `silent`, which is given only
// the grace; `silent` is brought up to date with what this round saw.
std::vector<Player> read_players(Bus &bus, bool with_identity, std::int64_t until,
                                 std::vector<std::string> &silent);

// The player `preferred` and the statuses choose; null when none.
Player *chosen_player(std::vector<Player> &players, const std::vector<std::string> &preferred,
                      bool stopped_too);

// A property of the Player interface, null when missing or of another type.
VariantPtr player_property(const Player &player, const char *name, const GVariantType *type);
