// A-law and mu-law: one byte per sample, expanded to 16 bits.
#include <algorithm>

#include "platform/codec/wave_decoders.h"

namespace qr::platform::codec {

int16_t ExpandALaw(uint8_t code) {
  code ^= 0x55;
  int magnitude = (code & 0x0F) << 4;
  int segment = (code & 0x70) >> 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return int16_t(code & 0x80 ? magnitude : -magnitude);
}

int16_t ExpandMuLaw(uint8_t code) {
  code = uint8_t(~code);
  int magnitude = (((code & 0x0F) << 3) + 0x84) << ((code & 0x70) >> 4);
  return int16_t(code & 0x80 ? 0x84 - magnitude : magnitude - 0x84);
}

namespace {

class G711Conversion final : public AudioConversion {
 public:
  explicit G711Conversion(bool aLaw) {
    for (int i = 0; i < 256; ++i) table_[i] = aLaw ? ExpandALaw(uint8_t(i)) : ExpandMuLaw(uint8_t(i));
  }
  bool Convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
               size_t destinationBytes, size_t* used, size_t* produced) override {
    size_t count = std::min(sourceBytes, destinationBytes / 2);
    for (size_t i = 0; i < count; ++i) {
      uint16_t sample = uint16_t(table_[source[i]]);
      destination[2 * i] = uint8_t(sample & 0xFF);
      destination[2 * i + 1] = uint8_t(sample >> 8);
    }
    *used = count;
    *produced = 2 * count;
    return true;
  }
  size_t EstimateOutput(size_t sourceBytes) override { return 2 * sourceBytes; }

 private:
  int16_t table_[256];
};

}  // namespace

AudioConversion* OpenG711Conversion(const WaveFormat& source) {
  if (source.channels < 1 || source.channels > 2 || source.bitsPerSample != 8) return nullptr;
  return new G711Conversion(source.formatTag == kWaveALaw);
}

}  // namespace qr::platform::codec
