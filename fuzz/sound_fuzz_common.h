// What the sound harnesses share: a headless host (for its codec) and the converter run over a
// memory image to its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "file/stream_functions.h"
#include "platform/headless/headless_platform.h"
#include "sound/sound_converter.h"

namespace qr::sound::fuzzing {

inline void InstallHost() {
  static platform::HeadlessPlatform* host = [] {
    auto* h = new platform::HeadlessPlatform();
    platform::Install(&h->platform);
    file::FillStreamReaderTables();
    return h;
  }();
  (void)host;
}

// Opens the converter over data; decodes it whole, then once more in pieces with a seek back.
inline void RunConverter(const uint8_t* data, size_t size) {
  InstallHost();
  file::StreamReader reader;
  if (!file::OpenMemoryReader(data, size, reader)) return;
  SoundConverter converter;
  if (OpenSoundConverter(converter, reader) == 0) {
    platform::PcmFormat format;
    std::vector<uint8_t> pcm;
    DecodeWholeSound(converter, format, pcm);
    SeekSoundConverter(converter, 0);
    uint8_t piece[3000];
    for (int i = 0; i < 8 && ConvertSound(converter, piece, sizeof piece) > 0; ++i) {}
    SeekSoundConverter(converter, 1);
    ConvertSound(converter, piece, sizeof piece);
    CloseSoundConverter(converter);
  }
  reader.Close();
}

}  // namespace qr::sound::fuzzing
