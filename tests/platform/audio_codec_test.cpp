// Our decoders for compressed WAVE data, checked against values worked out by hand from the
// formats' rules.
#include <gtest/gtest.h>

#include "platform/codec/standard_codec.h"
#include "platform/codec/wave_decoders.h"

namespace qr::platform {
namespace {

TEST(G711, ExpandsKnownCodes) {
  struct Case { uint8_t code; int16_t aLaw, muLaw; } cases[] = {
      {0xD5, 8, 716}, {0x55, -8, -716}, {0xFF, 848, 0}, {0x00, -5504, -32124}, {0x80, 5504, 32124},
      {0x2A, -32256, -5372}};
  for (const Case& c : cases) {
    EXPECT_EQ(codec::ExpandALaw(c.code), c.aLaw) << int(c.code);
    EXPECT_EQ(codec::ExpandMuLaw(c.code), c.muLaw) << int(c.code);
  }
}

WaveFormat Ima(int channels, int blockAlign) {
  WaveFormat f;
  f.formatTag = kWaveImaAdpcm;
  f.channels = uint16_t(channels);
  f.samplesPerSecond = 22050;
  f.blockAlign = uint16_t(blockAlign);
  f.bitsPerSample = 4;
  return f;
}

TEST(ImaAdpcm, DecodesABlockAndRefusesABadStepIndex) {
  codec::AdpcmLayout layout = codec::ImaAdpcmLayout(Ima(1, 8));
  ASSERT_TRUE(layout.valid);
  EXPECT_EQ(layout.samplesPerBlock, 9u);
  // Predictor 0, step index 0, then nibbles of 7 (largest step up) and one of 15 (down).
  uint8_t block[8] = {0, 0, 0, 0, 0x77, 0x77, 0x77, 0xF7};
  int16_t out[9];
  ASSERT_TRUE(codec::DecodeImaAdpcmBlock(layout, block, out));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 11);   // step 7: 7/8 + 7/4 + 7/2 + 7, rounded down piece by piece
  EXPECT_EQ(out[2], 41);   // step 16
  EXPECT_EQ(out[3], 104);  // step 34
  block[2] = 89;
  EXPECT_FALSE(codec::DecodeImaAdpcmBlock(layout, block, out));
  EXPECT_FALSE(codec::ImaAdpcmLayout(Ima(1, 6)).valid) << "groups of four bytes after the header";
  EXPECT_FALSE(codec::ImaAdpcmLayout(Ima(0, 8)).valid);
  EXPECT_FALSE(codec::ImaAdpcmLayout(Ima(3, 24)).valid);
}

WaveFormat MsAdpcm(int blockAlign, std::vector<int16_t> coefficients) {
  WaveFormat f;
  f.formatTag = kWaveMsAdpcm;
  f.channels = 1;
  f.samplesPerSecond = 22050;
  f.blockAlign = uint16_t(blockAlign);
  f.bitsPerSample = 4;
  f.extra = {0, 0, uint8_t(coefficients.size() / 2), 0};
  for (int16_t c : coefficients) {
    f.extra.push_back(uint8_t(uint16_t(c)));
    f.extra.push_back(uint8_t(uint16_t(c) >> 8));
  }
  return f;
}

TEST(MsAdpcm, DecodesWithTheCoefficientTableAndRefusesABadPredictor) {
  codec::AdpcmLayout layout = codec::MsAdpcmLayout(MsAdpcm(9, {256, 0, 512, -256}));
  ASSERT_TRUE(layout.valid);
  EXPECT_EQ(layout.samplesPerBlock, 6u);
  // Predictor 0 (the next sample is the last one), delta 16, sample1 100, sample2 50.
  uint8_t block[9] = {0, 16, 0, 100, 0, 50, 0, 0x11, 0x10};
  int16_t out[6];
  ASSERT_TRUE(codec::DecodeMsAdpcmBlock(layout, block, out));
  EXPECT_EQ(out[0], 50);
  EXPECT_EQ(out[1], 100);
  EXPECT_EQ(out[2], 116);  // 100 + 1 × 16; the delta stays at its floor of 16
  EXPECT_EQ(out[3], 132);
  EXPECT_EQ(out[4], 148);
  EXPECT_EQ(out[5], 148);
  block[0] = 2;  // only two pairs
  EXPECT_FALSE(codec::DecodeMsAdpcmBlock(layout, block, out));
  EXPECT_FALSE(codec::MsAdpcmLayout(MsAdpcm(9, {})).valid);
  WaveFormat shortTable = MsAdpcm(9, {256, 0});
  shortTable.extra[2] = 7;  // claims seven pairs, holds one
  EXPECT_FALSE(codec::MsAdpcmLayout(shortTable).valid);
}

TEST(StandardCodec, SuggestsSixteenBitPcmAndConvertsWholeBlocks) {
  StandardAudioCodec codec;
  WaveFormat source = Ima(1, 8), pcm;
  ASSERT_TRUE(codec.SuggestPcm(source, pcm));
  EXPECT_EQ(pcm.formatTag, kWavePcm);
  EXPECT_EQ(pcm.bitsPerSample, 16);
  EXPECT_EQ(pcm.samplesPerSecond, 22050u);
  AudioConversion* conversion = codec.OpenConversion(source, pcm);
  ASSERT_NE(conversion, nullptr);
  uint8_t blocks[20] = {};
  uint8_t out[64];
  size_t used = 0, produced = 0;
  ASSERT_TRUE(conversion->Convert(blocks, 20, out, sizeof out, &used, &produced));
  EXPECT_EQ(used, 16u) << "the partial block is left";
  EXPECT_EQ(produced, 36u);
  codec.CloseConversion(conversion);
  WaveFormat unknown;
  unknown.formatTag = 0x1234;
  EXPECT_FALSE(codec.SuggestPcm(unknown, pcm));
}

}  // namespace
}  // namespace qr::platform
