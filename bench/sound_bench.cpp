// Whole-file MP3 decoding through the runtime's converter beside bare libmpg123 on the same
// bytes, and our mixer beside SDL2's resampling stream and mixing doing the same work: 16 voices
// of 22,050 Hz mono into 44,100 Hz stereo. "x_realtime" is seconds of sound per second of work.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "file/stream_functions.h"
#include "platform/audio_mixer.h"
#include "platform/headless/headless_platform.h"
#include "sound/sound_converter.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes& TitleMusic() {
  static Bytes bytes = [] {
    std::ifstream in(std::string(QR_SOURCE_DIR) + "/game/pote/track012_manabinokuni.mp3", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return bytes;
}

void OursMp3(benchmark::State& state) {
  static qr::platform::HeadlessPlatform host;
  qr::platform::Install(&host.platform);
  qr::file::FillStreamReaderTables();
  const Bytes& file = TitleMusic();
  size_t produced = 0;
  for (auto _ : state) {
    qr::file::StreamReader reader;
    qr::file::OpenMemoryReader(file.data(), file.size(), reader);
    qr::sound::SoundConverter converter;
    if (qr::sound::OpenSoundConverter(converter, reader) != 0) state.SkipWithError("not decoded");
    qr::platform::PcmFormat format;
    Bytes pcm;
    qr::sound::DecodeWholeSound(converter, format, pcm);
    produced = pcm.size();
    qr::sound::CloseSoundConverter(converter);
    reader.Close();
    benchmark::DoNotOptimize(pcm.data());
  }
  qr::platform::Install(nullptr);
  state.counters["x_realtime"] = benchmark::Counter(double(produced) / 88200.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OursMp3)->Unit(benchmark::kMillisecond);

void BareMpg123(benchmark::State& state) {
  mpg123_init();
  const Bytes& file = TitleMusic();
  size_t produced = 0;
  for (auto _ : state) {
    int error = 0;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(h);
    mpg123_format(h, 44100, MPG123_MONO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(h);
    Bytes pcm(file.size() * 16);
    size_t done = 0;
    mpg123_decode(h, file.data(), file.size(), pcm.data(), pcm.size(), &done);
    size_t total = done;
    while (mpg123_decode(h, nullptr, 0, pcm.data() + total, pcm.size() - total, &done) == MPG123_OK || done)
      total += done;
    produced = total;
    mpg123_delete(h);
    benchmark::DoNotOptimize(pcm.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(double(produced) / 88200.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BareMpg123)->Unit(benchmark::kMillisecond);

constexpr int kVoices = 16;
constexpr size_t kFrames = 44100;  // one second of output per iteration

std::vector<int16_t> Voice(int v) {
  std::vector<int16_t> samples(22050 * 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(2000 * std::sin(double(i) * 0.01 * (v + 1)));
  return samples;
}

void OursMixer(benchmark::State& state) {
  qr::platform::AudioMixer mixer;
  for (int v = 0; v < kVoices; ++v) {
    std::vector<int16_t> samples = Voice(v);
    auto id = mixer.Create({1, 22050, 16}, uint32_t(samples.size() * 2));
    void *p1, *p2;
    uint32_t b1, b2;
    mixer.Lock(id, 0, uint32_t(samples.size() * 2), &p1, &b1, &p2, &b2);
    std::memcpy(p1, samples.data(), b1);
    mixer.Unlock(id, p1, b1, p2, b2);
    mixer.SetVolume(id, -600);
    mixer.Play(id, true);
  }
  std::vector<int16_t> out(2 * kFrames);
  for (auto _ : state) {
    for (size_t at = 0; at < kFrames; at += 1024) mixer.Mix(out.data() + 2 * at, std::min<size_t>(1024, kFrames - at));
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OursMixer)->Unit(benchmark::kMillisecond);

// The same with SDL2: a resampling stream per voice and SDL's mixing with a volume.
void SdlMixer(benchmark::State& state) {
  std::vector<std::vector<int16_t>> voices;
  std::vector<SDL_AudioStream*> streams;
  for (int v = 0; v < kVoices; ++v) {
    voices.push_back(Voice(v));
    streams.push_back(SDL_NewAudioStream(AUDIO_S16SYS, 1, 22050, AUDIO_S16SYS, 2, 44100));
  }
  std::vector<int16_t> out(2 * kFrames), voiceOut(2 * 1024);
  size_t fed = 0;
  for (auto _ : state) {
    for (size_t at = 0; at < kFrames; at += 1024) {
      size_t n = std::min<size_t>(1024, kFrames - at);
      std::memset(out.data() + 2 * at, 0, n * 4);
      for (int v = 0; v < kVoices; ++v) {
        while (SDL_AudioStreamAvailable(streams[size_t(v)]) < int(n * 4)) {
          const std::vector<int16_t>& s = voices[size_t(v)];
          size_t piece = 512;
          size_t from = fed % s.size();
          SDL_AudioStreamPut(streams[size_t(v)], s.data() + from, int(std::min(piece, s.size() - from) * 2));
          if (v == kVoices - 1) fed += piece;
        }
        SDL_AudioStreamGet(streams[size_t(v)], voiceOut.data(), int(n * 4));
        SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data() + 2 * at), reinterpret_cast<Uint8*>(voiceOut.data()),
                           AUDIO_S16SYS, Uint32(n * 4), 64);
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
  for (SDL_AudioStream* s : streams) SDL_FreeAudioStream(s);
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(SdlMixer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
