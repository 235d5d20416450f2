// Small pictures made by tests: written as PNG files, or compared with what the window showed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qr::testing {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first

  Picture() = default;
  Picture(int w, int h, uint32_t fill = 0xFF000000u) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
  uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Writes the picture as an 8-bit RGBA PNG (withAlpha) or RGB PNG.
bool WritePng(const std::filesystem::path& path, const Picture& picture, bool withAlpha);
bool ReadPng(const std::filesystem::path& path, Picture& picture);

// Compares with a golden PNG under tests/data/golden; on a difference writes the actual picture
// beside the golden one (name.actual.png) and returns a description of the first difference.
// An empty string means equal. With QR_UPDATE_GOLDEN=1 in the environment, writes the golden file.
std::string CompareWithGolden(const Picture& actual, const std::string& name);

}  // namespace qr::testing
