// Decoders for the compressed WAVE formats we convert ourselves. Each works on whole blocks
// (A-law and mu-law on single bytes) and checks every header it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio_codec.h"

namespace qr::platform::codec {

// The layout of an ADPCM format, taken from its format block; valid is false for a block no
// decoder can work with (zero or more than two channels, blocks too small, a bad coefficient
// table).
struct AdpcmLayout {
  bool valid = false;
  int channels = 0;
  size_t blockBytes = 0;
  size_t samplesPerBlock = 0;  // frames per block
  std::vector<int16_t> coefficients;  // Microsoft ADPCM: pairs
};

AdpcmLayout ImaAdpcmLayout(const WaveFormat& format);
AdpcmLayout MsAdpcmLayout(const WaveFormat& format);

// Decodes one block of blockBytes into samplesPerBlock × channels 16-bit samples. False on a
// bad block header (a step index or predictor out of range); nothing is written then.
bool DecodeImaAdpcmBlock(const AdpcmLayout& layout, const uint8_t* block, int16_t* out);
bool DecodeMsAdpcmBlock(const AdpcmLayout& layout, const uint8_t* block, int16_t* out);

int16_t ExpandALaw(uint8_t code);
int16_t ExpandMuLaw(uint8_t code);

// The conversions the codec hands out.
AudioConversion* OpenAdpcmConversion(const WaveFormat& source);
AudioConversion* OpenG711Conversion(const WaveFormat& source);
AudioConversion* OpenMp3Conversion(const WaveFormat& source, const WaveFormat& pcm);

}  // namespace qr::platform::codec
