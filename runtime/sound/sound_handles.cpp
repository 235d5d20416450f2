// The table of sound handles, the records' output buffers, and deleting sounds.
#include "platform/platform.h"
#include "qr.h"
#include "sound/sound_state.h"

namespace qr::sound {

core::TypedHandleTable<SoundRecord>& SoundTable() {
  static auto* table = new core::TypedHandleTable<SoundRecord>(
      core::HandleKind::Sound, core::HandleCapacity(core::HandleKind::Sound),
      core::HandleTable::SlotPolicy::UsedEnd,
      core::HandleTable::Messages{"サウンドの数が許容量を越えました\n",
                                  "メモリ領域の確保に失敗しました in AddSoundData", false});
  return *table;
}

// Handles are always new here: no caller puts a record back under a former handle.
int AddSoundData(int) {
  int handle = SoundTable().Add();
  if (handle == -1) return -1;
  SoundRecord* r = SoundTable().Get(handle);
  r->sharedFrom = -1;
  r->inUseBy = -1;
  return handle;
}

int CreateSoundBuffers(int handle, const platform::PcmFormat& format, uint32_t dataBytes,
                       int streamed, int count) {
  SoundRecord* r = SoundTable().Get(handle);
  if (!r) return -1;
  platform::AudioOutput& out = Output();
  if (!streamed) {
    // The reduced set of buffer abilities a DirectSound device may fall back to means nothing
    // here: our mixer gives every buffer all of them, so one attempt decides.
    platform::AudioBufferId first = out.CreateBuffer(format, dataBytes);
    if (!first) FatalError("DirectSoundBuffer の作成に失敗しました");
    r->buffers[0] = {1, first};
    int made = 1;
    for (; made < count && made < kMaxSoundBuffers; ++made) {
      platform::AudioBufferId copy = out.DuplicateBuffer(first);
      if (!copy) break;
      r->buffers[made] = {1, copy};
    }
    r->bufferCount = made;
  } else {
    uint32_t ring = 6u * uint32_t(format.samplesPerSecond) * uint32_t(format.BlockAlign());
    platform::AudioBufferId id = out.CreateBuffer(format, ring);
    if (!id) FatalError("ストリーム風サウンドバッファの作成に失敗しました");
    r->buffers[0] = {1, id};
    r->bufferCount = 1;
    r->ringSize = int(ring);
    if (!r->inStreamList) {
      core::AddHandleList(Sound().streamHead, r->streamNode, handle, r);
      r->inStreamList = 1;
    }
  }
  r->streamed = streamed;
  return 0;
}

namespace {

void ReleaseBuffers(SoundRecord& r) {
  platform::AudioOutput& out = Output();
  for (int i = 0; i < kMaxSoundBuffers; ++i) {
    if (r.buffers[i].valid) out.ReleaseBuffer(r.buffers[i].id);
    r.buffers[i] = SoundBuffer{};
  }
  r.bufferCount = 0;
}

}  // namespace

void ReleaseStreamSound(SoundRecord& r, int) {
  if (r.inStreamList) {
    core::RemoveHandleList(r.streamNode);
    r.inStreamList = 0;
  }
  for (int i = 0; i < r.streamEntryCount; ++i) {
    StreamEntry& e = r.entries[i];
    CloseSoundConverter(e.converter);
    if (e.ownsReader && e.reader.ops) e.reader.Close();
    e = StreamEntry{};
  }
  r.streamEntryCount = 0;
  if (r.sharedFrom == -1) ReleaseBuffers(r);
  else for (SoundBuffer& b : r.buffers) b = SoundBuffer{};  // the ring is the other sound's
}

}  // namespace qr::sound

using qr::sound::SoundRecord;
using qr::sound::SoundTable;

int DeleteSoundHandle(int handle) {
  if (!qr::sound::Sound().started) return -1;
  SoundRecord* r = SoundTable().Get(handle);
  if (!r) return -1;
  if (!r->deletePending) StopSoundHandle(handle);
  if (!r->streamed && r->streamEntryCount == 0) {
    qr::sound::ReleaseBuffers(*r);
    r->pcmData.clear();
    return SoundTable().Delete(handle);
  }
  if (r->sharedFrom != -1) {
    int owner = r->sharedFrom;
    r->sharedFrom = -1;
    if (SoundRecord* o = SoundTable().Get(owner)) {
      --o->shareCount;
      if (o->inUseBy == handle) o->inUseBy = -1;
      if (o->deletePending && o->shareCount == 0) DeleteSoundHandle(owner);
    }
    // This sound never owned a ring: forget the borrowed one before releasing.
    for (qr::sound::SoundBuffer& b : r->buffers) b = qr::sound::SoundBuffer{};
    r->bufferCount = 0;
  }
  if (r->shareCount != 0) {
    r->deletePending = 1;
    return 0;
  }
  qr::sound::ReleaseStreamSound(*r, handle);
  return SoundTable().Delete(handle);
}

int DeleteAllSoundHandles() {
  if (!qr::sound::Sound().started) return -1;
  return qr::sound::DeleteAllSoundHandles();
}

int qr::sound::DeleteAllSoundHandles() {
  auto& table = SoundTable();
  for (int slot = 0; slot < table.Capacity(); ++slot) {
    if (auto* record = table.At(slot)) {
      auto* r = static_cast<SoundRecord*>(record);
      if (!r->deletePending)
        ::DeleteSoundHandle(qr::core::MakeHandle(qr::core::HandleKind::Sound, r->check, slot));
    }
  }
  return 0;
}

int SetSoundDataType(int type) {
  if (type < 0 || type > 3) return -1;
  qr::sound::Sound().dataType = type;
  return 0;
}
