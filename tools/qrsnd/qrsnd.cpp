// qrsnd: look at a sound file the way the runtime reads it, decode it to a WAVE file, or play
// it through the runtime on the sound card.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../wave_file.h"
#include "core/main_window.h"
#include "file/stream_functions.h"
#include "qr.h"
#include "sound/sound_converter.h"

namespace {

const char kUsage[] =
    "usage: qrsnd info FILE\n"
    "       qrsnd decode FILE OUT.wav\n"
    "       qrsnd play FILE [--loop] [--volume V] [--stream]\n"
    "  info    which reader took the file, its format, the PCM it gives, its length\n"
    "  decode  the PCM the runtime decodes, as a WAVE file\n"
    "  play    through the runtime's own loading and playback, to the sound's end or Ctrl-C;\n"
    "          --volume 0-255 (default 255), --stream plays it streamed from the file\n";

bool ReadWhole(const char* path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Opens the converter over the file in memory; a message and false when nothing takes it.
bool OpenConverter(const char* path, std::vector<uint8_t>& bytes, qr::file::StreamReader& reader,
                   qr::sound::SoundConverter& converter) {
  if (!ReadWhole(path, bytes)) {
    std::fprintf(stderr, "qrsnd: cannot read %s\n", path);
    return false;
  }
  qr::file::FillStreamReaderTables();
  if (!qr::file::OpenMemoryReader(bytes.data(), bytes.size(), reader)) return false;
  if (qr::sound::OpenSoundConverter(converter, reader) != 0) {
    std::fprintf(stderr, "qrsnd: %s is no sound file the runtime reads (WAVE, MP3, Ogg Vorbis)\n", path);
    reader.Close();
    return false;
  }
  return true;
}

const char* SourceFormat(const qr::sound::SoundConverter& c) {
  if (c.kind == qr::sound::kConverterVorbis) return "Vorbis";
  if (c.kind == qr::sound::kConverterPcmWave) return "PCM";
  switch (c.sourceFormat.formatTag) {
    case qr::platform::kWaveMsAdpcm: return "Microsoft ADPCM";
    case qr::platform::kWaveImaAdpcm: return "IMA ADPCM";
    case qr::platform::kWaveALaw: return "A-law";
    case qr::platform::kWaveMuLaw: return "mu-law";
    case qr::platform::kWaveMpegLayer3: return "MPEG audio";
  }
  return "unknown";
}

int Info(const char* path) {
  std::vector<uint8_t> bytes;
  qr::file::StreamReader reader;
  qr::sound::SoundConverter c;
  if (!OpenConverter(path, bytes, reader, c)) return 1;
  qr::platform::PcmFormat f = c.format;
  std::vector<uint8_t> pcm;
  qr::sound::DecodeWholeSound(c, f, pcm);
  size_t samples = pcm.size() / size_t(f.BlockAlign());
  std::printf("reader: %s\n", c.recogniser);
  std::printf("source: %s", SourceFormat(c));
  if (c.kind == qr::sound::kConverterCodec)
    std::printf(", %u channel(s), %u Hz, %u bytes per second", c.sourceFormat.channels,
                c.sourceFormat.samplesPerSecond, c.sourceFormat.averageBytesPerSecond);
  std::printf("\npcm: %d channel(s), %d Hz, %d bits\n", f.channels, f.samplesPerSecond, f.bitsPerSample);
  std::printf("length: %zu samples, %.3f seconds\n", samples, double(samples) / f.samplesPerSecond);
  qr::sound::CloseSoundConverter(c);
  reader.Close();
  return 0;
}

int Decode(const char* path, const char* out) {
  std::vector<uint8_t> bytes;
  qr::file::StreamReader reader;
  qr::sound::SoundConverter c;
  if (!OpenConverter(path, bytes, reader, c)) return 1;
  qr::platform::PcmFormat f;
  std::vector<uint8_t> pcm;
  int decoded = qr::sound::DecodeWholeSound(c, f, pcm);
  qr::sound::CloseSoundConverter(c);
  reader.Close();
  if (decoded != 0 || !qr::tools::WriteWaveFile(out, f.channels, f.samplesPerSecond, f.bitsPerSample, pcm.data(), pcm.size())) {
    std::fprintf(stderr, "qrsnd: cannot write %s\n", out);
    return 1;
  }
  return 0;
}

volatile std::sig_atomic_t interrupted = 0;

int Play(const char* path, bool loop, int volume, bool stream) {
  // Sound only: no window, no graphics, no input, no log file.
  qr::core::WindowSettings& settings = qr::core::MainWindow().settings;
  settings.withoutWindow = settings.withoutGraphics = settings.withoutInput = 1;
  SetLogFileEnabled(0);
  if (RuntimeInit() != 0) return 1;
  if (stream) SetSoundDataType(3);
  int h = LoadSoundFile(path, 1, -1);
  if (h == -1) {
    std::fprintf(stderr, "qrsnd: cannot play %s (no sound device, or not a sound file)\n", path);
    RuntimeEnd();
    return 1;
  }
  SetSoundVolume(volume, h);
  std::signal(SIGINT, [](int) { interrupted = 1; });
  PlaySoundHandle(h, loop ? 3 : 1, 1);
  while (!interrupted && IsSoundPlaying(h) == 1) {
    PumpMessages();
    SleepMilliseconds(10);
  }
  // Let the device play out what it holds before it closes.
  if (!interrupted) SleepMilliseconds(100);
  RuntimeEnd();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "info" && argc == 3) return Info(argv[2]);
  if (command == "decode" && argc == 4) return Decode(argv[2], argv[3]);
  if (command == "play" && argc >= 3) {
    bool loop = false, stream = false;
    int volume = 255;
    for (int i = 3; i < argc; ++i) {
      std::string arg = argv[i];
      if (arg == "--loop") {
        loop = true;
      } else if (arg == "--stream") {
        stream = true;
      } else if (arg == "--volume" && i + 1 < argc) {
        volume = std::atoi(argv[++i]);
      } else {
        std::fputs(kUsage, stderr);
        return 2;
      }
    }
    return Play(argv[2], loop, volume, stream);
  }
  std::fputs(kUsage, stderr);
  return 2;
}
