// The process-wide table of file operations through which the runtime reads every file, the two
// sets of operations that can fill it, and the records the find operations fill.
#pragma once

#include <cstddef>
#include <cstdint>

#include "file/stream_reader.h"

namespace qr::file {

// Local time, as a person reads it off a clock.
struct DateRecord {
  int year, month, day, hour, minute, second;
};

struct FoundFile {
  char name[260];
  int directory;  // 1 for a folder
  int sizeLow, sizeHigh;
  DateRecord creationTime;
  DateRecord lastWriteTime;
};

// A search in progress; -1 is "nothing found".
using FindHandle = intptr_t;
constexpr FindHandle kNoFind = -1;

struct StreamFunctions {
  // path (CP932), cache flag, a flag every caller passes as 1, asynchronous flag. 0 on failure.
  StreamHandle (*Open)(const char* path, int cache, int unused, int async);
  int (*Close)(StreamHandle handle);
  int32_t (*Tell)(StreamHandle handle);
  int (*Seek)(StreamHandle handle, int32_t offset, int origin);
  // Elements read from a plain file, bytes from an archive entry.
  size_t (*Read)(void* buffer, size_t size, size_t count, StreamHandle handle);
  int (*AtEnd)(StreamHandle handle);   // non-zero once a read hit the end
  int (*IsIdle)(StreamHandle handle);  // 1 when no asynchronous read is pending
  int (*SetDirectory)(const char* path);
  int (*GetDirectory)(char* buffer);  // the buffer holds 260 bytes
  FindHandle (*FindFirst)(const char* pattern, FoundFile* found);  // found may be null
  int (*FindNext)(FindHandle find, FoundFile* found);
  int (*FindEnd)(FindHandle find);
};

// The table in use. Before start it holds the archive-aware set.
StreamFunctions& Streams();

// The two complete sets.
extern const StreamFunctions kPlainStreamFunctions;
extern const StreamFunctions kArchiveStreamFunctions;

// Copies the table's twelve slots in; null installs the set the archive setting chooses.
int InstallStreamFunctions(const StreamFunctions* table);

// Runtime setting kept across starts: 1 (the default) reads packed archives, 0 plain files only.
struct FileSettings {
  int archiveSupport = 1;
};
FileSettings& FileLayerSettings();

// Start-up: forgets the archive layer's state (its open archives and settings).
void ClearFileLayer();
// RuntimeEnd: closes the archives no stream uses any more.
void CloseUnusedArchiveFiles();

// The reader tables (start-up puts back their standard operations).
void FillStreamReaderTables();
const StreamReaderOps& FileReaderOps();
const StreamReaderOps& MemoryReaderOps();
void ResetMemoryReaderTable();

// The plain set's directory and find operations, which the archive-aware set reuses.
int PlainSetDirectory(const char* path);
int PlainGetDirectory(char* buffer);
FindHandle PlainFindFirst(const char* pattern, FoundFile* found);
int PlainFindNext(FindHandle find, FoundFile* found);
int PlainFindEnd(FindHandle find);
// The archive-aware set's GetDirectory, which offers a 256-byte buffer to the host.
int ArchiveAwareGetDirectory(char* buffer);

// Seconds since 1970 (UTC) as local time.
DateRecord LocalDate(int64_t seconds);

}  // namespace qr::file
