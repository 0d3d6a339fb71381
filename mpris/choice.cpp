// SPDX-License-Identifier: GPL-2.0-or-later
// Player choice: a rank for each player, the lowest wins; and the memory of
// the players that did not answer.
#include "choice.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace {

constexpr std::array<std::string_view, 3> status_order = {"Playing", "Paused", "Stopped"};

std::size_t status_rank(std::string_view status) {
    return static_cast<std::size_t>(std::find(status_order.begin(), status_order.end(), status) -
                                    status_order.begin());
}

bool matches(std::string_view name, std::string_view listed) {
    return name.starts_with(listed) && (name.size() == listed.size() || name[listed.size()] == '.');
}

// The place of `name` in the list: the first entry naming it, else the "*";
// nothing when the list leaves it out.
std::optional<std::size_t> list_rank(std::string_view name,
                                     std::span<const std::string> preferred) {
    if (preferred.empty())
        return 0;
    const auto named =
        std::find_if(preferred.begin(), preferred.end(),
                     [&](const std::string &listed) { return matches(name, listed); });
    const auto rest =
        named != preferred.end() ? named : std::find(preferred.begin(), preferred.end(), "*");
    if (rest == preferred.end())
        return std::nullopt;
    return static_cast<std::size_t>(rest - preferred.begin());
}

} // namespace

std::optional<std::size_t> choose_player(std::span<const PlayerState> players,
                                         std::span<const std::string> preferred, bool stopped_too) {
    const std::size_t last_status = stopped_too ? 2 : 1;
    std::optional<std::size_t> chosen;
    std::tuple<std::size_t, std::size_t, std::string_view> best;
    for (std::size_t i = 0; i < players.size(); ++i) {
        const std::size_t status = status_rank(players[i].status);
        const std::optional<std::size_t> place = list_rank(players[i].name, preferred);
        if (status > last_status || !place)
            continue;
        const auto key = std::tuple(status, *place, players[i].name);
        if (!chosen || key < best) {
            chosen = i;
            best = key;
        }
    }
    return chosen;
}

void remember_silent(std::vector<std::string> &silent, std::string_view unique_name) {
    if (is_silent(silent, unique_name))
        return;
    if (silent.size() >= most_silent_players)
        silent.erase(silent.begin());
    silent.emplace_back(unique_name);
}

void forget_silent(std::vector<std::string> &silent, std::string_view unique_name) {
    std::erase(silent, unique_name);
}

bool is_silent(const std::vector<std::string> &silent, std::string_view unique_name) {
    return std::find(silent.begin(), silent.end(), unique_name) != silent.end();
}

void forget_gone(std::vector<std::string> &silent, std::span<const std::string_view> on_bus) {
    std::erase_if(silent, [&](const std::string &name) {
        return std::find(on_bus.begin(), on_bus.end(), name) == on_bus.end();
    });
}
