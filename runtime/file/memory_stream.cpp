// The memory reader: a stream over a block of memory, for decoders that read from memory.
#include <algorithm>
#include <cstring>

#include "file/stream_reader.h"
#include "qr.h"

namespace qr::file {
namespace {

MemoryStream* AsStream(StreamHandle handle) { return reinterpret_cast<MemoryStream*>(handle); }

int32_t MemoryTell(StreamHandle handle) { return int32_t(AsStream(handle)->position); }

int MemorySeek(StreamHandle handle, int32_t offset, int origin) {
  MemoryStream* s = AsStream(handle);
  int64_t base = origin == kSeekSet ? 0 : origin == kSeekCurrent ? int64_t(s->position) : int64_t(s->size);
  int64_t target = base + offset;
  // A position outside the block is clamped to it: reads there then find the end.
  s->position = size_t(std::clamp<int64_t>(target, 0, int64_t(s->size)));
  s->atEnd = 0;
  return 0;
}

size_t MemoryRead(void* buffer, size_t size, size_t count, StreamHandle handle) {
  MemoryStream* s = AsStream(handle);
  if (size == 0 || count == 0) return 0;
  size_t left = s->size - s->position;
  size_t elements = std::min(count, left / size);
  size_t bytes = elements * size;
  // A partial element at the tail is copied too, as a file read would; it does not count.
  size_t copied = std::min(count > elements ? bytes + left % size : bytes, left);
  std::memcpy(buffer, s->data + s->position, copied);
  s->position += copied;
  if (elements < count) s->atEnd = 1;
  return elements;
}

int MemoryAtEnd(StreamHandle handle) { return AsStream(handle)->atEnd; }
int MemoryIsIdle(StreamHandle) { return 1; }

int MemoryClose(StreamHandle handle) {
  FreeMemory(AsStream(handle));
  return 0;
}

const StreamReaderOps kMemoryReaderOps{MemoryTell, MemorySeek, MemoryRead,
                                       MemoryAtEnd, MemoryIsIdle, MemoryClose};

}  // namespace

bool OpenMemoryReader(const void* data, size_t size, StreamReader& reader) {
  auto* stream = static_cast<MemoryStream*>(AllocMemory(sizeof(MemoryStream), "", 0));
  if (!stream) return false;
  *stream = MemoryStream{static_cast<const unsigned char*>(data), size, 0, 0};
  reader.ops = &kMemoryReaderOps;
  reader.handle = reinterpret_cast<StreamHandle>(stream);
  return true;
}

}  // namespace qr::file
