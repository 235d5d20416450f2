// Files the fuzzers found that once broke a decoder or the converter (fuzz/findings/).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "decoder_support.h"
#include "image_test_util.h"

namespace qr::image {
namespace {
using testing::Bytes;
using testing::ExpectDeclined;

Bytes ReadFixture(const char* name) {
  std::ifstream file(std::string(QR_FUZZ_FINDINGS) + "/" + name, std::ios::binary);
  EXPECT_TRUE(file.good()) << name;
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// An alpha mask with gaps (0xFF090100) gave values wider than its width of one bit, which
// indexed past the widening table.
TEST(FuzzFindings, MaskWithGaps) {
  ExpectDeclined(DecodeDds, ReadFixture("dds_fuzz/mask_with_gaps.dds"), "DDS mask with gaps");

  // The converter itself takes only the run of bits the width describes.
  ColorFormat gaps{};
  MakeFormatFromMasks(&gaps, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF090000);
  EXPECT_EQ(gaps.alphaWidth, 1);
  EXPECT_EQ(gaps.alphaShift, 16);
  testing::OwnedImage src(gaps, 2, 1), dst(testing::Format(MakeArgb8Format), 2, 1);
  src.SetWord(0, 0, 0xFFFFFFFF);
  src.SetWord(1, 0, 0xFF080000);
  PixelConversion c;
  c.destPixels = dst->pixels;
  c.destPitch = dst->pitch;
  c.destFormat = &dst->format;
  c.sourcePixels = src->pixels;
  c.sourcePitch = src->pitch;
  c.sourceFormat = &src->format;
  c.right = 2;
  c.bottom = 1;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst.Word(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dst.Word(1, 0), 0x00080000u);  // bit 19 is red, not alpha
}

// The same through the chain, asked for as a bitmap.
TEST(FuzzFindings, MaskWithGapsThroughTheChain) {
  Bytes file = ReadFixture("image_chain_fuzz/dds_mask_with_gaps.dds");
  DibInfo* info = nullptr;
  void* pixels = nullptr;
  BaseImage image{};
  int blocks = qr::core::CurrentMemoryTotals().blockCount;
  EXPECT_EQ(LoadImageFile(nullptr, file.data(), file.size(), 1, 1, 0, &image, &info, &pixels), -1);
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, blocks);
}

}  // namespace
}  // namespace qr::image
