// The tracked allocator: every live block sits in one list, newest last, so that the dump at the
// end shows what was never freed and CheckMemory finds headers that were written over.
#include "core/memory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "qr.h"

namespace qr::core {
namespace {

struct AllocatorState {
  BlockHeader head{};  // never handed out; the oldest block's previous
  BlockHeader* tail = nullptr;
  uint16_t nextId = 0;
  int64_t totalSize = 0;
  int blockCount = 0;
  MemorySettings settings;
  std::recursive_mutex lock;  // recursive: logging inside an operation may allocate
};

AllocatorState& State() {
  // Never destroyed: blocks may be freed from static destructors after main returns.
  static AllocatorState* state = new AllocatorState();
  return *state;
}

void RefreshGuard(BlockHeader* block) {
  if (block) std::memcpy(block->guard, block, sizeof block->guard);
}

bool GuardIntact(const BlockHeader* block) {
  return std::memcmp(block->guard, block, sizeof block->guard) == 0;
}

BlockHeader* HeaderOf(void* memory) {
  return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(memory) - sizeof(BlockHeader));
}

void* MemoryOf(BlockHeader* block) {
  return reinterpret_cast<unsigned char*>(block) + sizeof(BlockHeader);
}

void FillSource(BlockHeader* block, const char* file, int line) {
  std::memset(block->file, 0, sizeof block->file);
  if (file) {
    size_t length = std::strlen(file);
    const char* tail = length > 15 ? file + (length - 15) : file;
    std::memcpy(block->file, tail, std::min<size_t>(length, 15));
  }
  block->line = uint16_t(line);
}

void WriteBlockLine(const char* prefix, const BlockHeader* block) {
  char text[512];
  int n = std::snprintf(text, sizeof text,
                        "%s\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%08llx  data:<", prefix,
                        int(block->size), block->size / 1024.0, block->file, int(block->line),
                        int(block->id),
                        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(
                            MemoryOf(const_cast<BlockHeader*>(block)))));
  const unsigned char* data =
      static_cast<const unsigned char*>(MemoryOf(const_cast<BlockHeader*>(block)));
  uint32_t shown = block->size < 16 ? block->size : 16;
  for (uint32_t i = 0; i < shown; ++i)
    text[n++] = static_cast<signed char>(data[i]) < 32 ? '.' : char(data[i]);
  n += std::snprintf(text + n, sizeof text - size_t(n), "> [");
  for (uint32_t i = 0; i < shown; ++i) n += std::snprintf(text + n, sizeof text - size_t(n), "%02x ", data[i]);
  // The last character written (a space, or the '[' when nothing was shown) becomes "]\n".
  std::snprintf(text + n - 1, sizeof text - size_t(n - 1), "]\n");
  WriteLog(text);
}

void WriteTotals() {
  AllocatorState& s = State();
  WriteLogFormat("\tTotal size:%d(%.3fkb)  Alloc num:%d", int(s.totalSize), s.totalSize / 1024.0,
                 s.blockCount);
}

bool Watched(uint32_t size) {
  const MemorySettings& m = State().settings;
  return m.logAll || m.watchedSize < 0 || m.watchedSize == int64_t(size);
}

void AfterOperation(const char* prefix, const BlockHeader* block) {
  AllocatorState& s = State();
  if (Watched(block->size)) WriteBlockLine(prefix, block);
  if (s.settings.logTotals) WriteTotals();
}

}  // namespace

MemorySettings& Memory() { return State().settings; }

MemoryTotals CurrentMemoryTotals() {
  AllocatorState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  return MemoryTotals{s.totalSize, s.blockCount, s.nextId};
}

}  // namespace qr::core

using namespace qr::core;

void* AllocMemory(size_t size, const char* file, int line) {
  AllocatorState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  if (s.settings.checkAlways) CheckMemory();
  // The size is kept in 32 bits and printed as a signed number: larger requests fail.
  void* raw = size <= 0x7FFFFFFFu - sizeof(BlockHeader) ? std::malloc(size + sizeof(BlockHeader)) : nullptr;
  if (!raw) {
    DumpMemory();
    CheckMemory();
    return nullptr;
  }
  auto* block = static_cast<BlockHeader*>(raw);
  std::memset(block, 0, sizeof *block);
  FillSource(block, file, line);
  block->id = s.nextId++;
  block->size = uint32_t(size);
  BlockHeader* oldTail = s.tail ? s.tail : &s.head;
  oldTail->next = block;
  block->previous = oldTail;
  block->next = nullptr;
  s.tail = block;
  RefreshGuard(block);
  RefreshGuard(oldTail);
  s.totalSize += int64_t(size);
  ++s.blockCount;
  AfterOperation("mem alloc  ", block);
  return MemoryOf(block);
}

void* AllocZeroMemory(size_t size, const char* file, int line) {
  void* memory = AllocMemory(size, file, line);
  if (memory) std::memset(memory, 0, size);
  return memory;
}

void* ReallocMemory(void* memory, size_t size, const char* file, int line) {
  if (!memory) return AllocMemory(size, file, line);
  AllocatorState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  BlockHeader* block = HeaderOf(memory);
  uint32_t oldSize = block->size;
  void* raw = size <= 0x7FFFFFFFu - sizeof(BlockHeader)
                  ? std::realloc(block, size + sizeof(BlockHeader))
                  : nullptr;
  if (!raw) {
    DumpMemory();
    return nullptr;
  }
  block = static_cast<BlockHeader*>(raw);
  if (size > oldSize) std::memset(static_cast<unsigned char*>(MemoryOf(block)) + oldSize, 0, size - oldSize);
  FillSource(block, file, line);
  block->id = s.nextId++;
  block->previous->next = block;
  if (block->next)
    block->next->previous = block;
  else
    s.tail = block;
  s.totalSize += int64_t(size) - int64_t(oldSize);
  block->size = uint32_t(size);
  RefreshGuard(block);
  RefreshGuard(block->previous);
  RefreshGuard(block->next);
  AfterOperation("mem realloc  ", block);
  if (s.settings.checkAlways) CheckMemory();
  return MemoryOf(block);
}

void FreeMemory(void* memory) {
  if (!memory) return;
  AllocatorState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  BlockHeader* block = HeaderOf(memory);
  if (!GuardIntact(block)) {
    // Its links cannot be trusted: unlinking through them would corrupt other blocks. Report it
    // and leave it where it is.
    WriteBlockLine("以下のメモリ確保情報が破損しました", block);
    return;
  }
  s.totalSize -= block->size;
  --s.blockCount;
  if (s.settings.checkAlways) CheckMemory();
  block->previous->next = block->next;
  if (block->next)
    block->next->previous = block->previous;
  else
    s.tail = block->previous == &s.head ? nullptr : block->previous;
  RefreshGuard(block->previous);
  RefreshGuard(block->next);
  AfterOperation("mem free  ", block);
  std::free(block);
}

int CheckMemory() {
  AllocatorState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  for (BlockHeader* block = s.tail; block && block != &s.head; block = block->previous) {
    if (!GuardIntact(block)) {
      WriteBlockLine("以下のメモリ確保情報が破損しました", block);
      return -1;
    }
  }
  return 0;
}

int DumpMemory() {
  AllocatorState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  WriteLog("\n");
  WriteLog("Alloc memory dump\n");
  for (BlockHeader* block = s.tail; block && block != &s.head; block = block->previous)
    WriteBlockLine("", block);
  WriteTotals();
  WriteLog("\n");
  return 0;
}
