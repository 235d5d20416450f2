// Runs one decoder (or the chain) over bytes in memory and keeps the result for checks.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "core/memory.h"
#include "image/image_decoders.h"
#include "image_fixtures.h"

namespace qr::image::testing {

struct Decoded {
  BaseImage image{};
  int result = -1;
  Decoded(ImageDecoder decoder, const Bytes& bytes) {
    file::StreamReader reader;
    static const uint8_t nothing = 0;  // an empty block still has an address
    EXPECT_TRUE(file::OpenMemoryReader(bytes.empty() ? &nothing : bytes.data(), bytes.size(), reader));
    result = decoder(reader, &image);
    reader.Close();
  }
  ~Decoded() { FreeImagePixels(&image); }
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;

  const unsigned char* Row(int y) const { return image.pixels + size_t(y) * size_t(image.pitch); }
  uint32_t Word(int x, int y) const {
    return LoadPixelWord(Row(y) + size_t(x) * image.format.pixelBytes, image.format.pixelBytes);
  }
};

// Checks that decoding declines and leaves no block behind.
inline void ExpectDeclined(ImageDecoder decoder, const Bytes& bytes, const char* what) {
  int blocks = qr::core::CurrentMemoryTotals().blockCount;
  {
    Decoded d(decoder, bytes);
    EXPECT_NE(d.result, 0) << what;
    EXPECT_EQ(d.image.pixels, nullptr) << what;
  }
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, blocks) << what;
}

}  // namespace qr::image::testing
