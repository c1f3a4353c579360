// The draws of one board's result, in the order the terminals' reports are checked against:
// side, seat, pass-out, level, strain, doubling (and redoubling), tricks, lead suit and rank.
#include "results/board_result.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace sim {
namespace {

// Whole part of (u x n), plus 1: a position 1..n. Done in double, where the product of a
// 24-bit fraction and a small n is exact and so never reaches n.
template <std::size_t N>
std::string_view pick(const std::array<std::string_view, N>& list, float u) {
    const auto k = static_cast<std::size_t>(std::floor(static_cast<double>(u) * N));
    return list[k];
}

constexpr std::array<std::string_view, 2> kNorthSouth{"N", "S"};
constexpr std::array<std::string_view, 2> kEastWest{"E", "W"};
constexpr std::array<std::string_view, 5> kStrains{"S", "H", "D", "C", "NT"};
constexpr std::array<std::string_view, 4> kSuits{"S", "H", "D", "C"};
constexpr std::array<std::string_view, 13> kRanks{"2", "3", "4", "5", "6", "7", "8",
                                                  "9", "10", "J", "Q", "K", "A"};

int whole(float u, int n) { return static_cast<int>(std::floor(static_cast<double>(u) * n)) + 1; }

}  // namespace

BoardResult DrawBoardResult(Integer ns_pair, Integer ew_pair, RandomSource& random) {
    BoardResult r;
    const bool north_south = random.next() < 0.5f;
    r.Declarer = north_south ? ns_pair : ew_pair;
    r.NSEW = pick(north_south ? kNorthSouth : kEastWest, random.next());
    if (!(random.next() < 0.9f)) {
        r.Contract = "PASS";
        return r;
    }
    const int level = whole(random.next(), 7);
    r.Contract = std::to_string(level);
    r.Contract += ' ';
    r.Contract += pick(kStrains, random.next());
    if (random.next() < 0.1f) {
        r.Contract += " x";
        if (random.next() < 0.1f) r.Contract += "x";
    }
    const int difference = whole(random.next(), 13) - (level + 6);
    char signed_number[8];
    std::snprintf(signed_number, sizeof signed_number, "%+d", difference);
    r.Result = difference == 0 ? "=" : signed_number;
    const float suit = random.next();
    const float rank = random.next();
    r.leadcard = pick(kSuits, suit);
    r.leadcard += pick(kRanks, rank);
    return r;
}

}  // namespace sim
