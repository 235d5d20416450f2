// Open archives and their entries: an archive read from a file (through a PlainFile on its own
// file thread) or from a block of memory, the entries found in its tables, and searches of its
// folders. The stream functions reach these through the archive layer (archive_layer.h); the
// graphics device and tools may use them directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "file/archive_format.h"
#include "file/plain_file.h"
#include "file/stream_functions.h"

namespace qr::file {

// One archive's tables and where its bytes come from. Opening checked the header and walked
// every folder of the tables once, so offsets found in them lie inside the table block; entry
// data is checked against the archive's size when an entry is opened.
struct ArchiveState {
  unsigned char header[kArchiveHeaderSize];  // de-scrambled
  uint16_t version = 0;
  PlainFile* file = nullptr;          // a file archive's file, in thread mode
  unsigned char* memory = nullptr;    // a memory archive's block, de-scrambled while open
  size_t memorySize = 0;
  int memoryArchive = 0;
  int callerOwned = 0;                // the block belongs to the caller
  uint64_t archiveSize = 0;           // bytes in the file or block
  unsigned char* table = nullptr;     // the de-scrambled table block (inside the block when in memory)
  uint32_t tableSize = 0;
  uint32_t dataBase = 0;
  uint32_t fileTable = 0;             // offsets inside the table block
  uint32_t directoryTable = 0;
  uint32_t currentDirectory = 0;      // offset in the directory table; 0 is the root
  ArchiveKey key{};
};

// keyString: null for no key string. 0, or -1 when the file is missing, does not start with the
// magic under either key, is of a version above 3, or its tables are damaged.
int OpenArchiveFile(ArchiveState* archive, const char* path, const char* keyString);
// Opens the archive held in `block` in place: the block is de-scrambled while the archive is
// open, and CloseArchive scrambles it again, so the caller gets its bytes back as they were. A
// block that does not open is left unchanged.
int OpenArchiveMemory(ArchiveState* archive, void* block, size_t size, const char* keyString);
void CloseArchive(ArchiveState* archive);

// An entry opened for reading. Stored entries are read from the archive as asked (and
// de-scrambled by file offset); packed ones are unpacked once, at open, into a buffer.
struct ArchiveEntryStream {
  ArchiveState* archive = nullptr;
  uint32_t entry = 0;            // offset of its file entry in the table block
  uint64_t dataStart = 0;        // archive offset of its first data byte
  uint32_t dataSize = 0;         // unpacked
  uint32_t packedSize = kStoredUnpacked;
  int atEnd = 0;
  int32_t position = 0;
  unsigned char* unpacked = nullptr;
  unsigned char* packedBuffer = nullptr;  // while an asynchronous packed read is pending
  int async = 0;
  // Small reads of a stored entry come from this window of the entry (de-scrambled), so that
  // a decoder's many small reads do not each wait for the file thread.
  unsigned char* window = nullptr;
  uint32_t windowStart = 0;      // entry position of its first byte
  uint32_t windowFill = 0;
  int pending = 0;               // 0 none, 1 packed read, 2 plain read
  uint64_t pendingOffset = 0;
  unsigned char* pendingDestination = nullptr;
  size_t pendingLength = 0;
};

// Finds the file an inner path names ("FOLDER\NAME.PNG", either separator, any case) and opens
// it. 0, or -1 when there is no such file or its data does not fit the archive.
int EntryOpen(ArchiveEntryStream* stream, ArchiveState* archive, const char* innerPath,
              int async);
size_t EntryRead(ArchiveEntryStream* stream, void* buffer, size_t bytes);  // bytes copied
int EntrySeek(ArchiveEntryStream* stream, int32_t offset, int origin);    // clamped; 0
int32_t EntryTell(ArchiveEntryStream* stream);
int EntryAtEnd(ArchiveEntryStream* stream);   // -1 once a read found the end, else 0
int EntryIsIdle(ArchiveEntryStream* stream);  // 1, or 0 while an asynchronous read is pending
void EntryClose(ArchiveEntryStream* stream);

// Where an entry's bytes lie in a memory archive (offset from the block's start) and how many
// there are. 0 / -1; packed entries have no such place and give -1.
int ArchiveEntryLocation(ArchiveState* archive, const char* innerPath, uint64_t* position,
                         uint32_t* size);

// A search of one folder of an archive: ".", ".." (except in the root), then the folder's
// entries in table order, each matched against the name pattern ('*' and '?', any case).
struct ArchiveFind {
  ArchiveState* archive = nullptr;
  char pattern[256] = {};
  uint32_t directory = 0;
  uint32_t index = 0;  // next candidate: 0 ".", 1 "..", then 2 + entry number
};
// Null when the folder does not exist or nothing in it matches; else the record (freed by
// ArchiveFindEnd) with the first match written to `found` (which may be null).
ArchiveFind* ArchiveFindFirst(ArchiveState* archive, const char* patternPath, FoundFile* found);
int ArchiveFindNext(ArchiveFind* find, FoundFile* found);  // 0, or -1 after the last match
void ArchiveFindEnd(ArchiveFind* find);

// Walking the tables. Offsets are inside the table block; -1 when there is nothing there.
struct ArchiveEntryView {
  uint32_t offset = 0;  // of the file entry in the table block
  uint32_t attributes = 0;
  uint64_t creationTime = 0, writeTime = 0;  // Windows file times
  uint32_t dataOffset = 0, dataSize = 0, packedSize = kStoredUnpacked;
  const unsigned char* searchName = nullptr;  // upper case, zero-padded
  const char* writtenName = nullptr;          // as written, zero-terminated
  bool IsDirectory() const { return (attributes & kDirectoryAttribute) != 0; }
};
// The number of entries in a folder (directory entry offset), and one of them.
uint32_t DirectoryEntryCount(const ArchiveState* archive, uint32_t directory);
bool DirectoryEntryAt(const ArchiveState* archive, uint32_t directory, uint32_t index,
                      ArchiveEntryView& entry);
// The folder a path of folders leads to from `start` ("" stays; "A\B"; "\" the root; ".." the
// parent): its directory entry offset, or -1.
int64_t WalkArchiveDirectories(const ArchiveState* archive, uint32_t start, const char* path);
// The file (not folder) an inner path names, from the current directory: every element but the
// last must be a folder. Its file entry offset, or -1.
int64_t FindArchiveFile(const ArchiveState* archive, const char* path, ArchiveEntryView& entry);
// The walk every open makes once: true when each folder is reached exactly once from its parent
// and every entry and name lies inside the table block.
bool CheckArchiveTables(const ArchiveState* archive);

}  // namespace qr::file
