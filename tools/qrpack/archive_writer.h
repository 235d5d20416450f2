// Writing packed archives: the folder tree in memory, laid out as the runtime's archive reader
// reads it (runtime/file/archive_format.h), optionally compressed and always scrambled with the
// key of a key string. Used by qrpack, and by the tests, benchmarks and fuzz seeds that need
// archives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrpack {

struct PackEntry {
  std::string name;  // CP932, one path element
  bool directory = false;
  std::string data;  // a file's bytes
  uint64_t creationTime = 0, writeTime = 0;  // Windows file times (100 ns since 1601, UTC)
  std::vector<PackEntry> children;  // a folder's entries, in the order they are stored
};

struct PackOptions {
  const char* keyString = nullptr;  // null or "": no key string
  int version = 3;                  // 0-3; versions 0 and 1 store every entry as it is
  bool store = false;               // never compress
};

// The archive of the root folder's entries (the root's own name and times are not stored).
// False with a message when it cannot be made (version out of range, a name longer than 255
// bytes, more data than the runtime can address).
bool BuildArchive(const PackEntry& root, const PackOptions& options, std::string& archive,
                  std::string& error);

// Compresses data into the packed-entry form (9-byte header and tokens) with our LZ encoder:
// the escape is the byte that occurs least, and copies reach back up to 1 MiB.
std::string PackData(const void* data, size_t size);

}  // namespace qrpack
