#include "core/random.h"

#include <optional>

#include "qr.h"

namespace qr::core {
namespace {

constexpr int kN = 624;
constexpr int kM = 397;

struct Generator {
  uint32_t state[kN];
  uint32_t output[kN];
  int index = kN;
  bool seeded = false;
  std::optional<uint32_t> fixedSeed;
};

Generator& G() {
  static Generator generator;
  return generator;
}

void GenerateBlock() {
  Generator& g = G();
  for (int i = 0; i < kN; ++i) {
    uint32_t y = (g.state[i] & 0x80000000u) | (g.state[(i + 1) % kN] & 0x7FFFFFFFu);
    g.state[i] = g.state[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    y = g.state[i];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    g.output[i] = y;
  }
  g.index = 0;
}

}  // namespace

void SeedRandom(uint32_t seed) {
  Generator& g = G();
  for (int i = 0; i < kN; ++i) {
    g.state[i] = seed & 0xFFFF0000u;
    seed = 69069u * seed + 1u;
    g.state[i] |= seed >> 16;
    seed = 69069u * seed + 1u;
  }
  g.seeded = true;
  GenerateBlock();
}

uint32_t NextRandom() {
  Generator& g = G();
  if (!g.seeded) SeedRandom(4357);
  if (g.index >= kN) GenerateBlock();
  return g.output[g.index++];
}

void SetFixedSeed(uint32_t seed) { G().fixedSeed = seed; }
void ClearFixedSeed() { G().fixedSeed.reset(); }
uint32_t StartSeed() {
  return G().fixedSeed ? *G().fixedSeed : uint32_t(GetMillisecondCount());
}

}  // namespace qr::core

int RandomRange(int n) {
  uint64_t r = qr::core::NextRandom();
  int64_t m = int64_t(n) + 1;
  // The upper half of the 64-bit product, as a signed value: floor(r * (n + 1) / 2^32).
  return int32_t(uint64_t(int64_t(r) * m) >> 32);
}
