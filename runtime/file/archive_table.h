// The table of open archives, the archive settings, and the resolution of a path to the archive
// that claims it. The archive layer (archive_layer.h) is built on these.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "file/archive.h"

namespace qr::file {

constexpr int kMaxOpenArchives = 512;
constexpr size_t kMaxKeyStringBytes = 16;
constexpr size_t kMaxExtensionBytes = 31;

struct OpenArchive {
  int references = 0;
  ArchiveState state;
  std::string name;  // the full path it was opened under, upper case
};

// Settings kept across starts (the game makes them before RuntimeInit).
struct ArchiveSettings {
  char keyString[kMaxKeyStringBytes + 1] = {};
  int keySet = 0;
  char extension[kMaxExtensionBytes + 1] = "QRA";
};
ArchiveSettings& ArchiveLayerSettings();

// The open archive in a slot, or null.
OpenArchive* ArchiveInSlot(int slot);
int OpenArchiveCount();

// A path made absolute and uniform: '\' separators, "." and ".." applied, empty elements
// dropped. Relative paths start at the current directory, whose elements are kept as the host
// spells them (the host's file system tells case apart); the caller's elements are upper-cased
// ("a"-"z" only). `host` holds the same path with the caller's elements as written, so that the
// archive file is found by the same exact-then-any-case rule as plain files. Empty when the path
// is longer than 259 bytes.
struct FullArchivePath {
  std::string upper;
  std::string host;
  std::vector<size_t> upperEnds, hostEnds;  // where each element ends in the two strings
};
FullArchivePath MakeFullArchivePath(const char* path);

// The archive slot that claims `path` (its reference raised), with the archive's full name and
// the path inside it; -1 when no archive does.
int ResolveArchivePath(const char* path, int* slot, std::string* archiveName,
                       std::string* innerPath);
// The slot of the archive of this full name (hint: where to look first), opening it from
// hostPath when it is not open; its reference raised. -1 when it cannot be opened.
int OpenArchiveByName(int hint, const std::string& fullName, const std::string& hostPath);
void ReleaseArchive(int slot);
// Closes every archive whose reference count is 0 or less.
void CloseUnusedArchives();
// Start-up: closes the unused archives and forgets the resolution cache (settings stay).
void ClearArchiveTable();

}  // namespace qr::file
