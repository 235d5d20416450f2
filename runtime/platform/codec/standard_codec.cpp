#include "platform/codec/standard_codec.h"

#include "platform/codec/wave_decoders.h"

namespace qr::platform {

bool StandardAudioCodec::SuggestPcm(const WaveFormat& source, WaveFormat& pcm) {
  switch (source.formatTag) {
    case kWaveMsAdpcm:
      if (!codec::MsAdpcmLayout(source).valid) return false;
      break;
    case kWaveImaAdpcm:
      if (!codec::ImaAdpcmLayout(source).valid) return false;
      break;
    case kWaveALaw:
    case kWaveMuLaw:
      if (source.channels < 1 || source.channels > 2 || source.bitsPerSample != 8) return false;
      break;
    case kWaveMpegLayer3:
      if (source.channels < 1 || source.channels > 2) return false;
      break;
    default:
      return false;
  }
  if (source.samplesPerSecond < 1000 || source.samplesPerSecond > 192000) return false;
  pcm = WaveFormat{};
  pcm.formatTag = kWavePcm;
  pcm.channels = source.channels;
  pcm.samplesPerSecond = source.samplesPerSecond;
  pcm.bitsPerSample = 16;
  pcm.blockAlign = uint16_t(pcm.channels * 2);
  pcm.averageBytesPerSecond = pcm.samplesPerSecond * pcm.blockAlign;
  return true;
}

AudioConversion* StandardAudioCodec::OpenConversion(const WaveFormat& source, const WaveFormat& pcm) {
  WaveFormat suggested;
  if (!SuggestPcm(source, suggested) || pcm.formatTag != kWavePcm ||
      pcm.channels != suggested.channels || pcm.samplesPerSecond != suggested.samplesPerSecond ||
      pcm.bitsPerSample != 16)
    return nullptr;
  switch (source.formatTag) {
    case kWaveMsAdpcm:
    case kWaveImaAdpcm:
      return codec::OpenAdpcmConversion(source);
    case kWaveALaw:
    case kWaveMuLaw:
      return codec::OpenG711Conversion(source);
    case kWaveMpegLayer3:
      return codec::OpenMp3Conversion(source, pcm);
  }
  return nullptr;
}

// Microsoft ADPCM's block with its seven coefficient pairs is the largest: 18 + 32 bytes.
size_t StandardAudioCodec::LargestFormatSize() { return 50; }

}  // namespace qr::platform
