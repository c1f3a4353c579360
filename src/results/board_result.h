// One board's result as a table terminal reports it, drawn at random from the pair numbers
// at the table: declaring side and seat, contract or pass-out, tricks against the contract
// and the opening lead, each uniform and independent, in a fixed order of draws.
#pragma once

#include "results/random_source.h"
#include "run/integer.h"

#include <string>

namespace sim {

struct BoardResult {
    Integer Declarer;      // the declaring pair's number
    std::string NSEW;      // the declarer's seat: "N", "S", "E" or "W" (column "NS/EW")
    std::string Contract;  // "3 NT", "4 H x", "2 S xx" or "PASS"
    std::string Result;    // "=", "+2", "-3"; empty when passed out
    std::string leadcard;  // "S10", "HA"; empty when passed out
};

BoardResult DrawBoardResult(Integer ns_pair, Integer ew_pair, RandomSource& random);

}  // namespace sim
