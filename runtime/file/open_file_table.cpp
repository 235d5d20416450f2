// The archive-aware stream functions: a table of 512 open streams, each reading either an entry
// of a packed archive or a plain file.
#include <cstring>
#include <new>
#include <unordered_set>

#include "file/archive_layer.h"
#include "file/host_path.h"
#include "file/open_file_table.h"
#include "file/plain_file.h"
#include "qr.h"

namespace qr::file {
namespace {

constexpr StreamHandle kHandleTag = 0xF0000000u;

OpenFileTable& Table() {
  static OpenFileTable table;
  return table;
}

// A stream handle's slot record; null for a handle this table did not give out or whose
// stream was closed.
StreamSlot* Lookup(StreamHandle handle) {
  if ((handle & ~StreamHandle(0x0FFFFFFF)) != kHandleTag) return nullptr;
  size_t slot = size_t(handle & 0x0FFFFFFF);
  return slot < kMaxOpenStreams ? Table().slots[slot] : nullptr;
}

StreamHandle AwareOpen(const char* path, int cache, int, int async) {
  if (!path) return 0;
  OpenFileTable& table = Table();
  if (table.count >= int(kMaxOpenStreams)) {
    WriteLog("同時に開けるファイルの数が限界を超えました\n");
    return 0;
  }
  size_t index = 0;
  while (table.slots[index]) ++index;
  auto* slot = static_cast<StreamSlot*>(AllocZeroMemory(sizeof(StreamSlot), __FILE__, __LINE__));
  if (!slot) {
    WriteLog("ファイルの情報を格納するメモリの確保に失敗しました\n");
    return 0;
  }

  if (const ArchiveLayerOps* layer = ArchiveLayer()) {
    char inner[kMaxPathBytes + 1];
    int archive = layer->Resolve(path, inner, sizeof inner);
    if (archive >= 0) {
      // The archive that claims the path is the only place looked in.
      ArchiveEntryStream* entry = layer->EntryOpen(archive, inner, async);
      if (!entry) {
        layer->Release(archive);
        FreeMemory(slot);
        return 0;
      }
      slot->inArchive = 1;
      slot->archiveIndex = archive;
      slot->entry = entry;
      table.slots[index] = slot;
      ++table.count;
      return kHandleTag | index;
    }
  }

  slot->plain = PlainFileOpen(path, cache, 1, async);
  if (!slot->plain) {
    FreeMemory(slot);
    return 0;
  }
  table.slots[index] = slot;
  ++table.count;
  return kHandleTag | index;
}

int AwareClose(StreamHandle handle) {
  StreamSlot* slot = Lookup(handle);
  if (!slot) return -1;
  int result = 0;
  if (slot->inArchive)
    ArchiveLayer()->EntryClose(slot->entry);
  else
    result = PlainFileClose(slot->plain);
  Table().slots[handle & 0x0FFFFFFF] = nullptr;
  --Table().count;
  FreeMemory(slot);
  return result;
}

int32_t AwareTell(StreamHandle handle) {
  StreamSlot* slot = Lookup(handle);
  if (!slot) return -1;
  return slot->inArchive ? ArchiveLayer()->EntryTell(slot->entry) : PlainFileTell(slot->plain);
}

int AwareSeek(StreamHandle handle, int32_t offset, int origin) {
  StreamSlot* slot = Lookup(handle);
  if (!slot) return -1;
  return slot->inArchive ? ArchiveLayer()->EntrySeek(slot->entry, offset, origin)
                         : PlainFileSeek(slot->plain, offset, origin);
}

// Elements from a plain file, bytes from an archive entry. An unknown handle reads nothing.
size_t AwareRead(void* buffer, size_t size, size_t count, StreamHandle handle) {
  StreamSlot* slot = Lookup(handle);
  if (!slot) return 0;
  if (!slot->inArchive) return PlainFileRead(buffer, size, count, slot->plain);
  size_t bytes;
  if (__builtin_mul_overflow(size, count, &bytes)) bytes = SIZE_MAX;
  return ArchiveLayer()->EntryRead(slot->entry, buffer, bytes);
}

int AwareAtEnd(StreamHandle handle) {
  StreamSlot* slot = Lookup(handle);
  if (!slot) return -1;
  return slot->inArchive ? ArchiveLayer()->EntryAtEnd(slot->entry) : PlainFileAtEnd(slot->plain);
}

int AwareIsIdle(StreamHandle handle) {
  StreamSlot* slot = Lookup(handle);
  if (!slot) return -1;
  return slot->inArchive ? ArchiveLayer()->EntryIsIdle(slot->entry)
                         : PlainFileIsIdle(slot->plain);
}

// Searches: a record saying where the search runs.
struct AwareSearch {
  int inArchive;
  int archiveIndex;
  FindHandle plain;
  ArchiveSearch* archive;
};

std::unordered_set<const void*>& LiveSearches() {
  static std::unordered_set<const void*> live;
  return live;
}

AwareSearch* AsSearch(FindHandle find) {
  void* record = reinterpret_cast<void*>(find);
  return LiveSearches().count(record) ? static_cast<AwareSearch*>(record) : nullptr;
}

FindHandle AwareFindFirst(const char* pattern, FoundFile* found) {
  if (!pattern) return kNoFind;
  auto* search =
      static_cast<AwareSearch*>(AllocZeroMemory(sizeof(AwareSearch), __FILE__, __LINE__));
  if (!search) return kNoFind;
  if (const ArchiveLayerOps* layer = ArchiveLayer()) {
    char inner[kMaxPathBytes + 1];
    int archive = layer->Resolve(pattern, inner, sizeof inner);
    if (archive >= 0) {
      ArchiveSearch* inside = layer->FindFirst(archive, inner, found);
      if (!inside) {
        layer->Release(archive);
        FreeMemory(search);
        return kNoFind;
      }
      *search = AwareSearch{1, archive, kNoFind, inside};
      LiveSearches().insert(search);
      return reinterpret_cast<FindHandle>(search);
    }
  }
  FindHandle plain = PlainFindFirst(pattern, found);
  if (plain == kNoFind) {
    FreeMemory(search);
    return kNoFind;
  }
  *search = AwareSearch{0, -1, plain, nullptr};
  LiveSearches().insert(search);
  return reinterpret_cast<FindHandle>(search);
}

int AwareFindNext(FindHandle find, FoundFile* found) {
  AwareSearch* search = AsSearch(find);
  if (!search) return -1;
  return search->inArchive ? ArchiveLayer()->FindNext(search->archive, found)
                           : PlainFindNext(search->plain, found);
}

int AwareFindEnd(FindHandle find) {
  AwareSearch* search = AsSearch(find);
  if (!search) return -1;
  int result = 0;
  if (search->inArchive)
    ArchiveLayer()->FindEnd(search->archive);
  else
    result = PlainFindEnd(search->plain);
  LiveSearches().erase(search);
  FreeMemory(search);
  return result;
}

int AwareSetDirectory(const char* path) { return PlainSetDirectory(path); }

}  // namespace

const StreamFunctions kArchiveStreamFunctions{
    AwareOpen,         AwareClose,      AwareTell,      AwareSeek,
    AwareRead,         AwareAtEnd,      AwareIsIdle,    AwareSetDirectory,
    ArchiveAwareGetDirectory, AwareFindFirst, AwareFindNext, AwareFindEnd};

OpenFileTable& OpenFiles() { return Table(); }

}  // namespace qr::file
