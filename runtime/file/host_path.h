// The file layer's only door to the host's file system. Paths arrive as CP932 byte strings with
// '\' or '/' separators, relative to the current directory of the platform's System; they leave
// as absolute UTF-8 host paths. Everything else here is plain POSIX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qr::file {

// The longest path the stream functions take, in bytes without the terminator.
constexpr size_t kMaxPathBytes = 259;

// Splits a CP932 path at '\' and '/'. A byte after a lead byte belongs to its character, so
// "ソ" (0x83 0x5C) never separates. Empty elements (doubled separators) are kept.
std::vector<std::string> SplitCp932Path(const char* path);

// Maps an API path onto the host: relative paths start at the platform's current directory;
// each element is tried as written first and then by a case-insensitive match among the names
// in its folder. Elements that do not exist are kept as written. "." and ".." are applied
// textually.
std::string HostPath(const char* apiPath);

// The platform's current directory as a CP932 path; empty when it cannot be read.
std::string ApiCurrentDirectory();
// Makes the folder the API path names the platform's current directory.
bool SetApiCurrentDirectory(const char* apiPath);

struct HostFileInfo {
  bool exists = false;
  bool directory = false;
  bool regular = false;
  uint64_t size = 0;
  int64_t creationTime = 0;  // seconds since 1970 (UTC); the last write time when unknown
  int64_t writeTime = 0;
};
HostFileInfo StatHostPath(const std::string& hostPath);

// Opens an existing regular file for reading. Returns -1 when that is not possible.
int OpenHostFile(const std::string& hostPath);
// Reads up to `bytes` at `offset`, retrying short reads; the count read, or -1 on an error.
int64_t ReadHostFile(int fd, void* buffer, size_t bytes, int64_t offset);
// The size of an open file, or -1.
int64_t HostFileSize(int fd);
bool CloseHostFile(int fd);

// The names in a folder, "." and ".." included; empty when it cannot be read.
std::vector<std::string> ListHostFolder(const std::string& hostPath);

// Folds ASCII letters to lower case; other bytes (all UTF-8 sequence bytes) stay as they are.
std::string FoldAsciiCase(const std::string& text);

}  // namespace qr::file
