// Reading an entry of an open archive: stored entries straight from the archive, de-scrambled by
// their file offset; packed ones unpacked once into a buffer of their full size.
#include <algorithm>
#include <cstring>

#include "file/archive.h"
#include "qr.h"

namespace qr::file {
namespace {

bool Packed(const ArchiveEntryStream* s) {
  return s->archive->version >= 2 && s->packedSize != kStoredUnpacked;
}

// Unpacks the entry's packed bytes (de-scrambled) into its buffer; the unpacked size must be the
// entry's data size.
bool Unpack(ArchiveEntryStream* s, const unsigned char* packed) {
  int64_t size = UnpackArchiveData(packed, s->packedSize, s->unpacked, s->dataSize);
  return size == int64_t(s->dataSize);
}

// Hands a read of the archive file to its thread; the caller waits or comes back later.
bool StartRead(ArchiveEntryStream* s, uint64_t offset, void* buffer, size_t size) {
  PlainFile* file = s->archive->file;
  // The file is shared by every entry of the archive: seek only when it is elsewhere.
  if (uint64_t(PlainFileTell(file)) != offset && PlainFileSeek(file, int32_t(offset), kSeekSet) != 0)
    return false;
  return PlainFileRead(buffer, 1, size, file) == size;
}

// Waits for the read and de-scrambles what it brought. The count is checked only for a read
// waited for at once: after an asynchronous one, another entry of the same archive may have
// read since (the sizes were checked against the archive at open).
bool FinishRead(ArchiveEntryStream* s, uint64_t offset, void* buffer, size_t size,
                bool checkCount = true) {
  int64_t got = PlainFileWaitIdle(s->archive->file);
  if (checkCount && got != int64_t(size)) return false;
  ScrambleArchiveBytes(s->archive->key, offset, buffer, size);
  return true;
}

// Completes what an asynchronous read left pending. A packed entry whose data turns out damaged
// reads as empty.
void Complete(ArchiveEntryStream* s) {
  if (!s->pending) return;
  bool ok = FinishRead(s, s->pendingOffset, s->pendingDestination, s->pendingLength, false);
  if (s->pending == 1) {
    if (!ok || !Unpack(s, s->packedBuffer)) {
      FreeMemory(s->unpacked);
      s->unpacked = nullptr;
      s->dataSize = 0;
      s->position = 0;
    }
    FreeMemory(s->packedBuffer);
    s->packedBuffer = nullptr;
  }
  s->pending = 0;
}

constexpr uint32_t kWindowSize = 64 * 1024;

// Copies n bytes at the stream's position out of its window, filling the window from the
// archive (one read of the thread) whenever the position leaves it.
bool ReadThroughWindow(ArchiveEntryStream* s, unsigned char* buffer, size_t n) {
  if (!s->window) {
    s->window = static_cast<unsigned char*>(AllocMemory(kWindowSize, __FILE__, __LINE__));
    if (!s->window) return false;
  }
  uint32_t position = uint32_t(s->position);
  while (n > 0) {
    if (position < s->windowStart || position >= s->windowStart + s->windowFill) {
      uint32_t length = std::min<uint32_t>(kWindowSize, s->dataSize - position);
      uint64_t offset = s->dataStart + position;
      s->windowFill = 0;
      if (!StartRead(s, offset, s->window, length)) {
        PlainFileWaitIdle(s->archive->file);
        return false;
      }
      if (!FinishRead(s, offset, s->window, length)) return false;
      s->windowStart = position;
      s->windowFill = length;
    }
    size_t take = std::min<size_t>(n, s->windowStart + s->windowFill - position);
    std::memcpy(buffer, s->window + (position - s->windowStart), take);
    buffer += take;
    position += uint32_t(take);
    n -= take;
  }
  return true;
}

bool Idle(ArchiveEntryStream* s) { return !s->pending || PlainFileIsIdle(s->archive->file) == 1; }

}  // namespace

int EntryOpen(ArchiveEntryStream* s, ArchiveState* a, const char* innerPath, int async) {
  *s = ArchiveEntryStream{};
  ArchiveEntryView entry;
  if (!innerPath || FindArchiveFile(a, innerPath, entry) < 0) return -1;
  s->archive = a;
  s->entry = entry.offset;
  s->dataStart = uint64_t(a->dataBase) + entry.dataOffset;
  s->dataSize = entry.dataSize;
  s->packedSize = a->version >= 2 ? entry.packedSize : kStoredUnpacked;
  s->async = a->memoryArchive ? 0 : async;
  // Positions are signed 32-bit, and the data must lie inside the archive.
  uint64_t stored = Packed(s) ? s->packedSize : s->dataSize;
  if (s->dataSize > uint32_t(INT32_MAX) || s->dataStart + stored > a->archiveSize ||
      (Packed(s) && s->packedSize < kPackedHeaderSize))
    return -1;
  if (!Packed(s)) return 0;

  s->unpacked = static_cast<unsigned char*>(AllocMemory(std::max<size_t>(s->dataSize, 1), __FILE__, __LINE__));
  if (!s->unpacked) return -1;
  if (a->memoryArchive) {
    if (Unpack(s, a->memory + s->dataStart)) return 0;
  } else {
    s->packedBuffer = static_cast<unsigned char*>(AllocMemory(s->packedSize, __FILE__, __LINE__));
    if (s->packedBuffer && StartRead(s, s->dataStart, s->packedBuffer, s->packedSize)) {
      if (s->async) {
        s->pending = 1;
        s->pendingOffset = s->dataStart;
        s->pendingDestination = s->packedBuffer;
        s->pendingLength = s->packedSize;
        return 0;
      }
      bool ok = FinishRead(s, s->dataStart, s->packedBuffer, s->packedSize) &&
                Unpack(s, s->packedBuffer);
      FreeMemory(s->packedBuffer);
      s->packedBuffer = nullptr;
      if (ok) return 0;
    } else if (s->packedBuffer) {
      PlainFileWaitIdle(a->file);
    }
  }
  EntryClose(s);
  return -1;
}

size_t EntryRead(ArchiveEntryStream* s, void* buffer, size_t bytes) {
  Complete(s);
  if (s->atEnd) return 0;
  size_t remaining = s->dataSize - uint32_t(s->position);
  if (remaining == 0) {
    s->atEnd = 1;
    return 0;
  }
  size_t n = std::min(bytes, remaining);
  if (n == 0) return 0;
  ArchiveState* a = s->archive;
  if (s->unpacked) {
    std::memcpy(buffer, s->unpacked + s->position, n);
  } else if (a->memoryArchive) {
    std::memcpy(buffer, a->memory + s->dataStart + uint32_t(s->position), n);
  } else if (!s->async && n < kWindowSize) {
    if (!ReadThroughWindow(s, static_cast<unsigned char*>(buffer), n)) return 0;
  } else {
    uint64_t offset = s->dataStart + uint32_t(s->position);
    if (!StartRead(s, offset, buffer, n)) {
      PlainFileWaitIdle(a->file);
      return 0;
    }
    if (s->async) {
      s->pending = 2;
      s->pendingOffset = offset;
      s->pendingDestination = static_cast<unsigned char*>(buffer);
      s->pendingLength = n;
    } else if (!FinishRead(s, offset, buffer, n)) {
      return 0;
    }
  }
  s->position += int32_t(n);
  s->atEnd = 0;
  return n;
}

int EntrySeek(ArchiveEntryStream* s, int32_t offset, int origin) {
  Complete(s);
  int64_t base = origin == kSeekCurrent ? s->position : origin == kSeekEnd ? int64_t(s->dataSize) : 0;
  s->position = int32_t(std::clamp<int64_t>(base + offset, 0, s->dataSize));
  s->atEnd = 0;
  return 0;
}

int32_t EntryTell(ArchiveEntryStream* s) {
  Complete(s);
  return s->position;
}

int EntryAtEnd(ArchiveEntryStream* s) {
  Complete(s);
  return s->atEnd ? -1 : 0;
}

int EntryIsIdle(ArchiveEntryStream* s) {
  if (!s->async) return 1;
  if (!Idle(s)) return 0;
  Complete(s);
  return 1;
}

void EntryClose(ArchiveEntryStream* s) {
  Complete(s);
  FreeMemory(s->unpacked);
  FreeMemory(s->packedBuffer);
  FreeMemory(s->window);
  s->unpacked = nullptr;
  s->packedBuffer = nullptr;
  s->window = nullptr;
}

int ArchiveEntryLocation(ArchiveState* a, const char* innerPath, uint64_t* position,
                         uint32_t* size) {
  ArchiveEntryView entry;
  if (!a->memoryArchive || !innerPath || FindArchiveFile(a, innerPath, entry) < 0) return -1;
  if (a->version >= 2 && entry.packedSize != kStoredUnpacked) return -1;
  uint64_t start = uint64_t(a->dataBase) + entry.dataOffset;
  if (start + entry.dataSize > a->archiveSize) return -1;
  if (position) *position = start;
  if (size) *size = entry.dataSize;
  return 0;
}

}  // namespace qr::file
