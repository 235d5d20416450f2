// The program's random numbers: MT19937 as in the 1998 reference generator, with its seeding.
#pragma once

#include <cstdint>

namespace qr::core {

void SeedRandom(uint32_t seed);
uint32_t NextRandom();

// Seeding from the clock at start can be replaced by a fixed seed (replays, tests). The value
// holds until cleared with ClearFixedSeed.
void SetFixedSeed(uint32_t seed);
void ClearFixedSeed();
// The seed start-up uses: the fixed one when set, else the millisecond count.
uint32_t StartSeed();

}  // namespace qr::core
