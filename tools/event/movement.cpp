// Movement construction. The Mitchell is arithmetic; the Howell pairs come from the circle
// method and its board sets from a small search (each round needs different sets at its
// tables, and no pair may see a set twice), which is quick for the sizes allowed.
#include "movement.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

namespace event {
namespace {

int mod(int a, int m) { return ((a % m) + m) % m; }

struct Match {
    int a = 0, b = 0;   // pairs 1..n; b is n (the stationary pair) at table 1
};

std::vector<Seating> mitchell(const MovementRequest& r) {
    const int t = r.tables;
    const bool skip_half = t % 2 == 0;
    std::vector<Seating> out;
    for (int round = 1; round <= r.rounds; ++round) {
        const int skip = skip_half && round > t / 2 ? 1 : 0;
        for (int table = 1; table <= t; ++table) {
            Seating s;
            s.table = table;
            s.round = round;
            s.ns_pair = table;
            s.ew_pair = mod(table - 1 - (round - 1) - skip, t) + 1;
            if (r.odd_pairs && s.ew_pair == t) s.ew_pair = 0;
            const int set = mod(table - 1 + round - 1, t);
            s.low_board = set * r.boards_per_round + 1;
            s.high_board = (set + 1) * r.boards_per_round;
            out.push_back(s);
        }
    }
    return out;
}

// Round r (0-based) of a circle-method round robin over n pairs: table 1 holds the
// stationary pair n against pair r+1, table d+1 pairs r+d and r-d.
std::vector<std::vector<Match>> howell_rounds(int tables, int rounds) {
    const int m = 2 * tables - 1;
    std::vector<std::vector<Match>> out;
    for (int r = 0; r < rounds; ++r) {
        std::vector<Match> round{{r + 1, m + 1}};
        for (int d = 1; d < tables; ++d) round.push_back({mod(r + d, m) + 1, mod(r - d, m) + 1});
        out.push_back(round);
    }
    return out;
}

// Board sets for the matches: different within a round, never twice for one pair. Depth-first
// with a step budget and shuffled restarts; nullopt-like empty result when none was found.
std::vector<std::vector<int>> howell_sets(const std::vector<std::vector<Match>>& rounds, int pairs, int sets) {
    const std::size_t tables = rounds.front().size();
    const std::size_t slots = rounds.size() * tables;
    std::mt19937 random(12345);
    for (int attempt = 0; attempt < 30; ++attempt) {
        std::vector<std::vector<int>> chosen(rounds.size(), std::vector<int>(tables, -1));
        std::vector<std::vector<bool>> seen(static_cast<std::size_t>(pairs + 1), std::vector<bool>(static_cast<std::size_t>(sets)));
        std::vector<int> order(static_cast<std::size_t>(sets));
        for (int i = 0; i < sets; ++i) order[static_cast<std::size_t>(i)] = i;
        std::vector<std::vector<int>> options(slots);
        long budget = 4000;
        std::size_t slot = 0;
        std::vector<std::size_t> next_option(slots, 0);
        while (slot < slots && budget-- > 0) {
            const std::size_t r = slot / tables, t = slot % tables;
            const Match& mt = rounds[r][t];
            if (next_option[slot] == 0) {
                std::shuffle(order.begin(), order.end(), random);
                options[slot] = order;
            } else if (chosen[r][t] >= 0) {  // undo the previous choice at this slot
                seen[static_cast<std::size_t>(mt.a)][static_cast<std::size_t>(chosen[r][t])] = false;
                seen[static_cast<std::size_t>(mt.b)][static_cast<std::size_t>(chosen[r][t])] = false;
                chosen[r][t] = -1;
            }
            bool placed = false;
            while (next_option[slot] < options[slot].size()) {
                const int s = options[slot][next_option[slot]++];
                const auto su = static_cast<std::size_t>(s);
                if (seen[static_cast<std::size_t>(mt.a)][su] || seen[static_cast<std::size_t>(mt.b)][su]) continue;
                if (std::find(chosen[r].begin(), chosen[r].end(), s) != chosen[r].end()) continue;
                chosen[r][t] = s;
                seen[static_cast<std::size_t>(mt.a)][su] = seen[static_cast<std::size_t>(mt.b)][su] = true;
                placed = true;
                break;
            }
            if (placed) {
                ++slot;
            } else {
                next_option[slot] = 0;
                if (slot == 0) break;
                --slot;
            }
        }
        if (slot == slots) return chosen;
    }
    return {};
}

std::vector<Seating> howell(const MovementRequest& r) {
    const int pairs = 2 * r.tables;
    const auto rounds = howell_rounds(r.tables, r.rounds);
    std::vector<std::vector<int>> sets;
    for (int count = std::max(r.tables, r.rounds); sets.empty(); ++count) sets = howell_sets(rounds, pairs, count);
    std::vector<Seating> out;
    for (std::size_t round = 0; round < rounds.size(); ++round)
        for (std::size_t t = 0; t < rounds[round].size(); ++t) {
            const Match& m = rounds[round][t];
            Seating s;
            s.table = static_cast<int>(t) + 1;
            s.round = static_cast<int>(round) + 1;
            // The stationary pair sits North-South at table 1; elsewhere the lower number.
            s.ns_pair = t == 0 ? m.b : std::min(m.a, m.b);
            s.ew_pair = t == 0 ? m.a : std::max(m.a, m.b);
            if (r.odd_pairs) {
                if (s.ns_pair == pairs) s.ns_pair = 0;
                if (s.ew_pair == pairs) s.ew_pair = 0;
            }
            s.low_board = sets[round][t] * r.boards_per_round + 1;
            s.high_board = (sets[round][t] + 1) * r.boards_per_round;
            out.push_back(s);
        }
    return out;
}

}  // namespace

int max_rounds(MovementKind kind, int tables) {
    if (tables < 1) return 0;
    if (kind == MovementKind::Howell) return tables <= kMaxHowellTables ? 2 * tables - 1 : 0;
    return tables % 2 == 1 ? tables : std::max(1, tables - 1);
}

std::vector<Seating> make_movement(const MovementRequest& r) {
    const char* name = r.kind == MovementKind::Howell ? "Howell" : "Mitchell";
    if (r.tables < 1) throw std::invalid_argument("A section needs at least one table.");
    if (r.kind == MovementKind::Howell && (r.tables < 2 || r.tables > kMaxHowellTables))
        throw std::invalid_argument("A Howell movement is made for 2 to " + std::to_string(kMaxHowellTables) +
                                    " tables; use a Mitchell for " + std::to_string(r.tables) + ".");
    if (r.boards_per_round < 1) throw std::invalid_argument("Each round needs at least one board.");
    const int most = max_rounds(r.kind, r.tables);
    if (r.rounds < 1 || r.rounds > most)
        throw std::invalid_argument("A " + std::string(name) + " movement for " + std::to_string(r.tables) +
                                    " tables has at most " + std::to_string(most) + " rounds; " +
                                    std::to_string(r.rounds) + " were asked for.");
    return r.kind == MovementKind::Howell ? howell(r) : mitchell(r);
}

std::vector<std::string> movement_problems(MovementKind kind, const std::vector<Seating>& seatings) {
    std::vector<std::string> problems;
    auto pair_key = [&](bool ns, int number) {
        return kind == MovementKind::Mitchell ? (ns ? "NS " : "EW ") + std::to_string(number) : std::to_string(number);
    };
    std::map<int, std::set<std::string>> seated;     // round -> pairs
    std::map<int, std::set<int>> boards_in_round;    // round -> boards
    std::map<std::string, std::set<int>> boards_of;  // pair -> boards met
    for (const Seating& s : seatings) {
        const std::string where = "round " + std::to_string(s.round) + " table " + std::to_string(s.table);
        for (int b = s.low_board; b <= s.high_board; ++b)
            if (!boards_in_round[s.round].insert(b).second)
                problems.push_back(where + ": board " + std::to_string(b) + " is also played at another table");
        for (const auto& [ns, number] : {std::pair{true, s.ns_pair}, std::pair{false, s.ew_pair}}) {
            if (number == 0) continue;
            const std::string pair = pair_key(ns, number);
            if (!seated[s.round].insert(pair).second) problems.push_back(where + ": pair " + pair + " is seated twice");
            for (int b = s.low_board; b <= s.high_board; ++b)
                if (!boards_of[pair].insert(b).second)
                    problems.push_back(where + ": pair " + pair + " meets board " + std::to_string(b) + " again");
        }
    }
    return problems;
}

}  // namespace event
