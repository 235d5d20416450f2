// The tracked allocator's internals that tests and the lifecycle reach. The calls are in qr.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr::core {

// Each block carries this header in front of the caller's memory: the tail of the requesting
// source file's name, an allocation number, the line, the size, the list links, and a copy of
// all of that (the guard) that reveals overwrites.
struct BlockHeader {
  char file[16];
  uint16_t id;
  uint16_t line;
  uint32_t size;
  BlockHeader* previous;
  BlockHeader* next;
  unsigned char guard[40];
};
static_assert(offsetof(BlockHeader, guard) == 40 && sizeof(BlockHeader) == 80);
static_assert(sizeof(BlockHeader) % 16 == 0, "the caller's memory keeps malloc's alignment");

struct MemorySettings {
  int logAll = 0;       // log every allocation, resize and release
  int logTotals = 0;    // the totals line after every operation
  int checkAlways = 0;  // check every header before every allocation and release
  int64_t watchedSize = 0;  // operations on blocks of this size are logged; negative: all
};

MemorySettings& Memory();

struct MemoryTotals {
  int64_t totalSize;
  int blockCount;
  uint16_t nextId;
};
MemoryTotals CurrentMemoryTotals();

}  // namespace qr::core
