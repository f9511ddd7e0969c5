#pragma once

#include "sim/meter_endpoint.h"

#include <random>

namespace ordan {

// Faults for soak runs: before each exchange a die decides whether it goes wrong, and how.
// Each drawn fault lasts one exchange; the same seed gives the same sequence of draws.
class RandomFaults {
public:
    RandomFaults(quint32 seed, int percent);

    // The faults of the coming exchange: none, or one kind with random parameters.
    Faults next();

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::mt19937 rng_;
    int percent_;
};

} // namespace ordan
