// The stream function table, the plain set of operations, and the file layer's start and end.
#include "file/stream_functions.h"

#include <cstring>
#include <ctime>

#include "file/archive_layer.h"
#include "file/host_path.h"
#include "file/plain_file.h"

namespace qr::file {
namespace {

// The plain set hands out PlainFile addresses; anything else is refused.
PlainFile* AsPlainFile(StreamHandle handle) {
  void* record = reinterpret_cast<void*>(handle);
  return IsOpenPlainFile(record) ? static_cast<PlainFile*>(record) : nullptr;
}

StreamHandle PlainOpen(const char* path, int cache, int unused, int async) {
  return reinterpret_cast<StreamHandle>(PlainFileOpen(path, cache, unused, async));
}

int PlainClose(StreamHandle handle) {
  PlainFile* file = AsPlainFile(handle);
  return file ? PlainFileClose(file) : -1;
}

int32_t PlainTell(StreamHandle handle) {
  PlainFile* file = AsPlainFile(handle);
  return file ? PlainFileTell(file) : -1;
}

int PlainSeek(StreamHandle handle, int32_t offset, int origin) {
  PlainFile* file = AsPlainFile(handle);
  return file ? PlainFileSeek(file, offset, origin) : -1;
}

// An unknown handle reads nothing: a count of -1 would pass for a huge successful read.
size_t PlainRead(void* buffer, size_t size, size_t count, StreamHandle handle) {
  PlainFile* file = AsPlainFile(handle);
  return file ? PlainFileRead(buffer, size, count, file) : 0;
}

int PlainAtEnd(StreamHandle handle) {
  PlainFile* file = AsPlainFile(handle);
  return file ? PlainFileAtEnd(file) : -1;
}

int PlainIsIdle(StreamHandle handle) {
  PlainFile* file = AsPlainFile(handle);
  return file ? PlainFileIsIdle(file) : -1;
}

// Copies the current directory into a buffer of `capacity` bytes; an empty string and -1 when
// it does not fit.
int CopyCurrentDirectory(char* buffer, size_t capacity) {
  std::string current = ApiCurrentDirectory();
  if (current.empty() || current.size() >= capacity) {
    buffer[0] = '\0';
    return -1;
  }
  std::memcpy(buffer, current.c_str(), current.size() + 1);
  return 0;
}

StreamFunctions& InstalledTable() {
  static StreamFunctions table = kArchiveStreamFunctions;
  return table;
}

}  // namespace

int PlainSetDirectory(const char* path) { return SetApiCurrentDirectory(path) ? 0 : -1; }
int PlainGetDirectory(char* buffer) { return CopyCurrentDirectory(buffer, 260); }
int ArchiveAwareGetDirectory(char* buffer) { return CopyCurrentDirectory(buffer, 256); }

const StreamFunctions kPlainStreamFunctions{
    PlainOpen,         PlainClose,        PlainTell,      PlainSeek,
    PlainRead,         PlainAtEnd,        PlainIsIdle,    PlainSetDirectory,
    PlainGetDirectory, PlainFindFirst,    PlainFindNext,  PlainFindEnd};

StreamFunctions& Streams() { return InstalledTable(); }

FileSettings& FileLayerSettings() {
  static FileSettings settings;
  return settings;
}

int InstallStreamFunctions(const StreamFunctions* table) {
  if (table)
    InstalledTable() = *table;
  else
    InstalledTable() =
        FileLayerSettings().archiveSupport ? kArchiveStreamFunctions : kPlainStreamFunctions;
  return 0;
}

void ClearFileLayer() {
  if (const ArchiveLayerOps* layer = ArchiveLayer()) layer->Clear();
}

void CloseUnusedArchiveFiles() {
  if (const ArchiveLayerOps* layer = ArchiveLayer()) layer->CloseUnused();
}

DateRecord LocalDate(int64_t seconds) {
  std::time_t time = std::time_t(seconds);
  std::tm local{};
  if (!localtime_r(&time, &local)) return DateRecord{};
  return DateRecord{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace qr::file
