// Reading an archive's tables: name entries, file entries, directory entries, and the walk
// through its folders. Every offset comes from the file, so every one is checked against the
// table block before it is used.
#include <algorithm>
#include <cstring>
#include <vector>

#include "file/archive.h"
#include "platform/encoding.h"

namespace qr::file {
namespace {

// A name entry at `offset`: L, check sum, 4 L bytes of search name, the written name and its
// terminator, all inside the table block; the written name at most 255 bytes.
bool NameAt(const ArchiveState* a, uint32_t offset, const unsigned char** search,
            uint16_t* words, uint16_t* checkSum, const char** written) {
  uint64_t end = a->tableSize;
  if (uint64_t(offset) + 4 > end) return false;
  const unsigned char* p = a->table + offset;
  uint16_t l = Load16(p);
  uint64_t writtenAt = uint64_t(offset) + 4 + 4 * uint64_t(l);
  if (l == 0 || writtenAt >= end) return false;
  const void* zero = std::memchr(a->table + writtenAt, 0, size_t(std::min<uint64_t>(end - writtenAt, 256)));
  if (!zero) return false;
  *words = l;
  *checkSum = Load16(p + 2);
  *search = p + 4;
  *written = reinterpret_cast<const char*>(a->table + writtenAt);
  return true;
}

bool DirectoryAt(const ArchiveState* a, uint32_t directory, uint32_t* parent, uint32_t* count,
                 uint32_t* first) {
  uint64_t at = uint64_t(a->directoryTable) + directory;
  if (directory % kDirectoryEntrySize != 0 || at + kDirectoryEntrySize > a->tableSize)
    return false;
  const unsigned char* p = a->table + at;
  *parent = Load32(p + kDirectoryParent);
  *count = Load32(p + kDirectoryCount);
  *first = Load32(p + kDirectoryFirst);
  // The folder's entries follow one another inside the file table.
  uint64_t size = FileEntrySize(a->version);
  if (*first % size != 0) return false;
  uint64_t start = uint64_t(a->fileTable) + *first;
  return start + uint64_t(*count) * size <= a->tableSize;
}

bool SameName(const ArchiveEntryView& entry, uint16_t words, uint16_t checkSum,
              const ArchiveName& name) {
  return words == name.words && checkSum == name.checkSum &&
         std::memcmp(entry.searchName, name.bytes, size_t(words) * 4) == 0;
}

bool ReadEntry(const ArchiveState* a, uint64_t at, ArchiveEntryView& entry, uint16_t* words,
               uint16_t* checkSum) {
  const unsigned char* p = a->table + at;
  entry.offset = uint32_t(at);
  entry.attributes = Load32(p + kEntryAttributes);
  entry.creationTime = Load64(p + kEntryCreationTime);
  entry.writeTime = Load64(p + kEntryWriteTime);
  entry.dataOffset = Load32(p + kEntryDataOffset);
  entry.dataSize = Load32(p + kEntryDataSize);
  entry.packedSize = a->version >= 2 ? Load32(p + kEntryPackedSize) : kStoredUnpacked;
  return NameAt(a, Load32(p + kEntryName), &entry.searchName, words, checkSum,
                &entry.writtenName);
}

// The entry of `directory` whose search name is `name`, a folder or not; -1 when none is.
int64_t FindInDirectory(const ArchiveState* a, uint32_t directory, const ArchiveName& name,
                        bool folder, ArchiveEntryView* found) {
  uint32_t parent, count, first;
  if (!DirectoryAt(a, directory, &parent, &count, &first)) return -1;
  uint64_t size = FileEntrySize(a->version);
  for (uint32_t i = 0; i < count; ++i) {
    ArchiveEntryView entry;
    uint16_t words, checkSum;
    if (!ReadEntry(a, uint64_t(a->fileTable) + first + i * size, entry, &words, &checkSum))
      return -1;
    if (entry.IsDirectory() != folder || !SameName(entry, words, checkSum, name)) continue;
    if (found) *found = entry;
    return folder ? int64_t(entry.dataOffset) : int64_t(entry.offset);
  }
  return -1;
}

// Splits a CP932 inner path at '\' and '/', never inside a two-byte character.
std::vector<std::string> Elements(const char* path) {
  std::vector<std::string> elements(1);
  for (const char* p = path; *p; ++p) {
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      elements.back() += p[0];
      elements.back() += *++p;
    } else if (*p == '\\' || *p == '/') {
      elements.emplace_back();
    } else {
      elements.back() += *p;
    }
  }
  return elements;
}

// One step of a walk: "" (a leading separator) to the root, "." stays, ".." to the parent.
int64_t Step(const ArchiveState* a, uint32_t directory, const std::string& element) {
  if (element.empty()) return 0;
  if (element == ".") return directory;
  if (element == "..") {
    uint32_t parent, count, first;
    if (!DirectoryAt(a, directory, &parent, &count, &first) || parent == kNoParent) return -1;
    return parent;
  }
  ArchiveName name;
  if (!MakeArchiveName(element.c_str(), name)) return -1;
  return FindInDirectory(a, directory, name, true, nullptr);
}

}  // namespace

