// The sprites and positions the drawing benchmarks share, so that every side draws the same.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace bench {

constexpr int kWidth = 640, kHeight = 480;

// A round sprite: opaque inside the circle and black with alpha 0 outside (the key colour of a
// picture without alpha), or with a soft alpha edge.
inline std::vector<uint32_t> SpritePixels(int side, bool soft) {
  std::vector<uint32_t> pixels(size_t(side) * size_t(side));
  const float r = side * 0.5f;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      float dx = x + 0.5f - r, dy = y + 0.5f - r;
      float d = std::sqrt(dx * dx + dy * dy) / r;
      uint32_t alpha = soft ? uint32_t(std::max(0.0f, 1.0f - d) * 255.0f) : (d < 1.0f ? 255u : 0u);
      uint32_t colour = alpha ? (uint32_t(x * 7 & 255) << 16 | uint32_t(y * 5 & 255) << 8 | 0x40) : 0;
      pixels[size_t(y) * size_t(side) + size_t(x)] = alpha << 24 | colour;
    }
  return pixels;
}

// 4096 random integer positions that keep a sprite of that side on the screen.
inline std::vector<std::pair<int, int>> Positions(int side) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> xs(0, kWidth - side), ys(0, kHeight - side);
  std::vector<std::pair<int, int>> out(4096);
  for (auto& p : out) p = {xs(random), ys(random)};
  return out;
}

}  // namespace bench
