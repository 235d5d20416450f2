// Opening and closing archives, from a file or from a block of memory.
#include <cstring>

#include "file/archive.h"
#include "qr.h"

namespace qr::file {
namespace {

bool HasMagic(const unsigned char* header) {
  return header[0] == uint8_t(kArchiveMagic[0]) && header[1] == uint8_t(kArchiveMagic[1]);
}

// Reads `size` bytes at the file's position through its thread and de-scrambles them by their
// file offset. False when fewer arrived.
bool ReadScrambled(PlainFile* file, const ArchiveKey& key, void* buffer, size_t size) {
  int32_t at = PlainFileTell(file);
  if (PlainFileRead(buffer, 1, size, file) != size) return false;
  if (file->threadMode && PlainFileWaitIdle(file) != int64_t(size)) return false;
  ScrambleArchiveBytes(key, uint64_t(at), buffer, size);
  return true;
}

// Takes the header's fields and checks that the tables lie inside the archive.
bool TakeHeader(ArchiveState* a) {
  const unsigned char* h = a->header;
  a->version = Load16(h + kHeaderVersion);
  a->tableSize = Load32(h + kHeaderTableSize);
  a->dataBase = Load32(h + kHeaderDataBase);
  a->fileTable = Load32(h + kHeaderFileTable);
  a->directoryTable = Load32(h + kHeaderDirectoryTable);
  uint64_t tableOffset = Load32(h + kHeaderTableOffset);
  return a->version <= kNewestArchiveVersion && a->tableSize >= kDirectoryEntrySize &&
         tableOffset + a->tableSize <= a->archiveSize && a->dataBase <= a->archiveSize;
}

}  // namespace

int OpenArchiveFile(ArchiveState* a, const char* path, const char* keyString) {
  *a = ArchiveState{};
  a->file = PlainFileOpen(path, 0, 1, 1);
  if (!a->file) return -1;
  a->archiveSize = uint64_t(a->file->size);
  bool opened = false;
  if (a->archiveSize >= kArchiveHeaderSize) {
    a->key = BuildArchiveKey(keyString);
    opened = ReadScrambled(a->file, a->key, a->header, kArchiveHeaderSize) && HasMagic(a->header);
    if (!opened) {
      a->key = FallbackArchiveKey();
      PlainFileSeek(a->file, 0, kSeekSet);
      opened = ReadScrambled(a->file, a->key, a->header, kArchiveHeaderSize) &&
               HasMagic(a->header);
    }
  }
  opened = opened && TakeHeader(a);
  if (opened) {
    a->table = static_cast<unsigned char*>(AllocMemory(a->tableSize, __FILE__, __LINE__));
    opened = a->table != nullptr &&
             PlainFileSeek(a->file, int32_t(Load32(a->header + kHeaderTableOffset)), kSeekSet) == 0 &&
             ReadScrambled(a->file, a->key, a->table, a->tableSize) && CheckArchiveTables(a);
  }
  if (!opened) {
    CloseArchive(a);
    return -1;
  }
  a->currentDirectory = 0;
  return 0;
}

int OpenArchiveMemory(ArchiveState* a, void* block, size_t size, const char* keyString) {
  *a = ArchiveState{};
  if (!block || size < kArchiveHeaderSize) return -1;
  auto* bytes = static_cast<unsigned char*>(block);
  unsigned char header[kArchiveHeaderSize];
  ArchiveKey key = BuildArchiveKey(keyString);
  std::memcpy(header, bytes, sizeof header);
  ScrambleArchiveBytes(key, 0, header, sizeof header);
  if (!HasMagic(header)) {
    key = FallbackArchiveKey();
    std::memcpy(header, bytes, sizeof header);
    ScrambleArchiveBytes(key, 0, header, sizeof header);
    if (!HasMagic(header)) return -1;
  }
  std::memcpy(a->header, header, sizeof header);
  a->archiveSize = size;
  a->key = key;
  if (!TakeHeader(a)) {
    *a = ArchiveState{};
    return -1;
  }
  ScrambleArchiveBytes(key, 0, bytes, size);
  a->memory = bytes;
  a->memorySize = size;
  a->memoryArchive = 1;
  a->callerOwned = 1;
  a->table = bytes + Load32(header + kHeaderTableOffset);
  if (!CheckArchiveTables(a)) {
    ScrambleArchiveBytes(key, 0, bytes, size);  // the caller's bytes back as they were
    *a = ArchiveState{};
    return -1;
  }
  return 0;
}

void CloseArchive(ArchiveState* a) {
  if (a->memoryArchive) {
    ScrambleArchiveBytes(a->key, 0, a->memory, a->memorySize);
    if (!a->callerOwned) FreeMemory(a->memory);
  } else {
    if (a->file) PlainFileClose(a->file);
    FreeMemory(a->table);
  }
  *a = ArchiveState{};
}

}  // namespace qr::file
