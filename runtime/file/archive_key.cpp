// The archive key: 12 bytes built from the game's key string, and the XOR that scrambles and
// de-scrambles archive bytes by their file offset.
#include <cstring>

#include "file/archive_format.h"

namespace qr::file {
namespace {

// The 12 bytes start as this value when there is no key string.
constexpr unsigned char kNoKeyStringFill = 0xA7;
// The fallback key is 12 bytes of this value, used as they are.
constexpr unsigned char kFallbackKeyFill = 0x5E;

// What happens to the byte at each position of the key, in this order: complemented (when
// `complement`), its two 4-bit halves exchanged (when `swapHalves`), rotated left by `rotate`
// bits, XORed with `mask`.
struct KeyStep {
  bool complement;
  bool swapHalves;
  unsigned rotate;
  unsigned char mask;
};
constexpr KeyStep kKeySteps[kArchiveKeySize] = {
    {true, false, 3, 0x5B},  {false, true, 1, 0xC4}, {true, true, 5, 0x19},
    {false, false, 2, 0xE7}, {true, false, 6, 0x3A}, {false, true, 4, 0x82},
    {true, true, 7, 0x6D},   {false, false, 3, 0xF1}, {true, false, 1, 0x27},
    {false, true, 6, 0x9E},  {true, true, 2, 0x48},  {false, false, 5, 0xB3},
};

unsigned char Transform(unsigned char byte, const KeyStep& step) {
  unsigned value = byte;
  if (step.complement) value = ~value & 0xFF;
  if (step.swapHalves) value = ((value << 4) | (value >> 4)) & 0xFF;
  value = ((value << step.rotate) | (value >> (8 - step.rotate))) & 0xFF;
  return static_cast<unsigned char>(value ^ step.mask);
}

}  // namespace

ArchiveKey BuildArchiveKey(const char* keyString) {
  ArchiveKey key;
  size_t length = keyString ? std::strlen(keyString) : 0;
  for (size_t i = 0; i < kArchiveKeySize; ++i) {
    unsigned char start =
        length ? static_cast<unsigned char>(keyString[i % length]) : kNoKeyStringFill;
    key.bytes[i] = Transform(start, kKeySteps[i]);
  }
  return key;
}

ArchiveKey FallbackArchiveKey() {
  ArchiveKey key;
  std::memset(key.bytes, kFallbackKeyFill, sizeof key.bytes);
  return key;
}

void ScrambleArchiveBytes(const ArchiveKey& key, uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  size_t phase = size_t(offset % kArchiveKeySize);
  size_t i = 0;
  // Up to the first byte whose offset is a multiple of 12, then whole groups of 12.
  for (; i < size && phase != 0; ++i, phase = (phase + 1) % kArchiveKeySize)
    bytes[i] ^= key.bytes[phase];
  uint64_t wide[3];
  unsigned char group[24];
  std::memcpy(group, key.bytes, 12);
  std::memcpy(group + 12, key.bytes, 12);
  std::memcpy(wide, group, sizeof wide);
  for (; i + 24 <= size; i += 24) {
    uint64_t chunk[3];
    std::memcpy(chunk, bytes + i, sizeof chunk);
    chunk[0] ^= wide[0];
    chunk[1] ^= wide[1];
    chunk[2] ^= wide[2];
    std::memcpy(bytes + i, chunk, sizeof chunk);
  }
  for (; i < size; ++i, phase = (phase + 1) % kArchiveKeySize) bytes[i] ^= key.bytes[phase];
}

int64_t FileTimeToUnixSeconds(uint64_t fileTime) {
  return int64_t(fileTime / 10000000u) - 11644473600LL;
}

uint64_t UnixSecondsToFileTime(int64_t seconds) {
  int64_t since1601 = seconds + 11644473600LL;
  return since1601 < 0 ? 0 : uint64_t(since1601) * 10000000u;
}

}  // namespace qr::file
