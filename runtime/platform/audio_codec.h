// Conversion of compressed sound data (MP3, ADPCM, A-law, mu-law) into PCM, in pieces: what the
// runtime needs of an audio compression manager.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qr::platform {

enum WaveFormatTag : uint16_t {
  kWavePcm = 1,
  kWaveMsAdpcm = 2,
  kWaveALaw = 6,
  kWaveMuLaw = 7,
  kWaveImaAdpcm = 0x11,
  kWaveMpegLayer3 = 0x55,
};

// A wave format as stored in a WAVE file's format chunk, extra bytes included.
struct WaveFormat {
  uint16_t formatTag = 1;
  uint16_t channels = 0;
  uint32_t samplesPerSecond = 0;
  uint32_t averageBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  std::vector<uint8_t> extra;
};

class AudioConversion {
 public:
  virtual ~AudioConversion() = default;
  // Converts whole blocks from the source piece into the destination and reports the source
  // bytes taken and the PCM bytes produced. A source piece of 0 bytes hands out what the
  // conversion still holds. False on a source it cannot convert (the caller ends the data).
  virtual bool Convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
                       size_t destinationBytes, size_t* used, size_t* produced) = 0;
  // How many PCM bytes sourceBytes of the source give at most.
  virtual size_t EstimateOutput(size_t sourceBytes) = 0;
};

class AudioCodec {
 public:
  virtual ~AudioCodec() = default;
  // The PCM format the source converts to, or false when no converter handles it.
  virtual bool SuggestPcm(const WaveFormat& source, WaveFormat& pcm) = 0;
  // A conversion from source to pcm (a format SuggestPcm gave), or null.
  virtual AudioConversion* OpenConversion(const WaveFormat& source, const WaveFormat& pcm) = 0;
  virtual void CloseConversion(AudioConversion* conversion) = 0;
  // The size of the largest format block (header and extra bytes) of any format it converts.
  virtual size_t LargestFormatSize() = 0;
};

}  // namespace qr::platform
