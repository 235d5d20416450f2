// The unpacker of packed archive entries. A packed entry is a 9-byte header (unpacked size,
// packed size including the header, escape byte) and a token stream:
//   any byte but the escape          the byte itself
//   escape, escape                   one escape byte
//   escape, c [, x], distance        a copy: e = c - 1 when c is above the escape, else c;
//                                    length (e >> 3 | x << 5 when bit 2 of e is set) + 4;
//                                    distance code e & 3: 0 one byte, 1 two, 2 three; + 1
// Nothing in the data is trusted: every read stays inside the token stream and every write
// inside the output.
#include <cstring>

#include "file/archive_format.h"

namespace qr::file {

int64_t UnpackArchiveData(const void* packed, size_t available, void* destination,
                          size_t capacity) {
  const auto* in = static_cast<const unsigned char*>(packed);
  if (!in || available < kPackedHeaderSize) return -1;
  uint32_t unpackedSize = Load32(in);
  uint32_t packedSize = Load32(in + 4);
  if (packedSize < kPackedHeaderSize || packedSize > available) return -1;
  if (!destination) return int64_t(unpackedSize);
  if (unpackedSize > capacity) return -1;

  auto* out = static_cast<unsigned char*>(destination);
  const unsigned char escape = in[8];
  size_t at = kPackedHeaderSize, end = packedSize, written = 0;
  while (at < end) {
    unsigned char c = in[at++];
    if (c != escape) {
      // A run of literals reaches up to the next escape.
      if (written >= unpackedSize) return -1;
      out[written++] = c;
      while (at < end && in[at] != escape) {
        if (written >= unpackedSize) return -1;
        out[written++] = in[at++];
      }
      continue;
    }
    if (at >= end) return -1;  // an escape cut off by the end
    c = in[at++];
    if (c == escape) {
      if (written >= unpackedSize) return -1;
      out[written++] = escape;
      continue;
    }
    unsigned e = c > escape ? unsigned(c) - 1 : c;
    size_t length = e >> 3;
    if (e & 4) {
      if (at >= end) return -1;
      length |= size_t(in[at++]) << 5;
    }
    length += 4;
    size_t distance;
    switch (e & 3) {
      case 0:
        if (end - at < 1) return -1;
        distance = in[at];
        at += 1;
        break;
      case 1:
        if (end - at < 2) return -1;
        distance = Load16(in + at);
        at += 2;
        break;
      case 2:
        if (end - at < 3) return -1;
        distance = Load16(in + at) | (size_t(in[at + 2]) << 16);
        at += 3;
        break;
      default:
        return -1;  // no packer writes code 3
    }
    distance += 1;
    if (distance > written || length > unpackedSize - written) return -1;
    unsigned char* to = out + written;
    const unsigned char* from = to - distance;
    if (distance >= 8 && unpackedSize - written - length >= 8) {
      // 8 bytes at a time: no step reads what it writes (the distance is at least 8), and the
      // up to 7 bytes written past the copy lie inside the output, where later tokens write.
      for (size_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
    } else if (distance >= length) {
      std::memcpy(to, from, length);
    } else if (distance >= 8) {
      size_t i = 0;
      for (; i + 8 <= length; i += 8) std::memcpy(to + i, from + i, 8);
      for (; i < length; ++i) to[i] = from[i];
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];  // the pattern repeats
    }
    written += length;
  }
  return written == unpackedSize ? int64_t(unpackedSize) : -1;
}

}  // namespace qr::file
