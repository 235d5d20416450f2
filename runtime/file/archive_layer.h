// What the archive-aware stream functions ask of the archive layer: whether a packed archive
// holds a path, and the operations on an entry opened from one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "file/stream_functions.h"

namespace qr::file {

struct ArchiveEntryStream;  // an open entry, owned by the archive layer
struct ArchiveSearch;       // a search in an archive's folders, owned by the archive layer

struct ArchiveLayerOps {
  // Start-up: close the archives no stream uses and forget what was resolved before (the
  // game's archive settings, made before start, stay).
  void (*Clear)();
  // Closes every archive no stream or search uses any more.
  void (*CloseUnused)();
  // The slot of the archive that claims `path` (its reference raised), with the path inside
  // it written to innerPath (innerSize bytes); -1 when no archive claims the path.
  int (*Resolve)(const char* path, char* innerPath, size_t innerSize);
  // Gives back a reference Resolve took.
  void (*Release)(int archive);
  // Opens an entry of a claimed archive; null when the archive lacks it. The stream keeps the
  // archive's reference until EntryClose, which gives it back.
  ArchiveEntryStream* (*EntryOpen)(int archive, const char* innerPath, int async);
  int (*EntryClose)(ArchiveEntryStream* entry);
  int32_t (*EntryTell)(ArchiveEntryStream* entry);
  int (*EntrySeek)(ArchiveEntryStream* entry, int32_t offset, int origin);
  size_t (*EntryRead)(ArchiveEntryStream* entry, void* buffer, size_t bytes);  // bytes copied
  int (*EntryAtEnd)(ArchiveEntryStream* entry);
  int (*EntryIsIdle)(ArchiveEntryStream* entry);
  // Searches a claimed archive; null when nothing matches. FindEnd gives the reference back.
  ArchiveSearch* (*FindFirst)(int archive, const char* innerPattern, FoundFile* found);
  int (*FindNext)(ArchiveSearch* search, FoundFile* found);
  void (*FindEnd)(ArchiveSearch* search);
};

// The archive layer built into the runtime (archive_table.h). A null layer claims no path.
const ArchiveLayerOps* BuiltInArchiveLayer();

// The layer in use: the built-in one unless tests installed another (null goes back).
const ArchiveLayerOps* ArchiveLayer();
void InstallArchiveLayer(const ArchiveLayerOps* layer);

}  // namespace qr::file
