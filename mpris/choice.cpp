// Player choice: a rank for each player, the lowest wins.
#include "choice.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, 3> status_order = {"Playing", "Paused", "Stopped"};

std::size_t status_rank(std::string_view status) {
    return static_cast<std::size_t>(std::find(status_order.begin(), status_order.end(), status) -
                                    status_order.begin());
}

bool matches(std::string_view name, std::string_view listed) {
    return name.starts_with(listed) && (name.size() == listed.size() || name[listed.size()] == '.');
}

// The best player that `eligible` accepts, by status, then name.
template <class Eligible>
std::optional<std::size_t> best(std::span<const PlayerState> players, Eligible eligible) {
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < players.size(); ++i) {
        if (!eligible(players[i]))
            continue;
        const auto key = [&](std::size_t at) {
            return std::pair(status_rank(players[at].status), players[at].name);
        };
        if (!chosen || key(i) < key(*chosen))
            chosen = i;
    }
    return chosen;
}

} // namespace

std::optional<std::size_t> choose_player(std::span<const PlayerState> players,
                                         std::span<const std::string> preferred, bool stopped_too) {
    if (preferred.empty()) {
        const std::size_t last_rank = stopped_too ? 2 : 1;
        return best(players,
                    [&](const PlayerState &p) { return status_rank(p.status) <= last_rank; });
    }
    for (const std::string &listed : preferred) {
        std::optional<std::size_t> chosen;
        if (listed == "*") {
            chosen = best(players, [&](const PlayerState &p) {
                return std::none_of(preferred.begin(), preferred.end(),
                                    [&](const std::string &l) { return matches(p.name, l); });
            });
        } else {
            chosen = best(players, [&](const PlayerState &p) { return matches(p.name, listed); });
        }
        if (chosen)
            return chosen;
    }
    return std::nullopt;
}
