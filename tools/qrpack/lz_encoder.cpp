// The LZ encoder of packed archive entries: greedy matching through hash chains over a 1 MiB
// window, emitting the token stream the runtime's unpacker reads.
#include <algorithm>
#include <cstring>
#include <vector>

#include "archive_writer.h"

namespace qrpack {
namespace {

constexpr size_t kWindow = size_t(1) << 20;
constexpr size_t kHashBits = 16;
constexpr int kChainDepth = 16;
constexpr size_t kMinCopy = 4;
constexpr size_t kMaxCopy = 8191 + 4;  // 5 bits in the code byte and 8 in the extra byte

uint32_t Hash(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return (v * 2654435761u) >> (32 - kHashBits);
}

void Put32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

size_t DistanceBytes(size_t distance) {
  size_t d = distance - 1;
  return d < 0x100 ? 1 : d < 0x10000 ? 2 : 3;
}

size_t CopyCost(size_t length, size_t distance) {
  return 2 + (length - kMinCopy >= 32 ? 1 : 0) + DistanceBytes(distance);
}

void EmitCopy(std::string& out, unsigned char escape, size_t length, size_t distance) {
  size_t code = length - kMinCopy;
  size_t d = distance - 1;
  unsigned distanceCode = d < 0x100 ? 0 : d < 0x10000 ? 1 : 2;
  unsigned e = unsigned((code & 31) << 3) | (code >= 32 ? 4u : 0u) | distanceCode;
  out.push_back(char(escape));
  out.push_back(char(e >= escape ? e + 1 : e));  // the byte after an escape is never the escape
  if (code >= 32) out.push_back(char(code >> 5));
  for (unsigned i = 0; i <= distanceCode; ++i) out.push_back(char((d >> (8 * i)) & 0xFF));
}

}  // namespace

std::string PackData(const void* source, size_t size) {
  const auto* data = static_cast<const unsigned char*>(source);
  size_t counts[256] = {};
  for (size_t i = 0; i < size; ++i) ++counts[data[i]];
  unsigned char escape = 0;
  for (int b = 1; b < 256; ++b)
    if (counts[b] < counts[escape]) escape = static_cast<unsigned char>(b);

  std::string out(9, '\0');
  out.reserve(size / 2 + 16);
  std::vector<uint32_t> head(size_t(1) << kHashBits, 0);  // position + 1; 0 is none
  std::vector<uint32_t> previous(std::min(kWindow, std::max<size_t>(size, 1)), 0);
  auto insert = [&](size_t at) {
    uint32_t h = Hash(data + at);
    previous[at % previous.size()] = head[h];
    head[h] = uint32_t(at + 1);
  };

  size_t i = 0;
  while (i < size) {
    size_t bestLength = 0, bestDistance = 0;
    if (i + kMinCopy <= size) {
      size_t limit = std::min(kMaxCopy, size - i);
      uint32_t candidate = head[Hash(data + i)];
      for (int depth = 0; candidate && depth < kChainDepth; ++depth) {
        size_t at = candidate - 1;
        if (at >= i || i - at >= previous.size()) break;
        size_t length = 0;
        while (length < limit && data[at + length] == data[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = i - at;
          if (length == limit) break;
        }
        uint32_t next = previous[at % previous.size()];
        if (next == 0 || next - 1 >= at) break;  // the chain went past the window
        candidate = next;
      }
      insert(i);
    }
    if (bestLength >= kMinCopy && CopyCost(bestLength, bestDistance) < bestLength) {
      EmitCopy(out, escape, bestLength, bestDistance);
      for (size_t k = 1; k < bestLength; ++k)
        if (i + k + kMinCopy <= size) insert(i + k);
      i += bestLength;
    } else {
      out.push_back(char(data[i]));
      if (data[i] == escape) out.push_back(char(escape));
      ++i;
    }
  }
  Put32(out, 0, uint32_t(size));
  Put32(out, 4, uint32_t(out.size()));
  out[8] = char(escape);
  return out;
}

}  // namespace qrpack
