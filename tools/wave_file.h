// Writing PCM as a RIFF WAVE file: what the tools hand to a person's audio editor.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qr::tools {

inline bool WriteWaveFile(const std::string& path, int channels, int rate, int bits,
                          const void* pcm, size_t bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<uint8_t> head;
  auto put32 = [&head](uint32_t v) { for (int i = 0; i < 4; ++i) head.push_back(uint8_t(v >> (8 * i))); };
  auto put16 = [&head](unsigned v) { head.push_back(uint8_t(v)); head.push_back(uint8_t(v >> 8)); };
  auto tag = [&head](const char* t) { head.insert(head.end(), t, t + 4); };
  const unsigned block = unsigned(channels * bits / 8);
  tag("RIFF");
  put32(uint32_t(36 + bytes));
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);
  put16(unsigned(channels));
  put32(uint32_t(rate));
  put32(uint32_t(rate) * block);
  put16(block);
  put16(unsigned(bits));
  tag("data");
  put32(uint32_t(bytes));
  bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
            (bytes == 0 || std::fwrite(pcm, 1, bytes, file) == bytes);
  return std::fclose(file) == 0 && ok;
}

}  // namespace qr::tools
