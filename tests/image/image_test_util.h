// Small helpers for the image tests: owned base images and pixel access by word.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/base_image.h"

namespace qr::image::testing {

// A base image freed at the end of the test.
struct OwnedImage {
  BaseImage image{};
  OwnedImage() = default;
  OwnedImage(const ColorFormat& format, int width, int height) {
    EXPECT_EQ(AllocImagePixels(width, height, &format, &image), 0);
    std::memset(image.pixels, 0, size_t(image.pitch) * size_t(height));
  }
  ~OwnedImage() { FreeImagePixels(&image); }
  OwnedImage(const OwnedImage&) = delete;
  OwnedImage& operator=(const OwnedImage&) = delete;

  BaseImage* operator->() { return &image; }
  BaseImage* get() { return &image; }

  uint32_t Word(int x, int y) const {
    return LoadPixelWord(image.pixels + size_t(y) * size_t(image.pitch) + size_t(x) * image.format.pixelBytes,
                         image.format.pixelBytes);
  }
  void SetWord(int x, int y, uint32_t word) {
    StorePixelWord(image.pixels + size_t(y) * size_t(image.pitch) + size_t(x) * image.format.pixelBytes,
                   image.format.pixelBytes, word);
  }
  void Fill(uint32_t word) {
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) SetWord(x, y, word);
  }
};

inline ColorFormat Format(int (*make)(ColorFormat*)) {
  ColorFormat f{};
  make(&f);
  return f;
}

inline ColorFormat MaskFormat(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  MakeFormatFromMasks(&f, bits, r, g, b, a);
  return f;
}

}  // namespace qr::image::testing
