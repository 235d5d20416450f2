// The archive-aware set's table of open streams. A stream handle is 0xF0000000 | slot.
#pragma once

#include <cstddef>

#include "file/archive_layer.h"
#include "file/plain_file.h"

namespace qr::file {

constexpr size_t kMaxOpenStreams = 512;

struct StreamSlot {
  int inArchive;  // 1: reads an archive entry
  PlainFile* plain;
  int archiveIndex;
  ArchiveEntryStream* entry;
};

struct OpenFileTable {
  StreamSlot* slots[kMaxOpenStreams] = {};
  int count = 0;
};

OpenFileTable& OpenFiles();

}  // namespace qr::file
