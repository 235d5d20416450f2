// Plain files, caller side: direct reads, or commands handed to the file's own thread.
#include "file/plain_file.h"

#include <cstring>
#include <new>
#include <system_error>
#include <unordered_set>

#include "file/host_path.h"
#include "qr.h"

namespace qr::file {
namespace {

// Records handed out and not yet closed, so that a stale or foreign handle is refused.
std::unordered_set<const void*>& LiveFiles() {
  static std::unordered_set<const void*> live;
  return live;
}

PlainFile* NewPlainFile() {
  void* memory = AllocZeroMemory(sizeof(PlainFile), __FILE__, __LINE__);
  return memory ? new (memory) PlainFile : nullptr;
}

void DeletePlainFile(PlainFile* file) {
  file->~PlainFile();
  FreeMemory(file);
}

FileThreadBlock* NewThreadBlock() {
  void* memory = AllocZeroMemory(sizeof(FileThreadBlock), __FILE__, __LINE__);
  return memory ? new (memory) FileThreadBlock : nullptr;
}

// Ends a thread that has finished or is finishing, and frees its block and cache.
void DeleteThreadBlock(FileThreadBlock* block) {
  if (block->thread.joinable()) block->thread.join();
  FreeMemory(block->cache);
  block->~FileThreadBlock();
  FreeMemory(block);
}

// Hands the next command over once the previous one is done; the caller has filled the fields
// of this command only after that wait (see BeginCommand).
void BeginCommand(FileThreadBlock& b) { b.done.Wait(); }
void IssueCommand(FileThreadBlock& b, int command) {
  b.command = command;
  b.done.Reset();
  b.request.Set();
}

PlainFile* OpenThreaded(PlainFile* file, const std::string& host) {
  int probe = OpenHostFile(host);
  int64_t size = probe >= 0 ? HostFileSize(probe) : -1;
  CloseHostFile(probe);
  if (size < 0 || size > INT32_MAX) {
    DeletePlainFile(file);
    return nullptr;
  }
  file->size = int32_t(size);

  unsigned char* cache = nullptr;
  if (file->cache) {
    cache = static_cast<unsigned char*>(AllocMemory(kFileCacheSize, __FILE__, __LINE__));
    if (!cache) {
      DeletePlainFile(file);
      WriteLog("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
      return nullptr;
    }
  }
  FileThreadBlock* block = NewThreadBlock();
  if (block) {
    block->cache = cache;
    try {
      block->thread = std::thread(RunFileThread, block);
    } catch (const std::system_error&) {
      block->cache = nullptr;
      DeleteThreadBlock(block);
      block = nullptr;
    }
  }
  if (!block) {
    FreeMemory(cache);
    DeletePlainFile(file);
    WriteLog("ファイルアクセス専用スレッドの作成に失敗しました\n");
    return nullptr;
  }

  BeginCommand(*block);
  block->path = host;
  IssueCommand(*block, kCommandOpen);
  block->done.Wait();
  if (block->openError) {
    DeleteThreadBlock(block);
    DeletePlainFile(file);
    WriteLog("ファイルのオープンに失敗しました\n");
    return nullptr;
  }
  file->thread = block;
  return file;
}

}  // namespace

bool IsOpenPlainFile(const void* record) { return record && LiveFiles().count(record) != 0; }

PlainFile* PlainFileOpen(const char* path, int cache, int, int async) {
  // A path the thread block could not hold is refused in either mode.
  if (!path || std::strlen(path) > kMaxPathBytes) return nullptr;
  PlainFile* file = NewPlainFile();
  if (!file) return nullptr;
  file->cache = cache;
  file->async = async;
  file->threadMode = (cache != 0 || async != 0) ? 1 : 0;
  std::string host = HostPath(path);

  if (file->threadMode) {
    file = OpenThreaded(file, host);
    if (!file) return nullptr;
  } else {
    file->file = OpenHostFile(host);
    int64_t size = file->file >= 0 ? HostFileSize(file->file) : -1;
    // Positions are signed 32-bit: a file of 2 GiB or more cannot be read through them.
    if (size < 0 || size > INT32_MAX) {
      CloseHostFile(file->file);
      DeletePlainFile(file);
      return nullptr;
    }
    file->size = int32_t(size);
  }
  file->position = 0;
  file->atEnd = 0;
  LiveFiles().insert(file);
  return file;
}

int PlainFileClose(PlainFile* file) {
  LiveFiles().erase(file);
  int result = 0;
  if (file->threadMode) {
    FileThreadBlock& b = *file->thread;
    BeginCommand(b);
    IssueCommand(b, kCommandFinish);
    b.done.Wait();
    DeleteThreadBlock(file->thread);
  } else {
    result = CloseHostFile(file->file) ? 0 : -1;
  }
  DeletePlainFile(file);
  return result;
}

int32_t PlainFileTell(PlainFile* file) { return file->position; }

int PlainFileSeek(PlainFile* file, int32_t offset, int origin) {
  int64_t target;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = int64_t(file->position) + offset; break;
    case 2: target = int64_t(file->size) + offset; break;
    default: return -1;
  }
  // Before the start there is nothing to read; past the end is allowed and reads find the end.
  if (target < 0 || target > INT32_MAX) return -1;
  if (file->threadMode) {
    FileThreadBlock& b = *file->thread;
    BeginCommand(b);
    b.seekPosition = target;
    IssueCommand(b, kCommandSeek);
  }
  file->position = int32_t(target);
  file->atEnd = 0;
  return 0;
}

size_t PlainFileRead(void* buffer, size_t size, size_t count, PlainFile* file) {
  if (size == 0) return 0;
  if (file->position >= file->size) {
    file->atEnd = 1;
    return 0;
  }
  size_t remaining = size_t(file->size - file->position);
  if (count > remaining / size) {
    count = remaining / size;  // whole elements only
    if (count == 0) {
      file->atEnd = 1;
      return 0;
    }
  }
  if (count == 0) return 0;
  size_t bytes = size * count;
  size_t result = count;
  if (file->threadMode) {
    FileThreadBlock& b = *file->thread;
    BeginCommand(b);
    b.readDestination = static_cast<unsigned char*>(buffer);
    b.readPosition = file->position;
    b.readSize = int64_t(bytes);
    IssueCommand(b, kCommandRead);
    if (!file->async) b.done.Wait();
  } else {
    int64_t got = ReadHostFile(file->file, buffer, bytes, file->position);
    result = got < 0 ? 0 : size_t(got) / size;
  }
  file->position += int32_t(bytes);
  return result;
}

int PlainFileAtEnd(PlainFile* file) { return file->atEnd ? -1 : 0; }

int PlainFileIsIdle(PlainFile* file) {
  if (!file->threadMode) return 1;
  return file->thread->done.IsSet() ? 1 : 0;
}

int64_t PlainFileWaitIdle(PlainFile* file) {
  if (!file->threadMode) return 0;
  file->thread->done.Wait();
  return file->thread->readSize;
}

}  // namespace qr::file
