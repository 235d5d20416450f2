// Fuzzes the ADPCM decoders: the first bytes choose the format block (tag, channels, block
// size, coefficient table), the rest is coded data.
#include <algorithm>

#include "platform/codec/wave_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qr::platform;
  if (size < 6) return 0;
  WaveFormat f;
  f.formatTag = data[0] & 1 ? kWaveMsAdpcm : kWaveImaAdpcm;
  f.channels = uint16_t(data[1] % 4);
  f.samplesPerSecond = 22050;
  f.bitsPerSample = 4;
  f.blockAlign = uint16_t(data[2] | data[3] << 8);
  size_t extra = std::min<size_t>(data[4], size - 6);
  f.extra.assign(data + 6, data + 6 + extra);
  AudioConversion* conversion = codec::OpenAdpcmConversion(f);
  if (!conversion) return 0;
  const uint8_t* coded = data + 6 + extra;
  size_t left = size - 6 - extra;
  std::vector<uint8_t> out(1 << 16);
  while (left) {
    size_t used = 0, produced = 0;
    if (!conversion->Convert(coded, left, out.data(), out.size(), &used, &produced) || used == 0) break;
    coded += used;
    left -= used;
  }
  conversion->EstimateOutput(size);
  delete conversion;
  return 0;
}
