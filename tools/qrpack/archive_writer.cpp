// Lays a folder tree out as an archive: header, entry data, then the table block (names, file
// entries, directory entries), all scrambled with the key at the end.
#include "archive_writer.h"

#include <cstdint>
#include <deque>

#include "file/archive_format.h"

namespace qrpack {
namespace {

using qr::file::ArchiveName;

void Append16(std::string& out, uint32_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char((v >> 8) & 0xFF));
}
void Append32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
void Append64(std::string& out, uint64_t v) {
  Append32(out, uint32_t(v));
  Append32(out, uint32_t(v >> 32));
}
void Set32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

// A name entry: L, check sum, the search name, the name as written with its terminator.
bool AppendName(std::string& names, const std::string& written, std::string& error) {
  ArchiveName name;
  // MakeArchiveName stops at a separator (never inside a two-byte character).
  if (written.empty() ||
      !qr::file::MakeArchiveName(written.c_str(), name) || name.length != written.size()) {
    error = "a name that cannot be stored: " + written;
    return false;
  }
  Append16(names, name.words);
  Append16(names, name.checkSum);
  names.append(reinterpret_cast<const char*>(name.bytes), size_t(name.words) * 4);
  names.append(written);
  names.push_back('\0');
  while (names.size() % 4) names.push_back('\0');
  return true;
}

}  // namespace

bool BuildArchive(const PackEntry& root, const PackOptions& options, std::string& archive,
                  std::string& error) {
  if (options.version < 0 || options.version > qr::file::kNewestArchiveVersion) {
    error = "the version must be 0 to 3";
    return false;
  }
  const uint16_t version = uint16_t(options.version);
  const bool compress = !options.store && version >= 2;
  const size_t entrySize = qr::file::FileEntrySize(version);

  // Folders in breadth-first order; each one's entries lie together in the file table.
  std::vector<const PackEntry*> folders{&root};
  std::vector<uint32_t> firstEntry, parentOf{qr::file::kNoParent}, selfEntry{0xFFFFFFFFu};
  std::vector<const PackEntry*> entries;
  std::vector<uint32_t> childFolder;  // per entry: the folder number of a directory entry
  for (size_t f = 0; f < folders.size(); ++f) {
    firstEntry.push_back(uint32_t(entries.size()));
    for (const PackEntry& child : folders[f]->children) {
      entries.push_back(&child);
      childFolder.push_back(0);
      if (child.directory) {
        childFolder.back() = uint32_t(folders.size());
        folders.push_back(&child);
        parentOf.push_back(uint32_t(f));
        selfEntry.push_back(uint32_t(entries.size() - 1));
      }
    }
  }

  archive.assign(qr::file::kArchiveHeaderSize, '\0');
  const uint32_t dataBase = uint32_t(qr::file::kArchiveHeaderSize);
  std::string names, files, directories;
  for (size_t e = 0; e < entries.size(); ++e) {
    const PackEntry& entry = *entries[e];
    uint32_t nameOffset = uint32_t(names.size());
    if (!AppendName(names, entry.name, error)) return false;
    uint32_t dataOffset = 0, dataSize = 0, packedSize = qr::file::kStoredUnpacked;
    if (entry.directory) {
      dataOffset = uint32_t(childFolder[e] * qr::file::kDirectoryEntrySize);
    } else {
      if (entry.data.size() > uint32_t(INT32_MAX)) {
        error = "a file of 2 GiB or more cannot be read from an archive: " + entry.name;
        return false;
      }
      dataOffset = uint32_t(archive.size() - dataBase);
      dataSize = uint32_t(entry.data.size());
      std::string packed;
      if (compress && !entry.data.empty()) packed = PackData(entry.data.data(), entry.data.size());
      if (!packed.empty() && packed.size() < entry.data.size()) {
        packedSize = uint32_t(packed.size());
        archive += packed;
      } else {
        archive += entry.data;
      }
      if (archive.size() > uint32_t(INT32_MAX)) {
        error = "the archive would be 2 GiB or more";
        return false;
      }
    }
    Append32(files, nameOffset);
    Append32(files, entry.directory ? qr::file::kDirectoryAttribute : 0x20u);
    Append64(files, entry.creationTime);
    Append64(files, entry.writeTime);
    Append64(files, entry.writeTime);
    Append32(files, dataOffset);
    Append32(files, dataSize);
    if (version >= 2) Append32(files, packedSize);
  }
  for (size_t f = 0; f < folders.size(); ++f) {
    uint32_t self = selfEntry[f] == 0xFFFFFFFFu ? selfEntry[f] : uint32_t(selfEntry[f] * entrySize);
    Append32(directories, self);
    Append32(directories, parentOf[f] == qr::file::kNoParent
                              ? qr::file::kNoParent
                              : uint32_t(parentOf[f] * qr::file::kDirectoryEntrySize));
    Append32(directories, uint32_t(folders[f]->children.size()));
    Append32(directories, uint32_t(firstEntry[f] * entrySize));
  }

  const uint32_t tableOffset = uint32_t(archive.size());
  const uint32_t fileTable = uint32_t(names.size());
  const uint32_t directoryTable = uint32_t(names.size() + files.size());
  archive += names;
  archive += files;
  archive += directories;
  if (archive.size() > uint32_t(INT32_MAX)) {
    error = "the archive would be 2 GiB or more";
    return false;
  }
  archive[0] = qr::file::kArchiveMagic[0];
  archive[1] = qr::file::kArchiveMagic[1];
  archive[2] = char(version & 0xFF);
  archive[3] = char(version >> 8);
  Set32(archive, qr::file::kHeaderTableSize, uint32_t(archive.size() - tableOffset));
  Set32(archive, qr::file::kHeaderDataBase, dataBase);
  Set32(archive, qr::file::kHeaderTableOffset, tableOffset);
  Set32(archive, qr::file::kHeaderFileTable, fileTable);
  Set32(archive, qr::file::kHeaderDirectoryTable, directoryTable);
  qr::file::ArchiveKey key = qr::file::BuildArchiveKey(options.keyString);
  qr::file::ScrambleArchiveBytes(key, 0, archive.data(), archive.size());
  return true;
}

}  // namespace qrpack