uint32_t DirectoryEntryCount(const ArchiveState* a, uint32_t directory) {
  uint32_t parent, count, first;
  return DirectoryAt(a, directory, &parent, &count, &first) ? count : 0;
}

bool DirectoryEntryAt(const ArchiveState* a, uint32_t directory, uint32_t index,
                      ArchiveEntryView& entry) {
  uint32_t parent, count, first;
  if (!DirectoryAt(a, directory, &parent, &count, &first) || index >= count) return false;
  uint16_t words, checkSum;
  return ReadEntry(a, uint64_t(a->fileTable) + first + uint64_t(index) * FileEntrySize(a->version),
                   entry, &words, &checkSum);
}

int64_t WalkArchiveDirectories(const ArchiveState* a, uint32_t start, const char* path) {
  if (!*path) return start;
  std::vector<std::string> elements = Elements(path);
  int64_t directory = start;
  for (size_t i = 0; i < elements.size() && directory >= 0; ++i) {
    // A trailing separator adds nothing; a leading one starts at the root.
    if (elements[i].empty() && i != 0) continue;
    directory = Step(a, uint32_t(directory), elements[i]);
  }
  return directory;
}

// The file an inner path names: every element but the last must be a folder, the last a file.
int64_t FindArchiveFile(const ArchiveState* a, const char* path, ArchiveEntryView& entry) {
  std::vector<std::string> elements = Elements(path);
  int64_t directory = a->currentDirectory;
  for (size_t i = 0; i + 1 < elements.size(); ++i) {
    if (elements[i].empty() && i != 0) return -1;  // "A\\B": an empty folder name
    directory = Step(a, uint32_t(directory), elements[i]);
    if (directory < 0) return -1;
  }
  const std::string& last = elements.back();
  if (last.empty() || last == "." || last == "..") return -1;  // names a folder, not a file
  ArchiveName name;
  if (!MakeArchiveName(last.c_str(), name)) return -1;
  return FindInDirectory(a, uint32_t(directory), name, false, &entry);
}

bool CheckArchiveTables(const ArchiveState* a) {
  const uint64_t size = FileEntrySize(a->version);
  if (a->fileTable > a->tableSize || a->directoryTable % 4 != 0 ||
      uint64_t(a->directoryTable) + kDirectoryEntrySize > a->tableSize)
    return false;
  const uint64_t fileCapacity = (a->tableSize - a->fileTable) / size;
  const uint64_t directoryCapacity = (a->tableSize - a->directoryTable) / kDirectoryEntrySize;
  // Every folder is reached exactly once, from the folder its parent field names, and the
  // folders' entry lists together hold no more entries than the file table: so no walk can
  // loop, and looking at every entry costs no more than the tables' size.
  std::vector<char> reached(size_t(directoryCapacity), 0);
  std::vector<uint32_t> pending{0};
  uint32_t parent, count, first;
  if (!DirectoryAt(a, 0, &parent, &count, &first) || parent != kNoParent) return false;
  reached[0] = 1;
  uint64_t entriesSeen = 0;
  while (!pending.empty()) {
    uint32_t directory = pending.back();
    pending.pop_back();
    if (!DirectoryAt(a, directory, &parent, &count, &first)) return false;
    entriesSeen += count;
    if (entriesSeen > fileCapacity) return false;
    for (uint32_t i = 0; i < count; ++i) {
      ArchiveEntryView entry;
      uint16_t words, checkSum;
      if (!ReadEntry(a, uint64_t(a->fileTable) + first + i * size, entry, &words, &checkSum))
        return false;
      if (!entry.IsDirectory()) continue;
      uint32_t child = entry.dataOffset;
      uint32_t childParent, childCount, childFirst;
      if (!DirectoryAt(a, child, &childParent, &childCount, &childFirst)) return false;
      // A folder that points back at itself, an ancestor or a folder seen before is refused.
      if (reached[child / kDirectoryEntrySize] || childParent != directory) return false;
      reached[child / kDirectoryEntrySize] = 1;
      pending.push_back(child);
    }
  }
  return true;
}

}  // namespace qr::file
