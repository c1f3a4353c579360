// Seeding the random source from the clock.
#include "results/random_source.h"

#include <chrono>

namespace sim {

void RandomSource::seed_from_clock() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    seed(static_cast<std::uint32_t>(ticks ^ (ticks >> 32)));
}

}  // namespace sim
