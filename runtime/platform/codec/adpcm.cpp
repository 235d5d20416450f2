// IMA ADPCM and Microsoft ADPCM blocks, as WAVE files store them.
#include <algorithm>

#include "platform/codec/wave_decoders.h"

namespace qr::platform::codec {
namespace {

constexpr int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndexChange[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                   768, 614, 512, 409, 307, 230, 230, 230};

inline int16_t Read16(const uint8_t* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }
inline int16_t Clamp16(int v) { return int16_t(std::clamp(v, -32768, 32767)); }

struct ImaChannel {
  int predictor;
  int index;
  int16_t Next(unsigned nibble) {
    int step = kImaSteps[index];
    int diff = step >> 3;
    if (nibble & 1) diff += step >> 2;
    if (nibble & 2) diff += step >> 1;
    if (nibble & 4) diff += step;
    predictor = std::clamp(nibble & 8 ? predictor - diff : predictor + diff, -32768, 32767);
    index = std::clamp(index + kImaIndexChange[nibble & 7], 0, 88);
    return int16_t(predictor);
  }
};

}  // namespace

AdpcmLayout ImaAdpcmLayout(const WaveFormat& f) {
  AdpcmLayout layout;
  if (f.channels < 1 || f.channels > 2 || f.bitsPerSample != 4) return layout;
  size_t header = 4u * f.channels;
  // After the headers, each channel's samples come in groups of four bytes.
  if (f.blockAlign < header || (f.blockAlign - header) % header != 0) return layout;
  layout.channels = f.channels;
  layout.blockBytes = f.blockAlign;
  layout.samplesPerBlock = (f.blockAlign - header) * 2 / f.channels + 1;
  layout.valid = true;
  return layout;
}

AdpcmLayout MsAdpcmLayout(const WaveFormat& f) {
  AdpcmLayout layout;
  if (f.channels < 1 || f.channels > 2 || f.bitsPerSample != 4) return layout;
  size_t header = 7u * f.channels;
  if (f.blockAlign < header || f.extra.size() < 4) return layout;
  size_t count = size_t(f.extra[2] | f.extra[3] << 8);
  if (count < 1 || count > 256 || f.extra.size() < 4 + 4 * count) return layout;
  for (size_t i = 0; i < 2 * count; ++i) layout.coefficients.push_back(Read16(&f.extra[4 + 2 * i]));
  layout.channels = f.channels;
  layout.blockBytes = f.blockAlign;
  layout.samplesPerBlock = (f.blockAlign - header) * 2 / f.channels + 2;
  layout.valid = true;
  return layout;
}

bool DecodeImaAdpcmBlock(const AdpcmLayout& layout, const uint8_t* block, int16_t* out) {
  const int channels = layout.channels;
  ImaChannel state[2];
  for (int c = 0; c < channels; ++c) {
    state[c].predictor = Read16(block + 4 * c);
    state[c].index = block[4 * c + 2];
    if (state[c].index > 88) return false;
    out[c] = int16_t(state[c].predictor);
  }
  const uint8_t* data = block + 4 * channels;
  size_t groups = (layout.blockBytes - 4u * channels) / (4u * channels);
  for (size_t g = 0; g < groups; ++g) {
    for (int c = 0; c < channels; ++c) {
      const uint8_t* bytes = data + (g * channels + c) * 4;
      size_t first = 1 + g * 8;  // frame of the group's first sample
      for (int b = 0; b < 4; ++b) {
        out[(first + 2 * b) * channels + c] = state[c].Next(bytes[b] & 0x0F);
        out[(first + 2 * b + 1) * channels + c] = state[c].Next(bytes[b] >> 4);
      }
    }
  }
  return true;
}

bool DecodeMsAdpcmBlock(const AdpcmLayout& layout, const uint8_t* block, int16_t* out) {
  const int channels = layout.channels;
  const size_t pairs = layout.coefficients.size() / 2;
  int c1[2], c2[2], delta[2], s1[2], s2[2];
  for (int c = 0; c < channels; ++c) {
    size_t predictor = block[c];
    if (predictor >= pairs) return false;
    c1[c] = layout.coefficients[2 * predictor];
    c2[c] = layout.coefficients[2 * predictor + 1];
    delta[c] = Read16(block + channels + 2 * c);
    s1[c] = Read16(block + 3 * channels + 2 * c);
    s2[c] = Read16(block + 5 * channels + 2 * c);
    out[c] = int16_t(s2[c]);
    out[channels + c] = int16_t(s1[c]);
  }
  const uint8_t* data = block + 7 * channels;
  size_t nibbles = (layout.samplesPerBlock - 2) * channels;
  for (size_t i = 0; i < nibbles; ++i) {
    unsigned nibble = i % 2 == 0 ? data[i / 2] >> 4 : data[i / 2] & 0x0F;
    int c = int(i % channels);
    int signedNibble = nibble >= 8 ? int(nibble) - 16 : int(nibble);
    // In 64 bits: a hostile file's coefficients and deltas overflow 32.
    int64_t predicted = (int64_t(s1[c]) * c1[c] + int64_t(s2[c]) * c2[c]) / 256;
    int sample = Clamp16(int(std::clamp<int64_t>(predicted + int64_t(signedNibble) * delta[c], -32768, 32767)));
    s2[c] = s1[c];
    s1[c] = sample;
    // A delta beyond 16 bits already saturates every step; the bound keeps the product finite.
    delta[c] = int(std::clamp<int64_t>(int64_t(kMsAdaptation[nibble]) * delta[c] / 256, 16, 1 << 20));
    out[2 * channels + i] = int16_t(sample);
  }
  return true;
}

namespace {

class AdpcmConversion final : public AudioConversion {
 public:
  AdpcmConversion(AdpcmLayout layout, bool microsoft) : layout_(std::move(layout)), microsoft_(microsoft) {}
  bool Convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
               size_t destinationBytes, size_t* used, size_t* produced) override {
    *used = *produced = 0;
    const size_t outBytes = layout_.samplesPerBlock * layout_.channels * 2;
    size_t blocks = std::min(sourceBytes / layout_.blockBytes, destinationBytes / outBytes);
    samples_.resize(layout_.samplesPerBlock * layout_.channels);
    for (size_t b = 0; b < blocks; ++b) {
      const uint8_t* block = source + b * layout_.blockBytes;
      bool ok = microsoft_ ? DecodeMsAdpcmBlock(layout_, block, samples_.data())
                           : DecodeImaAdpcmBlock(layout_, block, samples_.data());
      if (!ok) return b > 0;  // a bad block ends the data
      uint8_t* out = destination + *produced;
      for (size_t i = 0; i < samples_.size(); ++i) {
        out[2 * i] = uint8_t(uint16_t(samples_[i]) & 0xFF);
        out[2 * i + 1] = uint8_t(uint16_t(samples_[i]) >> 8);
      }
      *used += layout_.blockBytes;
      *produced += outBytes;
    }
    return true;
  }
  size_t EstimateOutput(size_t sourceBytes) override {
    return sourceBytes / layout_.blockBytes * layout_.samplesPerBlock * layout_.channels * 2;
  }

 private:
  AdpcmLayout layout_;
  bool microsoft_;
  std::vector<int16_t> samples_;
};

}  // namespace

AudioConversion* OpenAdpcmConversion(const WaveFormat& source) {
  bool microsoft = source.formatTag == kWaveMsAdpcm;
  AdpcmLayout layout = microsoft ? MsAdpcmLayout(source) : ImaAdpcmLayout(source);
  if (!layout.valid) return nullptr;
  return new AdpcmConversion(std::move(layout), microsoft);
}

}  // namespace qr::platform::codec
