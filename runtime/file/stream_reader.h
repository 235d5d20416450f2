// How decoders read: six operations and a handle, over a file (through the installed stream
// functions) or over a block of memory. Decoders never see which.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr::file {

// A stream handle: 0 is failure. Wide enough to hold an address.
using StreamHandle = uintptr_t;

enum SeekOrigin : int { kSeekSet = 0, kSeekCurrent = 1, kSeekEnd = 2 };

struct StreamReaderOps {
  int32_t (*Tell)(StreamHandle handle);
  int (*Seek)(StreamHandle handle, int32_t offset, int origin);  // 0 or -1
  size_t (*Read)(void* buffer, size_t size, size_t count, StreamHandle handle);
  int (*AtEnd)(StreamHandle handle);
  int (*IsIdle)(StreamHandle handle);
  int (*Close)(StreamHandle handle);
};

struct StreamReader {
  const StreamReaderOps* ops = nullptr;
  StreamHandle handle = 0;

  int32_t Tell() const { return ops->Tell(handle); }
  int Seek(int32_t offset, int origin) const { return ops->Seek(handle, offset, origin); }
  size_t Read(void* buffer, size_t size, size_t count) const {
    return ops->Read(buffer, size, count, handle);
  }
  int AtEnd() const { return ops->AtEnd(handle); }
  int IsIdle() const { return ops->IsIdle(handle); }
  int Close() const { return ops->Close(handle); }
};

// A read-only stream over memory the caller keeps; the reader's Close frees only this record.
struct MemoryStream {
  const unsigned char* data;
  size_t size;
  size_t position;
  int atEnd;
};

// The memory reader: ops over a MemoryStream. Returns false when the record cannot be allocated.
bool OpenMemoryReader(const void* data, size_t size, StreamReader& reader);

// The file reader: opens path (CP932, '\' or '/') through the installed stream functions.
bool OpenFileReader(const char* path, StreamReader& reader);

}  // namespace qr::file
