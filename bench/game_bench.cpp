// The game on the headless host: start-up to the first title frame (its pictures loaded and its
// five MP3 files decoded) beside bare libpng and bare libmpg123 decoding the same files, and the
// cost of a frame over a long stretch of play.
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <png.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "replay.h"

namespace {
namespace fs = std::filesystem;

fs::path GameFolder() {
  static fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "qr-bench-XXXXXX").string();
    fs::path dir = mkdtemp(pattern.data());
    fs::copy(fs::path(QR_SOURCE_DIR) / "game" / "pote", dir / "pote", fs::copy_options::recursive);
    return dir;
  }();
  return folder;
}

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// The pictures in the order and number the game loads them.
std::vector<std::string> GamePictures() {
  std::vector<std::string> files = {"taitol.png", "go.png", "ki.png", "kage.png"};
  for (int i = 0; i < 256; ++i) files.push_back("pote.png");
  for (int i = 0; i < 128; ++i) {
    files.push_back("in.png");
    files.push_back("hit.png");
  }
  for (int i = 0; i < 20; ++i) files.push_back("gb.png");
  files.push_back("man.png");
  return files;
}

// libpng alone decoding the files, one after another, to BGRA.
void DecodePicturesWithLibpng(const std::vector<std::string>& files, std::vector<unsigned char>& pixels) {
  for (const std::string& name : files) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::string path = (GameFolder() / "pote" / name).string();
    png_image_begin_read_from_file(&image, path.c_str());
    image.format = PNG_FORMAT_BGRA;
    pixels.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_GameStartToFirstTitleFrame(benchmark::State& state) {
  potemaru::ReplayOptions options;
  options.directory = GameFolder().string();
  options.seeded = true;
  options.seed = 7;
  options.frames = 0;  // the window closes after the first frame
  for (auto _ : state) {
    potemaru::ReplayResult result = potemaru::RunReplay(options);
    benchmark::DoNotOptimize(result.framesPlayed);
  }
}
BENCHMARK(BM_GameStartToFirstTitleFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The peer: libpng alone decoding the same files, one after another, to BGRA.
void BM_BareLibpngDecodeOfGameFiles(benchmark::State& state) {
  std::vector<std::string> files = GamePictures();
  std::vector<unsigned char> pixels;
  for (auto _ : state) {
    DecodePicturesWithLibpng(files, pixels);
  }
}
BENCHMARK(BM_BareLibpngDecodeOfGameFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same pictures, then the game's five sounds decoded whole by bare libmpg123, as start-up
// decodes them.
void BM_BareLibpngAndLibmpg123OfGameFiles(benchmark::State& state) {
  std::vector<std::string> files = GamePictures();
  const char* sounds[] = {"track008_caravan.mp3", "track012_manabinokuni.mp3", "life_21_huta.mp3",
                          "attack_12_byun.mp3", "future_06_bayoun.mp3"};
  mpg123_init();
  std::vector<unsigned char> pixels, pcm(1 << 16);
  for (auto _ : state) {
    DecodePicturesWithLibpng(files, pixels);
    for (const char* name : sounds) {
      int error = 0;
      mpg123_handle* h = mpg123_new(nullptr, &error);
      mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
      std::string path = (GameFolder() / "pote" / name).string();
      if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        size_t done = 0;
        while (mpg123_read(h, pcm.data(), pcm.size(), &done) == MPG123_OK) benchmark::DoNotOptimize(pcm.data());
        mpg123_close(h);
      }
      mpg123_delete(h);
    }
  }
}
BENCHMARK(BM_BareLibpngAndLibmpg123OfGameFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// 10,000 frames: a game is started every 1,000 frames and played standing, so the run covers
// the title, playing and game-over screens. Argument 1 draws the game's texts; 0 plays on a
// host without fonts, where every text call draws nothing.
void BM_GameFramesOfPlay(benchmark::State& state) {
  constexpr int kFrames = 10000;
  potemaru::ReplayOptions options;
  options.directory = GameFolder().string();
  options.seeded = true;
  options.seed = 7;
  options.frames = kFrames - 1;
  options.withoutFonts = state.range(0) == 0;
  for (int f = 20; f < kFrames; f += 1000) {
    options.input.push_back({f, 280 + f % 100, 300, 1, {}});
    options.input.push_back({f + 1, 280 + f % 100, 300, 0, {}});
  }
  // The start-up is timed separately above; it is measured here too and taken off.
  potemaru::ReplayOptions startOnly = options;
  startOnly.frames = 0;
  startOnly.input.clear();
  double startSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto t0 = std::chrono::steady_clock::now();
    potemaru::RunReplay(startOnly);
    startSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.ResumeTiming();
    auto t1 = std::chrono::steady_clock::now();
    potemaru::ReplayResult result = potemaru::RunReplay(options);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
    state.counters["ms_per_frame"] = (seconds - startSeconds) * 1000.0 / result.framesPlayed;
  }
  state.counters["peak_resident_MiB"] = double(PeakResidentKiB()) / 1024.0;
}
BENCHMARK(BM_GameFramesOfPlay)->Arg(1)->Arg(0)->ArgName("texts")->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
