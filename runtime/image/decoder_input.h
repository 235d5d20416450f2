// What the decoders share: exact reads, the size of the data, little-endian fields, owned
// blocks from the tracked allocator, and the limits that keep a small file from asking for a
// huge allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "file/stream_reader.h"
#include "qr.h"

namespace qr::image::input {

// Bytes from the current position to the end; the position is kept. -1 when seeking fails.
inline int64_t BytesLeft(const file::StreamReader& reader) {
  int32_t here = reader.Tell();
  if (here < 0 || reader.Seek(0, file::kSeekEnd) != 0) return -1;
  int32_t end = reader.Tell();
  if (reader.Seek(here, file::kSeekSet) != 0 || end < here) return -1;
  return int64_t(end) - here;
}

// Reads exactly n bytes, or reports that it could not.
inline bool ReadExact(const file::StreamReader& reader, void* buffer, size_t n) {
  if (n == 0) return true;
  return reader.Read(buffer, 1, n) == n;
}

inline uint16_t U16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t U32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The largest pixel block any decoder makes.
constexpr int64_t kMaxImageBytes = int64_t(1) << 30;

// A compressed format may expand its input, but only so far: a few megabytes always, and
// beyond that in proportion to the data actually present.
inline bool PlausibleExpansion(int64_t outputBytes, int64_t inputBytes, int64_t ratio) {
  if (outputBytes < 0 || outputBytes > kMaxImageBytes) return false;
  return outputBytes <= (int64_t(4) << 20) + inputBytes * ratio;
}

// A block from the tracked allocator that is freed unless released.
class Block {
 public:
  Block() = default;
  explicit Block(size_t bytes, bool zero = false) { Allocate(bytes, zero); }
  ~Block() {
    if (data_) FreeMemory(data_);
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  Block(Block&& other) noexcept : data_(other.release()) {}
  Block& operator=(Block&& other) noexcept {
    if (this != &other) {
      if (data_) FreeMemory(data_);
      data_ = other.release();
    }
    return *this;
  }

  bool Allocate(size_t bytes, bool zero = false) {
    if (data_) FreeMemory(data_);
    // A zero-byte request still gets a block, so that success is visible.
    data_ = static_cast<unsigned char*>(zero ? AllocZeroMemory(bytes ? bytes : 1, __FILE__, __LINE__)
                                             : AllocMemory(bytes ? bytes : 1, __FILE__, __LINE__));
    return data_ != nullptr;
  }
  unsigned char* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }
  unsigned char* release() {
    unsigned char* d = data_;
    data_ = nullptr;
    return d;
  }

 private:
  unsigned char* data_ = nullptr;
};

}  // namespace qr::image::input
