// Fuzzes the A-law and mu-law conversions (the first byte chooses which, and the channels).
#include <vector>

#include "platform/codec/wave_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qr::platform;
  if (size < 1) return 0;
  WaveFormat f;
  f.formatTag = data[0] & 1 ? kWaveALaw : kWaveMuLaw;
  f.channels = uint16_t(1 + (data[0] >> 1) % 3);
  f.bitsPerSample = 8;
  AudioConversion* conversion = codec::OpenG711Conversion(f);
  if (!conversion) return 0;
  std::vector<uint8_t> out(size * 2 + 1);
  size_t used = 0, produced = 0;
  conversion->Convert(data + 1, size - 1, out.data(), out.size() - 1, &used, &produced);
  delete conversion;
  return 0;
}
