// Where the stream functions meet the archive layer: the built-in layer hands them the
// archives of the archive table.
#include "file/archive_layer.h"

#include <cstring>
#include <new>

#include "file/archive_table.h"
#include "qr.h"

namespace qr::file {

// A search and the archive whose reference it holds.
struct ArchiveSearch {
  ArchiveFind* find;
  int archive;
};

namespace {

const ArchiveLayerOps* installed = nullptr;

// An entry and the archive whose reference it holds.
struct LayerEntry {
  ArchiveEntryStream stream;
  int archive;
};

LayerEntry* AsLayerEntry(ArchiveEntryStream* entry) { return reinterpret_cast<LayerEntry*>(entry); }

int Resolve(const char* path, char* innerPath, size_t innerSize) {
  int slot = -1;
  std::string inner;
  if (ResolveArchivePath(path, &slot, nullptr, &inner) != 0) return -1;
  if (inner.size() >= innerSize) {
    ReleaseArchive(slot);
    return -1;
  }
  std::memcpy(innerPath, inner.c_str(), inner.size() + 1);
  return slot;
}

ArchiveEntryStream* LayerEntryOpen(int archive, const char* innerPath, int async) {
  OpenArchive* open = ArchiveInSlot(archive);
  if (!open) return nullptr;
  void* memory = AllocZeroMemory(sizeof(LayerEntry), __FILE__, __LINE__);
  if (!memory) return nullptr;
  auto* entry = new (memory) LayerEntry;
  entry->archive = archive;
  if (EntryOpen(&entry->stream, &open->state, innerPath, async) != 0) {
    FreeMemory(entry);
    return nullptr;
  }
  return reinterpret_cast<ArchiveEntryStream*>(entry);
}

int LayerEntryClose(ArchiveEntryStream* stream) {
  LayerEntry* entry = AsLayerEntry(stream);
  EntryClose(&entry->stream);
  ReleaseArchive(entry->archive);
  FreeMemory(entry);
  return 0;
}

int32_t LayerEntryTell(ArchiveEntryStream* s) { return EntryTell(&AsLayerEntry(s)->stream); }
int LayerEntrySeek(ArchiveEntryStream* s, int32_t offset, int origin) {
  return EntrySeek(&AsLayerEntry(s)->stream, offset, origin);
}
size_t LayerEntryRead(ArchiveEntryStream* s, void* buffer, size_t bytes) {
  return EntryRead(&AsLayerEntry(s)->stream, buffer, bytes);
}
int LayerEntryAtEnd(ArchiveEntryStream* s) { return EntryAtEnd(&AsLayerEntry(s)->stream); }
int LayerEntryIsIdle(ArchiveEntryStream* s) { return EntryIsIdle(&AsLayerEntry(s)->stream); }

ArchiveSearch* LayerFindFirst(int archive, const char* innerPattern, FoundFile* found) {
  OpenArchive* open = ArchiveInSlot(archive);
  if (!open) return nullptr;
  ArchiveFind* find = ArchiveFindFirst(&open->state, innerPattern, found);
  if (!find) return nullptr;
  auto* search =
      static_cast<ArchiveSearch*>(AllocZeroMemory(sizeof(ArchiveSearch), __FILE__, __LINE__));
  if (!search) {
    ArchiveFindEnd(find);
    return nullptr;
  }
  *search = ArchiveSearch{find, archive};
  return search;
}

int LayerFindNext(ArchiveSearch* search, FoundFile* found) {
  return ArchiveFindNext(search->find, found);
}

void LayerFindEnd(ArchiveSearch* search) {
  ArchiveFindEnd(search->find);
  ReleaseArchive(search->archive);
  FreeMemory(search);
}

const ArchiveLayerOps kBuiltInLayer{
    ClearArchiveTable, CloseUnusedArchives, Resolve,         ReleaseArchive,
    LayerEntryOpen,    LayerEntryClose,     LayerEntryTell,  LayerEntrySeek,
    LayerEntryRead,    LayerEntryAtEnd,     LayerEntryIsIdle, LayerFindFirst,
    LayerFindNext,     LayerFindEnd,
};

}  // namespace

const ArchiveLayerOps* BuiltInArchiveLayer() { return &kBuiltInLayer; }

const ArchiveLayerOps* ArchiveLayer() { return installed ? installed : BuiltInArchiveLayer(); }

void InstallArchiveLayer(const ArchiveLayerOps* layer) { installed = layer; }

}  // namespace qr::file
