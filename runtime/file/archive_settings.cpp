// The game-facing archive settings: the key string and the extension of archive files.
#include <cstring>

#include "file/archive_table.h"
#include "qr.h"

int SetArchiveKeyString(const char* keyString) {
  qr::file::ArchiveSettings& s = qr::file::ArchiveLayerSettings();
  std::memset(s.keyString, 0, sizeof s.keyString);
  s.keySet = keyString && *keyString ? 1 : 0;
  if (s.keySet) std::strncpy(s.keyString, keyString, qr::file::kMaxKeyStringBytes);
  // Archives no stream uses were opened with the old key.
  qr::file::ClearArchiveTable();
  return 0;
}

int SetArchiveExtension(const char* extension) {
  qr::file::ArchiveSettings& s = qr::file::ArchiveLayerSettings();
  if (!extension) extension = "QRA";
  size_t length = std::strlen(extension);
  if (length == 0 || length > qr::file::kMaxExtensionBytes ||
      std::strpbrk(extension, "\\/:") != nullptr)
    return -1;
  std::memcpy(s.extension, extension, length + 1);
  qr::file::ClearArchiveTable();
  return 0;
}
