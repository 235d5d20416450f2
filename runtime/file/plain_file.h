// One file of the host file system opened for reading: either read directly, or through a file
// thread of its own that carries out one command at a time and, with a cache, reads ahead while
// it is idle. The archive layer opens its archive files through these calls.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace qr::file {

// An event that stays signalled until it is reset, as the file thread protocol needs.
class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool signalled) : signalled_(signalled) {}
  void Set();
  void Reset();
  void Wait();
  // False when the time ran out before the event was signalled.
  bool WaitFor(int milliseconds);
  bool IsSet();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool signalled_;
};

constexpr int32_t kFileCacheSize = 0x20000;  // 128 KiB read ahead
constexpr int kReadAheadIntervalMs = 100;

enum FileCommand : int { kCommandOpen = 0, kCommandClose = 1, kCommandRead = 2, kCommandSeek = 3,
                         kCommandFinish = 4 };

// Shared by the caller and the file thread. Ownership of the fields passes with the events: the
// caller writes the command fields only after it saw `done` signalled; the thread touches them,
// the cache and the read destination only after it reset `done`, until it signals it again (and
// the cache during idle read-ahead, which the caller never reads).
struct FileThreadBlock {
  std::thread thread;
  int file = -1;  // the thread's own host file; -1 when none is open
  ManualResetEvent request{false};
  ManualResetEvent done{true};
  int command = 0;
  int finished = 0;
  int openError = 0;
  std::string path;  // host path for the open command
  unsigned char* readDestination = nullptr;
  int64_t readPosition = 0;
  int64_t readSize = 0;  // the thread replaces it with the count actually read
  int64_t seekPosition = 0;
  unsigned char* cache = nullptr;  // null without the cache flag
  int64_t cachePosition = 0;       // file offset of the first cached byte
  std::atomic<int32_t> cacheFill{0};  // valid bytes at the front of the cache
};

struct PlainFile {
  int file = -1;  // host file, direct mode
  int threadMode = 0;
  int cache = 0;
  int async = 0;
  int atEnd = 0;
  int32_t position = 0;  // the caller's, in bytes from the start
  int32_t size = 0;      // taken once at open
  FileThreadBlock* thread = nullptr;  // thread mode only
};

// path: CP932, at most 259 bytes. Null on failure (see the log for thread-mode failures).
PlainFile* PlainFileOpen(const char* path, int cache, int unused, int async);
int PlainFileClose(PlainFile* file);
int32_t PlainFileTell(PlainFile* file);
int PlainFileSeek(PlainFile* file, int32_t offset, int origin);
size_t PlainFileRead(void* buffer, size_t size, size_t count, PlainFile* file);
int PlainFileAtEnd(PlainFile* file);
int PlainFileIsIdle(PlainFile* file);
// Waits until no command of a thread-mode file is pending (at once in direct mode) and returns
// the byte count the last threaded read delivered.
int64_t PlainFileWaitIdle(PlainFile* file);

// True for a record PlainFileOpen returned and PlainFileClose has not freed yet.
bool IsOpenPlainFile(const void* record);

// The body of a file thread.
void RunFileThread(FileThreadBlock* block);

}  // namespace qr::file
