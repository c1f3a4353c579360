// The board result generator: its vocabulary on every draw, the number of draws each kind of
// board takes, and the distribution of every part of a result (chi-square at p = 0.001 over
// fixed seeds, so the tests are reproducible). A random source outside [0, 1), or not
// reaching both ends, shows as a contract or lead outside the vocabulary or a skewed level.
#include "results/board_result.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

using sim::BoardResult;
using sim::DrawBoardResult;
using sim::Integer;
using sim::RandomSource;

constexpr int kNs = 11;
constexpr int kEw = 22;

double chi_square(const std::vector<long>& observed, const std::vector<double>& probabilities) {
    long total = 0;
    for (long o : observed) total += o;
    double sum = 0;
    for (std::size_t i = 0; i < observed.size(); ++i) {
        const double expected = probabilities[i] * static_cast<double>(total);
        const double d = static_cast<double>(observed[i]) - expected;
        sum += d * d / expected;
    }
    return sum;
}

std::vector<double> uniform(std::size_t n) { return std::vector<double>(n, 1.0 / static_cast<double>(n)); }

// Critical values of chi-square at p = 0.001 by degrees of freedom.
double critical(int df) {
    static const std::map<int, double> values{{1, 10.83}, {2, 13.82}, {3, 16.27}, {4, 18.47},
                                              {6, 22.46}, {12, 32.91}, {51, 87.97}};
    return values.at(df);
}

int level_of(const BoardResult& r) { return r.Contract[0] - '0'; }

int strain_index(const BoardResult& r) {
    static const std::array<std::string, 5> strains{"S", "H", "D", "C", "NT"};
    const std::string strain = r.Contract.substr(2, r.Contract.find(' ', 2) - 2);
    for (int i = 0; i < 5; ++i)
        if (strains[i] == strain) return i;
    return -1;
}

int result_difference(const BoardResult& r) { return r.Result == "=" ? 0 : std::stoi(r.Result); }

int lead_index(const BoardResult& r) {
    static const std::string suits = "SHDC";
    static const std::array<std::string, 13> ranks{"2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K", "A"};
    const int suit = static_cast<int>(suits.find(r.leadcard[0]));
    for (int k = 0; k < 13; ++k)
        if (ranks[k] == r.leadcard.substr(1)) return suit * 13 + k;
    return -1;
}

struct Tally {
    std::vector<long> side = std::vector<long>(2), seat = std::vector<long>(4), passed = std::vector<long>(2),
                      level = std::vector<long>(7), strain = std::vector<long>(5), doubling = std::vector<long>(3),
                      tricks = std::vector<long>(13), lead = std::vector<long>(52);
};

Tally draw_many(std::uint32_t seed, int boards) {
    RandomSource random(seed);
    Tally t;
    static const std::string seats = "NSEW";
    for (int i = 0; i < boards; ++i) {
        const BoardResult r = DrawBoardResult(Integer(kNs), Integer(kEw), random);
        t.side[r.Declarer == Integer(kNs) ? 0 : 1]++;
        t.seat[seats.find(r.NSEW)]++;
        const bool passed = r.Contract == "PASS";
        t.passed[passed ? 1 : 0]++;
        if (passed) continue;
        t.level[level_of(r) - 1]++;
        t.strain[strain_index(r)]++;
        const bool redoubled = r.Contract.ends_with(" xx");
        t.doubling[redoubled ? 2 : r.Contract.ends_with(" x") ? 1 : 0]++;
        t.tricks[result_difference(r) + level_of(r) + 6 - 1]++;
        t.lead[lead_index(r)]++;
    }
    return t;
}

TEST(BoardResultVocabulary, EveryTextIsOneATerminalCouldSend) {
    RandomSource random(20261206);
    const std::regex contract(R"(([1-7]) (S|H|D|C|NT)( xx?)?)");
    const std::regex result(R"(=|\+[1-6]|-([1-9]|1[0-2]))");
    const std::regex lead(R"([SHDC]([2-9]|10|J|Q|K|A))");
    for (int i = 0; i < 20000; ++i) {
        const BoardResult r = DrawBoardResult(Integer(kNs), Integer(kEw), random);
        const bool north_south = r.NSEW == "N" || r.NSEW == "S";
        ASSERT_TRUE(north_south || r.NSEW == "E" || r.NSEW == "W") << r.NSEW;
        EXPECT_EQ(r.Declarer, Integer(north_south ? kNs : kEw)) << "the declaring pair sits at the seat drawn";
        if (r.Contract == "PASS") {
            EXPECT_EQ(r.Result, "");
            EXPECT_EQ(r.leadcard, "");
            continue;
        }
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.Contract, m, contract)) << '"' << r.Contract << '"';
        ASSERT_TRUE(std::regex_match(r.Result, result)) << '"' << r.Result << '"';
        ASSERT_TRUE(std::regex_match(r.leadcard, lead)) << '"' << r.leadcard << '"';
        const int level = std::stoi(m[1]);
        const int d = result_difference(r);
        EXPECT_GE(d, -(level + 5)) << "the declarer takes at least one trick";
        EXPECT_LE(d, 7 - level) << "no more than thirteen tricks";
    }
}

// A passed-out board takes three draws, an undoubled contract nine, a doubled or redoubled one
// ten: one more or one fewer shifts every later board of the run.
TEST(BoardResultDraws, EachKindOfBoardTakesItsNumberOfDraws) {
    RandomSource random(99);
    std::map<std::string, int> seen;
    for (int i = 0; i < 5000; ++i) {
        RandomSource probe = random;
        const BoardResult r = DrawBoardResult(Integer(1), Integer(2), random);
        const std::string kind = r.Contract == "PASS"         ? "pass"
                                 : r.Contract.ends_with(" xx") ? "redoubled"
                                 : r.Contract.ends_with(" x")  ? "doubled"
                                                               : "plain";
        const int draws = kind == "pass" ? 3 : kind == "plain" ? 9 : 10;
        for (int k = 0; k < draws; ++k) probe.next();
        ASSERT_EQ(probe.next(), random.next()) << kind << " board " << i;
        random = probe;
        seen[kind]++;
    }
    EXPECT_EQ(seen.size(), 4u);
}

class BoardResultDistribution : public ::testing::TestWithParam<std::uint32_t> {
protected:
    static constexpr int kBoards = 100000;
};

TEST_P(BoardResultDistribution, MatchesTheStatedProbabilities) {
    const Tally t = draw_many(GetParam(), kBoards);
    EXPECT_LT(chi_square(t.side, uniform(2)), critical(1)) << "declaring side";
    EXPECT_LT(chi_square(t.seat, uniform(4)), critical(3)) << "seat";
    EXPECT_LT(chi_square(t.passed, {0.9, 0.1}), critical(1)) << "pass-outs";
    EXPECT_LT(chi_square(t.level, uniform(7)), critical(6)) << "levels";
    EXPECT_LT(chi_square(t.strain, uniform(5)), critical(4)) << "strains";
    EXPECT_LT(chi_square(t.doubling, {0.9, 0.09, 0.01}), critical(2)) << "doubling";
    EXPECT_LT(chi_square(t.tricks, uniform(13)), critical(12)) << "tricks";
    EXPECT_LT(chi_square(t.lead, uniform(52)), critical(51)) << "leads";
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, BoardResultDistribution, ::testing::Values(1u, 2026u, 123456789u));

}  // namespace
