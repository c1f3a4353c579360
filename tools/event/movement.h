// Movements of a pairs event: for every section, table and round the pairs that sit North-South
// and East-West and the boards they play. Mitchell (North-South stay, East-West move up a
// table, boards move down; a skip after half the rounds when the tables are even) and Howell
// (every pair meets every other; small sections). With an odd number of pairs one pair is
// missing and its opponents sit out, shown as pair number 0.
#pragma once

#include <string>
#include <vector>

namespace event {

enum class MovementKind { Mitchell, Howell };

struct MovementRequest {
    MovementKind kind = MovementKind::Mitchell;
    int tables = 7;
    int rounds = 7;
    int boards_per_round = 3;
    bool odd_pairs = false;
};

struct Seating {
    int table = 0, round = 0;
    int ns_pair = 0, ew_pair = 0;   // 0: nobody at that side (a sit-out)
    int low_board = 0, high_board = 0;
};

inline constexpr int kMaxHowellTables = 6;

// The most rounds the movement has for that many tables (0 when it cannot be played).
int max_rounds(MovementKind kind, int tables);

// The seatings of one section, round by round, table by table. Throws std::invalid_argument
// with a message for the user when the request cannot be played.
std::vector<Seating> make_movement(const MovementRequest& request);

// What is wrong with a movement: a pair seated twice in a round, two tables on the same
// boards in a round, a pair meeting a board twice. Mitchell numbers North-South and East-West
// pairs separately, a Howell numbers all pairs alike. Empty when it is sound.
std::vector<std::string> movement_problems(MovementKind kind, const std::vector<Seating>& seatings);

}  // namespace event
