// The run's random source: uniform single-precision values in [0, 1), independent draws,
// seeded from the clock at every Generate or from a fixed seed for reproducible runs.
// Only the board result generator draws from it.
#pragma once

#include <cstdint>
#include <random>

namespace sim {

class RandomSource {
public:
    RandomSource() = default;
    explicit RandomSource(std::uint32_t seed) : engine_(seed) {}

    void seed(std::uint32_t s) { engine_.seed(s); }
    // Seeds from the system clock's finest tick.
    void seed_from_clock();

    // The next value u with 0 <= u < 1: 24 random bits, so every value is exact in a float.
    float next() { return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f); }

private:
    std::mt19937 engine_;
};

}  // namespace sim
