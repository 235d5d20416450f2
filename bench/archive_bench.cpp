// Archives: a 64 MiB stored entry and a 64 MiB packed entry read through the stream functions,
// beside the same bytes read as a plain file and beside memcpy of 64 MiB (the limit); and the
// game's start to its first title frame from pote.QRA beside the start from the pote folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "archive_writer.h"
#include "file/stream_functions.h"
#include "platform/encoding.h"
#include "replay.h"

namespace {
namespace fs = std::filesystem;

constexpr size_t kEntrySize = size_t(64) << 20;
constexpr size_t kChunk = size_t(1) << 20;

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Bytes that do not pack, and bytes that pack about four to one (text with varying numbers).
std::string Noise(size_t n) {
  std::string bytes(n, '\0');
  uint64_t state = 88172645463325252ull;
  for (size_t i = 0; i < n; i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(&bytes[i], &state, std::min<size_t>(8, n - i));
  }
  return bytes;
}
std::string Text(size_t n) {
  std::string text;
  text.reserve(n + 64);
  uint32_t state = 1;
  while (text.size() < n) {
    state = state * 1103515245u + 12345u;
    text += "frame " + std::to_string(state >> 16) + ": the potato falls at " +
            std::to_string((state >> 8) % 640) + "\n";
  }
  text.resize(n);
  return text;
}

qrpack::PackEntry FileEntry(const std::string& name, std::string data) {
  qrpack::PackEntry entry;
  entry.name = name;
  entry.data = std::move(data);
  return entry;
}

struct Fixture {
  fs::path dir;
  std::string stored, packed;
};

const Fixture& Files() {
  static Fixture fixture = [] {
    Fixture f;
    std::string pattern = (fs::temp_directory_path() / "qr-archive-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    f.dir = pattern;
    f.stored = Noise(kEntrySize);
    f.packed = Text(kEntrySize);
    qrpack::PackEntry root;
    root.directory = true;
    root.children.push_back(FileEntry("stored.bin", f.stored));
    root.children.push_back(FileEntry("packed.txt", f.packed));
    std::string archive, error;
    if (!qrpack::BuildArchive(root, {}, archive, error)) std::abort();
    WriteBytes(f.dir / "big.QRA", archive);
    fs::create_directories(f.dir / "plain");
    WriteBytes(f.dir / "plain" / "stored.bin", f.stored);

    // The game's folder and its archive, in two directories.
    fs::create_directories(f.dir / "folder");
    fs::create_directories(f.dir / "archive");
    fs::copy(fs::path(QR_SOURCE_DIR) / "game" / "pote", f.dir / "folder" / "pote",
             fs::copy_options::recursive);
    qrpack::PackEntry pote;
    pote.directory = true;
    for (const fs::directory_entry& e : fs::directory_iterator(f.dir / "folder" / "pote"))
      pote.children.push_back(FileEntry(e.path().filename().string(), ReadBytes(e.path())));
    if (!qrpack::BuildArchive(pote, {}, archive, error)) std::abort();
    WriteBytes(f.dir / "archive" / "pote.QRA", archive);
    std::atexit([] { fs::remove_all(Files().dir); });
    return f;
  }();
  return fixture;
}

void ReadThroughStreams(benchmark::State& state, const fs::path& path, const std::string& expected) {
  std::string api = qr::platform::Utf8ToCp932(path.string());
  std::vector<char> buffer(kChunk);
  auto& streams = qr::file::Streams();
  for (auto _ : state) {
    qr::file::StreamHandle handle = streams.Open(api.c_str(), 0, 1, 0);
    if (!handle) {
      state.SkipWithError("open failed");
      break;
    }
    size_t total = 0, got;
    while ((got = streams.Read(buffer.data(), 1, kChunk, handle)) > 0) {
      benchmark::DoNotOptimize(buffer.data());
      total += got;
    }
    streams.Close(handle);
    if (total != expected.size() || std::memcmp(buffer.data(), expected.data() + total - kChunk, kChunk) != 0)
      state.SkipWithError("wrong bytes");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kEntrySize));
}

void BM_ArchiveStoredEntry(benchmark::State& state) {
  ReadThroughStreams(state, Files().dir / "big" / "stored.bin", Files().stored);
}
void BM_ArchivePackedEntry(benchmark::State& state) {
  ReadThroughStreams(state, Files().dir / "big" / "packed.txt", Files().packed);
}
void BM_PeerPlainFileThroughStreams(benchmark::State& state) {
  ReadThroughStreams(state, Files().dir / "plain" / "stored.bin", Files().stored);
}
void BM_PeerMemcpy(benchmark::State& state) {
  const std::string& source = Files().stored;
  std::vector<char> target(kEntrySize);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kEntrySize);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kEntrySize));
}
// Wall time: the archive's bytes are read by its file thread, not by the caller.
BENCHMARK(BM_ArchiveStoredEntry)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ArchivePackedEntry)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeerPlainFileThroughStreams)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeerMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

void StartToTitle(benchmark::State& state, const fs::path& directory) {
  potemaru::ReplayOptions options;
  options.directory = directory.string();
  options.seeded = true;
  options.seed = 7;
  options.frames = 0;  // the window closes after the first frame
  for (auto _ : state) {
    potemaru::ReplayResult result = potemaru::RunReplay(options);
    benchmark::DoNotOptimize(result.framesPlayed);
  }
}
void BM_GameStartFromArchive(benchmark::State& state) { StartToTitle(state, Files().dir / "archive"); }
void BM_GameStartFromFolder(benchmark::State& state) { StartToTitle(state, Files().dir / "folder"); }
BENCHMARK(BM_GameStartFromArchive)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_GameStartFromFolder)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
