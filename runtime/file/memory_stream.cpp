// The memory reader: a stream over a block of memory, for decoders that read from memory.
#include <algorithm>
#include <cstring>

#include "file/stream_functions.h"
#include "qr.h"

namespace qr::file {
namespace {

MemoryStream* AsStream(StreamHandle handle) { return reinterpret_cast<MemoryStream*>(handle); }

int32_t MemoryTell(StreamHandle handle) { return int32_t(AsStream(handle)->position); }

int MemorySeek(StreamHandle handle, int32_t offset, int origin) {
  MemoryStream* s = AsStream(handle);
  int64_t base = origin == kSeekCurrent ? int64_t(s->position)
                 : origin == kSeekEnd   ? int64_t(s->size)
                                        : 0;
  // A position outside the block is clamped to it: reads there then find the end.
  s->position = size_t(std::clamp<int64_t>(base + offset, 0, int64_t(s->size)));
  s->atEnd = 0;
  return 0;
}

size_t MemoryRead(void* buffer, size_t size, size_t count, StreamHandle handle) {
  MemoryStream* s = AsStream(handle);
  if (s->position >= s->size) {
    s->atEnd = 1;
    return 0;
  }
  if (size == 0 || count == 0) return 0;
  size_t left = s->size - s->position;
  size_t whole = left / size;
  size_t elements = std::min(count, whole);
  size_t bytes = elements * size;
  if (elements == 0) {
    // Not one whole element is left: the tail bytes come as one short element.
    bytes = left;
    elements = 1;
  }
  std::memcpy(buffer, s->data + s->position, bytes);
  s->position += bytes;
  s->atEnd = 0;
  return elements;
}

int MemoryAtEnd(StreamHandle handle) { return AsStream(handle)->atEnd; }
int MemoryIsIdle(StreamHandle) { return 1; }

int MemoryClose(StreamHandle handle) {
  FreeMemory(AsStream(handle));
  return 0;
}

constexpr StreamReaderOps kMemoryReaderDefaults{MemoryTell,   MemorySeek,   MemoryRead,
                                                MemoryAtEnd,  MemoryIsIdle, MemoryClose};

StreamReaderOps& MemoryReaderTable() {
  static StreamReaderOps table = kMemoryReaderDefaults;
  return table;
}

}  // namespace

const StreamReaderOps& MemoryReaderOps() { return MemoryReaderTable(); }
void ResetMemoryReaderTable() { MemoryReaderTable() = kMemoryReaderDefaults; }

bool OpenMemoryReader(const void* data, size_t size, StreamReader& reader) {
  auto* stream = static_cast<MemoryStream*>(AllocMemory(sizeof(MemoryStream), __FILE__, __LINE__));
  if (!stream) return false;
  *stream = MemoryStream{static_cast<const unsigned char*>(data), size, 0, 0};
  reader.ops = &MemoryReaderOps();
  reader.handle = reinterpret_cast<StreamHandle>(stream);
  return true;
}

}  // namespace qr::file
