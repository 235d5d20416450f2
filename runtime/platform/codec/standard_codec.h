// The audio codec of both hosts: MP3 through libmpg123; IMA ADPCM, Microsoft ADPCM, A-law and
// mu-law by decoders of our own (codec/wave_decoders.h).
#pragma once

#include "platform/audio_codec.h"

namespace qr::platform {

class StandardAudioCodec final : public AudioCodec {
 public:
  bool SuggestPcm(const WaveFormat& source, WaveFormat& pcm) override;
  AudioConversion* OpenConversion(const WaveFormat& source, const WaveFormat& pcm) override;
  void CloseConversion(AudioConversion* conversion) override { delete conversion; }
  size_t LargestFormatSize() override;
};

}  // namespace qr::platform
