// Sound tests run the real runtime on the headless host, whose output mixes on the test clock;
// the WAVE files they need are built here, byte by byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "qr.h"
#include "sound/sound_state.h"
#include "support/headless_runtime.h"

namespace qr::testing {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, unsigned v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
inline void Put32(Bytes& b, uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); }
inline void PutTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

struct WaveLayout {
  unsigned formatTag = 1, channels = 1, rate = 44100, blockAlign = 2, bits = 16;
  Bytes extra;              // after the 16 bytes; with extraSize first when fmtSize > 16
  int fmtSize = 16;         // 16, 18 or more
  Bytes beforeData;         // chunks between fmt and data, as given
  Bytes data;
  int64_t dataSizeField = -1;  // -1: the data's size
};

inline Bytes MakeWave(const WaveLayout& s) {
  Bytes b;
  PutTag(b, "RIFF");
  Put32(b, 0);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, uint32_t(s.fmtSize));
  Put16(b, s.formatTag);
  Put16(b, s.channels);
  Put32(b, s.rate);
  Put32(b, s.rate * s.blockAlign);
  Put16(b, s.blockAlign);
  Put16(b, s.bits);
  if (s.fmtSize > 16) {
    Put16(b, unsigned(s.extra.size()));
    b.insert(b.end(), s.extra.begin(), s.extra.end());
    while (b.size() < size_t(20 + s.fmtSize)) b.push_back(0);
  }
  b.insert(b.end(), s.beforeData.begin(), s.beforeData.end());
  PutTag(b, "data");
  Put32(b, s.dataSizeField < 0 ? uint32_t(s.data.size()) : uint32_t(s.dataSizeField));
  b.insert(b.end(), s.data.begin(), s.data.end());
  uint32_t riff = uint32_t(b.size() - 8);
  std::memcpy(&b[4], &riff, 4);
  return b;
}

inline Bytes Samples16(const std::vector<int16_t>& samples) {
  Bytes b;
  for (int16_t s : samples) Put16(b, uint16_t(s));
  return b;
}

inline std::vector<int16_t> AsSamples(const Bytes& b) {
  std::vector<int16_t> out(b.size() / 2);
  std::memcpy(out.data(), b.data(), out.size() * 2);
  return out;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string GameAsset(const std::string& name) {
  return std::string(QR_SOURCE_DIR) + "/game/pote/" + name;
}

class SoundTest : public HeadlessRuntimeTest {
 protected:
  void Start() {
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
  }
  // Writes a file into the run's directory; returns its name there.
  std::string Put(const std::string& name, const Bytes& bytes) {
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return name;
  }
  qr::sound::SoundRecord* Record(int handle) { return qr::sound::SoundTable().Get(handle); }
  // Lets the headless clock run; the message pump refills streamed sounds on the way.
  void RunFor(int milliseconds, int pumpEvery = 16) {
    for (int t = 0; t < milliseconds; t += pumpEvery) {
      host.clock.Advance(uint64_t(pumpEvery) * 1000);
      PumpMessages();
    }
  }
  int LevelOf(int handle, int buffer = 0) {
    int level = 1;
    host.audio.GetVolume(Record(handle)->buffers[buffer].id, &level);
    return level;
  }
};

}  // namespace qr::testing
