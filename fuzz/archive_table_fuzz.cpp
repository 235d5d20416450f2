// Fuzzes the archive table parser and the folder walk: the input is an archive as qrpack writes
// it (scrambled with the key of no key string), opened from memory. Every folder is searched,
// every file is opened and read whole, and a few paths are walked by name.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "file/archive.h"

namespace {

void Visit(qr::file::ArchiveState* archive, uint32_t folder, const std::string& path, int depth) {
  if (depth > 64) return;  // the table check makes the folders a tree; this only bounds the stack
  qr::file::FoundFile found;
  qr::file::ArchiveFind* find = qr::file::ArchiveFindFirst(archive, (path + "*").c_str(), &found);
  if (find) {
    while (qr::file::ArchiveFindNext(find, &found) == 0) {
    }
    qr::file::ArchiveFindEnd(find);
  }
  uint32_t count = qr::file::DirectoryEntryCount(archive, folder);
  for (uint32_t i = 0; i < count; ++i) {
    qr::file::ArchiveEntryView entry;
    if (!qr::file::DirectoryEntryAt(archive, folder, i, entry)) return;
    std::string inner = path + entry.writtenName;
    if (entry.IsDirectory()) {
      Visit(archive, entry.dataOffset, inner + "\\", depth + 1);
      continue;
    }
    qr::file::ArchiveEntryStream stream;
    if (qr::file::EntryOpen(&stream, archive, inner.c_str(), 0) != 0) continue;
    std::vector<unsigned char> buffer(4096);
    while (qr::file::EntryRead(&stream, buffer.data(), buffer.size()) > 0) {
    }
    qr::file::EntrySeek(&stream, -7, qr::file::kSeekEnd);
    qr::file::EntryRead(&stream, buffer.data(), buffer.size());
    qr::file::EntryClose(&stream);
    uint64_t position;
    uint32_t size;
    qr::file::ArchiveEntryLocation(archive, inner.c_str(), &position, &size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> block(data, data + size);
  qr::file::ArchiveState archive;
  if (qr::file::OpenArchiveMemory(&archive, block.data(), block.size(), nullptr) != 0) return 0;
  Visit(&archive, 0, "", 0);
  for (const char* path : {"A\\B\\C", "..\\X", "\\\\", ".", "A/../B", "TAITOL.PNG"}) {
    qr::file::ArchiveEntryStream stream;
    if (qr::file::EntryOpen(&stream, &archive, path, 0) == 0) qr::file::EntryClose(&stream);
    qr::file::WalkArchiveDirectories(&archive, 0, path);
  }
  qr::file::CloseArchive(&archive);
  if (std::memcmp(block.data(), data, size) != 0) __builtin_trap();  // the block comes back
  return 0;
}
