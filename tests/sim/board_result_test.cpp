// The board result generator: every text is one a terminal could send, the number of draws
// each kind of board takes, and the distribution of every part of a result (chi-square at
// p = 0.001 over fixed seeds, so the tests are reproducible). A random source outside [0, 1),
// or not reaching both ends, shows as a text outside the vocabulary or a skewed count.
#include "results/board_result.h"

#include <gtest/gtest.h>

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

// Each text of one part of a result, with its probability.
using Odds = std::vector<std::pair<std::string, double>>;

Odds uniform(const std::vector<std::string>& texts) {
    Odds odds;
    for (const auto& t : texts) odds.emplace_back(t, 1.0 / static_cast<double>(texts.size()));
    return odds;
}

double chi_square(const std::map<std::string, long>& seen, const Odds& odds) {
    long total = 0;
    for (const auto& [text, n] : seen) total += n;
    double sum = 0;
    for (const auto& [text, p] : odds) {
        const double expected = p * static_cast<double>(total);
        const double d = static_cast<double>(seen.contains(text) ? seen.at(text) : 0) - expected;
        sum += d * d / expected;
    }
    return sum;
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

class BoardResultDistribution : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(BoardResultDistribution, EveryTextIsOneATerminalCouldSendAtItsStatedProbability) {
    std::vector<std::string> tricks, leads;
    for (int n = 1; n <= 13; ++n) tricks.push_back(std::to_string(n));
    for (const char* suit : {"S", "H", "D", "C"})
        for (const char* rank : {"2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K", "A"})
            leads.push_back(std::string(suit) + rank);
    // Each part's odds and the chi-square it must stay below (p = 0.001 at its degrees of freedom).
    const std::map<std::string, std::pair<Odds, double>> parts = {
        {"side", {uniform({"NS", "EW"}), 10.83}},
        {"seat", {uniform({"N", "S", "E", "W"}), 16.27}},
        {"passed", {{{"no", 0.9}, {"yes", 0.1}}, 10.83}},
        {"level", {uniform({"1", "2", "3", "4", "5", "6", "7"}), 22.46}},
        {"strain", {uniform({"S", "H", "D", "C", "NT"}), 18.47}},
        {"doubling", {{{"", 0.9}, {" x", 0.09}, {" xx", 0.01}}, 13.82}},
        {"tricks", {uniform(tricks), 32.91}},   // the declarer takes 1 to 13
        {"lead", {uniform(leads), 87.97}}};
    const std::regex contract(R"(([1-7]) (S|H|D|C|NT)( xx?)?)"), result(R"(=|\+[1-6]|-([1-9]|1[0-2]))");
    RandomSource random(GetParam());
    std::map<std::string, std::map<std::string, long>> seen;   // part -> text -> boards
    for (int i = 0; i < 100000; ++i) {
        const BoardResult r = DrawBoardResult(Integer(kNs), Integer(kEw), random);
        const bool north_south = r.NSEW == "N" || r.NSEW == "S";
        ASSERT_EQ(r.Declarer, Integer(north_south ? kNs : kEw)) << "the declaring pair sits at the seat drawn";
        ++seen["side"][north_south ? "NS" : "EW"];
        ++seen["seat"][r.NSEW];
        ++seen["passed"][r.Contract == "PASS" ? "yes" : "no"];
        if (r.Contract == "PASS") {
            ASSERT_EQ(r.Result + r.leadcard, "") << "a passed-out board has no result and no lead";
            continue;
        }
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.Contract, m, contract)) << '"' << r.Contract << '"';
        ASSERT_TRUE(std::regex_match(r.Result, result)) << '"' << r.Result << '"';
        ++seen["level"][m[1].str()];
        ++seen["strain"][m[2].str()];
        ++seen["doubling"][m[3].str()];
        ++seen["tricks"][std::to_string(std::stoi(m[1].str()) + 6 + (r.Result == "=" ? 0 : std::stoi(r.Result)))];
        ++seen["lead"][r.leadcard];
    }
    for (const auto& [part, odds_and_limit] : parts) {
        const auto& [odds, limit] = odds_and_limit;
        EXPECT_EQ(seen[part].size(), odds.size()) << part << ": a text outside the vocabulary, or one never drawn";
        EXPECT_LT(chi_square(seen[part], odds), limit) << part;
    }
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, BoardResultDistribution, ::testing::Values(1u, 2026u, 123456789u));

}  // namespace
