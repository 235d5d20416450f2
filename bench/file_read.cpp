// Reading a file through the stream functions (direct, through the file thread, with its cache)
// beside stdio's fread doing the same reads, and opening a file by a path of the wrong case
// beside fopen of the exact name.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "file/stream_functions.h"

namespace {

constexpr size_t kFileSize = 8 << 20;

const std::string& TestFile() {
  static const std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "qr-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) std::abort();
    std::filesystem::create_directory(folder + "/Assets");
    std::string file = folder + "/Assets/Picture.Data";
    std::ofstream out(file, std::ios::binary);
    std::vector<char> bytes(kFileSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 31 >> 3);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(TestFile()).parent_path().parent_path()); });
    return file;
  }();
  return path;
}

void ReadThroughStreams(benchmark::State& state, int cache, int async) {
  const std::string& path = TestFile();
  size_t chunk = size_t(state.range(0));
  std::vector<char> buffer(chunk);
  auto& streams = qr::file::Streams();
  for (auto _ : state) {
    qr::file::StreamHandle handle = streams.Open(path.c_str(), cache, 1, async);
    if (!handle) state.SkipWithError("open failed");
    while (streams.Read(buffer.data(), 1, chunk, handle) > 0) {
      while (streams.IsIdle(handle) != 1) {
      }
    }
    benchmark::DoNotOptimize(buffer.data());
    streams.Close(handle);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

void BM_StreamsDirect(benchmark::State& state) { ReadThroughStreams(state, 0, 0); }
void BM_StreamsFileThread(benchmark::State& state) { ReadThroughStreams(state, 0, 1); }
void BM_StreamsFileThreadCached(benchmark::State& state) { ReadThroughStreams(state, 1, 0); }

void BM_PeerStdioFread(benchmark::State& state) {
  const std::string& path = TestFile();
  size_t chunk = size_t(state.range(0));
  std::vector<char> buffer(chunk);
  for (auto _ : state) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) state.SkipWithError("open failed");
    while (std::fread(buffer.data(), 1, chunk, file) > 0) {
    }
    benchmark::DoNotOptimize(buffer.data());
    std::fclose(file);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

BENCHMARK(BM_StreamsDirect)->Arg(4096)->Arg(65536);
BENCHMARK(BM_StreamsFileThread)->Arg(4096)->Arg(65536);
BENCHMARK(BM_StreamsFileThreadCached)->Arg(4096)->Arg(65536);
BENCHMARK(BM_PeerStdioFread)->Arg(4096)->Arg(65536);

// Open and close by a path whose folder and name are in the wrong case.
void BM_StreamsOpenWrongCase(benchmark::State& state) {
  std::string path = TestFile();
  size_t cut = path.rfind("/Assets/");
  path = path.substr(0, cut) + "\\ASSETS\\picture.DATA";
  auto& streams = qr::file::Streams();
  for (auto _ : state) {
    qr::file::StreamHandle handle = streams.Open(path.c_str(), 0, 1, 0);
    if (!handle) state.SkipWithError("open failed");
    streams.Close(handle);
  }
}

void BM_StreamsOpenExactCase(benchmark::State& state) {
  auto& streams = qr::file::Streams();
  for (auto _ : state) {
    qr::file::StreamHandle handle = streams.Open(TestFile().c_str(), 0, 1, 0);
    if (!handle) state.SkipWithError("open failed");
    streams.Close(handle);
  }
}

void BM_PeerFopenExactCase(benchmark::State& state) {
  const std::string& path = TestFile();
  for (auto _ : state) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) state.SkipWithError("open failed");
    std::fclose(file);
  }
}

BENCHMARK(BM_StreamsOpenWrongCase);
BENCHMARK(BM_StreamsOpenExactCase);
BENCHMARK(BM_PeerFopenExactCase);

}  // namespace

BENCHMARK_MAIN();
