// SoundConverter: recognises a sound file (PCM WAVE, compressed WAVE, Ogg Vorbis, MP3) read
// through a StreamReader and hands out its PCM on demand, with seeking by sample.
#pragma once

#include <cstdint>
#include <vector>

#include "file/stream_reader.h"
#include "platform/audio_codec.h"
#include "platform/audio_output.h"

struct OggVorbis_File;

namespace qr::sound {

enum ConverterKind : int { kConverterPcmWave = 0, kConverterCodec = 1, kConverterVorbis = 2 };

struct SoundConverter {
  int open = 0;
  int ended = 0;
  int kind = 0;
  file::StreamReader reader;
  int32_t dataStart = 0, dataSize = 0;
  platform::PcmFormat format;  // what is produced
  std::vector<uint8_t> buffer;  // capacity = buffer.size()
  int32_t bufferFilled = 0, bufferOffset = 0;
  int32_t position = 0;  // bytes handed out from the start of the sound

  // Codec kinds: the source format, the main conversion and a spare one at the start of the
  // data, the coded data in memory and how far the main conversion has read it.
  platform::WaveFormat sourceFormat;
  platform::AudioConversion* mainStream = nullptr;
  platform::AudioConversion* spareStream = nullptr;
  std::vector<uint8_t> coded;
  int32_t sourcePosition = 0;
  int32_t pieceBytes = 2048;
  int64_t totalSamples = -1;  // MP3: from the frame scan

  OggVorbis_File* vorbis = nullptr;

  // Which recogniser took the file, for tools: "PCM WAVE", "compressed WAVE", "Ogg Vorbis", "MP3".
  const char* recogniser = "";
};

int OpenSoundConverter(SoundConverter& converter, const file::StreamReader& reader);
// Bytes written to destination (fewer at the end), -1 if the converter is not open.
int ConvertSound(SoundConverter& converter, void* destination, int bytes);
void SeekSoundConverter(SoundConverter& converter, int32_t sample);
int64_t GetConvertedSize(const SoundConverter& converter);
void GetSoundConverterFormat(const SoundConverter& converter, platform::PcmFormat& format);
// The whole sound in one block; 0 or -1.
int DecodeWholeSound(SoundConverter& converter, platform::PcmFormat& format,
                     std::vector<uint8_t>& pcm);
int CloseSoundConverter(SoundConverter& converter);

}  // namespace qr::sound
