#include "core/handle_table.h"

#include <cstring>

#include "qr.h"

namespace qr::core {

int HandleCapacity(HandleKind kind) {
  switch (kind) {
    case HandleKind::Graphic: return 32768;
    case HandleKind::Sound: return 4096;
    case HandleKind::Movie: return 100;
    case HandleKind::Font: return 40;
    case HandleKind::Mask: return 512;
    case HandleKind::Network: return 4097;
    case HandleKind::TextInput: return 256;
    case HandleKind::Midi: return 256;
    case HandleKind::Light: return 4096;
    case HandleKind::ImageObject: return 8192;
  }
  return 0;
}

HandleTable::HandleTable(HandleKind kind, int capacity, size_t recordSize, SlotPolicy policy,
                         Messages messages, Construct construct, Destroy destroy)
    : kind_(kind),
      slots_(size_t(capacity), nullptr),
      recordSize_(recordSize),
      policy_(policy),
      messages_(messages),
      construct_(construct),
      destroy_(destroy) {}

int HandleTable::Add(int slot, int check) {
  auto fail = [this](const char* message) {
    if (messages_.fatal) FatalError(message ? message : "");
    if (message) WriteLog(message);
    return -1;
  };
  const int capacity = Capacity();
  if (slot >= 0) {
    if (slot >= capacity || slots_[size_t(slot)]) return -1;
  } else if (liveCount_ >= capacity) {
    return fail(messages_.full);
  }
  if (check >= kCheckNumbers) return -1;

  if (slot < 0 && policy_ == SlotPolicy::UsedEnd && usedEnd_ < capacity) slot = usedEnd_;
  for (int i = 0; slot < 0 && i < capacity; ++i)
    if (!slots_[size_t(i)]) slot = i;
  if (slot < 0) return fail(messages_.full);

  void* memory = AllocMemory(recordSize_, "", 0);
  if (!memory) return fail(messages_.noMemory);
  std::memset(memory, 0, recordSize_);
  construct_(memory);
  auto* record = static_cast<HandleRecord*>(memory);

  if (check >= 0) {
    record->check = check;
  } else {
    record->check = nextCheck_;
    nextCheck_ = (nextCheck_ + 1) % kCheckNumbers;
  }
  slots_[size_t(slot)] = record;
  ++liveCount_;
  if (slot >= usedEnd_) usedEnd_ = slot + 1;
  return MakeHandle(kind_, record->check, slot);
}

HandleRecord* HandleTable::Check(int handle) const {
  if (handle < 0) return nullptr;
  if (((handle >> 27) & 15) != int(kind_)) return nullptr;
  int slot = handle & 0xFFFF;
  if (slot >= Capacity()) return nullptr;
  HandleRecord* record = slots_[size_t(slot)];
  if (!record) return nullptr;
  if ((record->check << 16) != (handle & 0x07FF0000)) return nullptr;
  return record;
}

int HandleTable::Delete(int handle) {
  HandleRecord* record = Check(handle);
  if (!record) return -1;
  if (cleanup_) cleanup_(record);
  int slot = handle & 0xFFFF;
  // The clean-up may have deleted this very record through another path.
  if (slots_[size_t(slot)] != record) return 0;

  --liveCount_;
  if (slot == usedEnd_ - 1) {
    if (liveCount_ == 0) {
      usedEnd_ = 0;
    } else {
      int highest = slot - 1;
      while (highest >= 0 && !slots_[size_t(highest)]) --highest;
      usedEnd_ = highest + 1;
    }
  }
  slots_[size_t(slot)] = nullptr;
  destroy_(record);
  FreeMemory(record);
  return 0;
}

void HandleTable::DeleteAll() {
  for (int slot = 0; slot < Capacity(); ++slot) {
    if (HandleRecord* record = slots_[size_t(slot)])
      Delete(MakeHandle(kind_, record->check, slot));
  }
}

}  // namespace qr::core
