// Handle tables: every object the runtime makes for the program lives in the table of its kind,
// and the program holds a 32-bit handle (kind << 27) | (check << 16) | slot. The check number
// makes a handle of a deleted object invalid once its slot is reused.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

namespace qr::core {

enum class HandleKind : int {
  Graphic = 1,
  Sound = 2,
  Movie = 3,
  Font = 4,
  Mask = 8,
  Network = 9,
  TextInput = 10,
  Midi = 11,
  Light = 12,
  ImageObject = 14,
};

constexpr int kCheckNumbers = 2048;

// Every kind's record starts with this.
struct HandleRecord {
  int check;
};

class HandleTable {
 public:
  enum class SlotPolicy {
    UsedEnd,    // take the slot past the highest in use; search from 0 only once that is full
    FirstFree,  // always the lowest free slot
  };
  // What a full table or a failed record allocation does. Graphics cannot go on without their
  // records, so for them it is fatal; the others log and return -1.
  struct Messages {
    const char* full = nullptr;        // logged (or fatal) when every slot is taken
    const char* noMemory = nullptr;    // logged (or fatal) when the record cannot be allocated
    bool fatal = false;
  };
  using Cleanup = void (*)(HandleRecord* record);
  using Construct = void (*)(void* memory);
  using Destroy = void (*)(HandleRecord* record);

  HandleTable(HandleKind kind, int capacity, size_t recordSize, SlotPolicy policy,
              Messages messages, Construct construct, Destroy destroy);

  // A new record, zero-filled and constructed; returns its handle or -1.
  int Add() { return Add(-1, -1); }
  // The same in a chosen slot (-1: by the table's policy), failing when that slot is taken, and
  // with a chosen check number (-1: the table's next). Restoring a handle with its old value
  // takes both.
  int Add(int slot, int check);
  // The record of a valid handle of this kind, or null.
  HandleRecord* Check(int handle) const;
  // Runs the kind's clean-up (when set), then frees the record. -1 for an invalid handle.
  int Delete(int handle);
  // Deletes every record still present.
  void DeleteAll();

  void SetCleanup(Cleanup cleanup) { cleanup_ = cleanup; }
  // Forgets the counts as graphics start does; records still present are not touched.
  void ResetCounts() { liveCount_ = 0; usedEnd_ = 0; }

  HandleKind Kind() const { return kind_; }
  int Capacity() const { return int(slots_.size()); }
  int LiveCount() const { return liveCount_; }
  int UsedEnd() const { return usedEnd_; }
  int NextCheck() const { return nextCheck_; }
  HandleRecord* At(int slot) const { return slots_[size_t(slot)]; }

 private:
  HandleKind kind_;
  std::vector<HandleRecord*> slots_;
  size_t recordSize_;
  SlotPolicy policy_;
  Messages messages_;
  Construct construct_;
  Destroy destroy_;
  Cleanup cleanup_ = nullptr;
  int liveCount_ = 0;
  int usedEnd_ = 0;
  int nextCheck_ = 0;
};

// A handle table of records of type Record (which starts with HandleRecord).
template <typename Record>
class TypedHandleTable : public HandleTable {
  static_assert(std::is_base_of_v<HandleRecord, Record>);

 public:
  TypedHandleTable(HandleKind kind, int capacity, SlotPolicy policy, Messages messages)
      : HandleTable(kind, capacity, sizeof(Record), policy, messages,
                    [](void* memory) { new (memory) Record(); },
                    [](HandleRecord* record) { static_cast<Record*>(record)->~Record(); }) {}

  Record* Get(int handle) const { return static_cast<Record*>(Check(handle)); }
};

// The capacity of each kind's table.
int HandleCapacity(HandleKind kind);

constexpr int MakeHandle(HandleKind kind, int check, int slot) {
  return (int(kind) << 27) | (check << 16) | slot;
}

}  // namespace qr::core
