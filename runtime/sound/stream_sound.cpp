// Streamed sounds: their entries, the six-second ring and its refill on every message pump.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/main_window.h"
#include "platform/platform.h"
#include "qr.h"
#include "sound/sound_state.h"

namespace qr::sound {
namespace {

void LogText(const char* format, const char* value) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, format, value);
  WriteLog(buffer);
}

// The record that owns the ring a streamed sound plays through (itself, or the one it shares).
SoundRecord* RingOwner(SoundRecord& r) {
  if (r.sharedFrom == -1) return &r;
  return SoundTable().Get(r.sharedFrom);
}

platform::AudioBufferId Ring(SoundRecord& r) { return r.buffers[0].valid ? r.buffers[0].id : 0; }

bool RingPlaying(SoundRecord& r) {
  unsigned status = 0;
  return Ring(r) && Output().Status(Ring(r), &status) && (status & platform::kBufferPlaying);
}

int PlayPosition(SoundRecord& r) {
  uint32_t play = 0;
  Output().Positions(Ring(r), &play, nullptr);
  return int(play);
}

// Takes the ring for this sound. A play takes it from whoever has it; other operations give up
// when another sound uses it.
bool Claim(SoundRecord& r, int handle, bool forPlay) {
  SoundRecord* owner = RingOwner(r);
  if (!owner || !Ring(r)) return false;
  if (owner->inUseBy != -1 && owner->inUseBy != handle) {
    if (!forPlay) return false;
    int other = owner->inUseBy;
    if (SoundRecord* o = SoundTable().Get(other)) {
      StopStreamSound(*o, other);
      o->prepared = 0;  // the ring will hold this sound's data
    }
    r.prepared = 0;
  }
  if (owner->inUseBy != handle) r.prepared = 0;
  owner->inUseBy = handle;
  return true;
}

void UpdatePlayed(SoundRecord& r) {
  if (!RingPlaying(r)) return;
  int p = PlayPosition(r);
  r.playedBytes += (p - r.lastPlayPos + r.ringSize) % r.ringSize;
  r.lastPlayPos = p;
}

int Distance(int from, int to, int ring) { return ((to - from) % ring + ring) % ring; }

// The two seconds after the written data, where a play position means playback has overtaken
// the writing.
bool InUnsafeZone(SoundRecord& r, int p) {
  int perSecond = r.format.samplesPerSecond * r.format.BlockAlign();
  return Distance(r.writePos, p, r.ringSize) < 2 * perSecond;
}

uint8_t SilenceByte(const SoundRecord& r) { return r.format.bitsPerSample == 8 ? 0x80 : 0; }

void SeekEntryToStart(StreamEntry& e) { SeekSoundConverter(e.converter, 0); }

// Decoded data of the entry sequence into out; the rest silence once the sequence has ended.
void FeedEntries(SoundRecord& r, uint8_t* out, int bytes, int writeStart) {
  int done = 0;
  int idleSteps = 0;  // steps of the sequence that gave nothing: empty entries end the data
  while (done < bytes && !r.dataEnded) {
    StreamEntry& e = r.entries[r.currentEntry];
    int got = ConvertSound(e.converter, out + done, bytes - done);
    if (got > 0) {
      done += got;
      r.entryPos += got;
      idleSteps = 0;
      if (done == bytes) break;
    } else if (++idleSteps > 2 * kMaxStreamEntries + 2) {
      r.dataEnded = 1;
      break;
    }
    // The entry has run out: the next step of the sequence.
    if (e.repeatCount == -1) {
      SeekEntryToStart(e);
      r.entryPos = 0;
      continue;
    }
    if (++r.repeatCount <= e.repeatCount) {
      SeekEntryToStart(e);
      r.entryPos = 0;
      continue;
    }
    r.repeatCount = 0;
    r.entryPos = 0;
    if (++r.currentEntry >= r.streamEntryCount) {
      r.runThrough = 1;
      r.currentEntry = 0;
      if (r.playType != 3) {
        r.dataEnded = 1;
        break;
      }
    }
    SeekEntryToStart(r.entries[r.currentEntry]);
  }
  if (r.dataEnded && done < bytes) {
    r.endWritePos = (writeStart + done) % r.ringSize;
    r.endPlayPos = PlayPosition(r);
  }
  std::memset(out + done, SilenceByte(r), size_t(bytes - done));
}

// Writes bytes at writePos (data, or silence when silent) and moves writePos and guardPos on.
void WriteRing(SoundRecord& r, int bytes, bool silent) {
  int block = r.format.BlockAlign();
  bytes -= bytes % block;
  if (bytes <= 0) return;
  int perSecond = r.format.samplesPerSecond * block;
  void *part1 = nullptr, *part2 = nullptr;
  uint32_t bytes1 = 0, bytes2 = 0;
  if (!Output().Lock(Ring(r), uint32_t(r.writePos), uint32_t(bytes), &part1, &bytes1, &part2, &bytes2))
    return;
  std::vector<uint8_t> data(size_t(bytes), SilenceByte(r));
  if (!silent) FeedEntries(r, data.data(), bytes, r.writePos);
  std::memcpy(part1, data.data(), bytes1);
  if (part2) std::memcpy(part2, data.data() + bytes1, bytes2);
  Output().Unlock(Ring(r), part1, bytes1, part2, bytes2);
  r.writePos = (r.writePos + bytes) % r.ringSize;
  r.guardPos = r.writePos - 4 * perSecond;
  if (r.guardPos < 0) r.guardPos += r.ringSize;
}

void RefillStream(SoundRecord& r, int handle) {
  if (!r.streamed || !r.prepared || !Claim(r, handle, false)) return;
  UpdatePlayed(r);
  const int perSecond = r.format.samplesPerSecond * r.format.BlockAlign();
  if (r.dataEnded) {
    if (!RingPlaying(r)) return;
    int p = PlayPosition(r);
    if (Distance(r.endPlayPos, p, r.ringSize) >= Distance(r.endPlayPos, r.endWritePos, r.ringSize)) {
      Output().Stop(Ring(r));
      r.dataEnded = 0;
      r.endWritePos = r.endPlayPos = 0;
      return;
    }
    if (!InUnsafeZone(r, p)) WriteRing(r, perSecond / 8, true);
    return;
  }
  if (!RingPlaying(r)) {
    if (r.writePos != kRingNotFilled) return;
    r.writePos = 0;
    WriteRing(r, 4 * perSecond, false);
    r.writePos = 4 * perSecond % r.ringSize;
    r.guardPos = 0;
    return;
  }
  int p = PlayPosition(r);
  if (InUnsafeZone(r, p)) return;
  int ahead = int(int64_t(Distance(p, r.writePos, r.ringSize)) * 128 / perSecond);
  int bytes = ahead > 383 ? perSecond / 8 : int(int64_t(perSecond) * (384 - ahead) / 128);
  WriteRing(r, bytes, false);
}

void Rewind(SoundRecord& r) {
  r.currentEntry = r.repeatCount = r.entryPos = 0;
  r.playedBytes = 0;
  r.dataEnded = r.endWritePos = r.endPlayPos = 0;
  r.runThrough = 0;
  r.prepared = 0;  // the ring is filled again from the start
}

bool ReadAll(const file::StreamReader& reader, std::vector<uint8_t>& image) {
  if (reader.Seek(0, file::kSeekEnd) != 0) return false;
  int32_t size = reader.Tell();
  if (size < 0 || reader.Seek(0, file::kSeekSet) != 0) return false;
  image.resize(size_t(size));
  return size == 0 || reader.Read(image.data(), 1, size_t(size)) == size_t(size);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

// A RIFF WAVE image of decoded PCM, with the 18-byte format.
std::vector<uint8_t> WaveImage(const platform::PcmFormat& f, const std::vector<uint8_t>& pcm) {
  std::vector<uint8_t> out;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, uint32_t(4 + 8 + 18 + 8 + pcm.size()));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 18);
  Put16(out, 1);
  Put16(out, unsigned(f.channels));
  Put32(out, uint32_t(f.samplesPerSecond));
  Put32(out, uint32_t(f.samplesPerSecond * f.BlockAlign()));
  Put16(out, unsigned(f.BlockAlign()));
  Put16(out, unsigned(f.bitsPerSample));
  Put16(out, 0);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, uint32_t(pcm.size()));
  out.insert(out.end(), pcm.begin(), pcm.end());
  return out;
}

// Opens the entry's converter over its own memory image.
bool OpenOverImage(StreamEntry& e) {
  if (!file::OpenMemoryReader(e.image.data(), e.image.size(), e.reader)) return false;
  e.ownsReader = true;
  return OpenSoundConverter(e.converter, e.reader) == 0;
}

bool OpenEntry(StreamEntry& e, const file::StreamReader& reader, int dataType, int* keepOpen) {
  reader.Seek(0, file::kSeekSet);
  if (dataType == 3) {
    e.reader = reader;
    if (OpenSoundConverter(e.converter, e.reader) != 0) {
      WriteLog("音声データのオープンに失敗しました");
      return false;
    }
    if (keepOpen) *keepOpen = 0;
    return true;
  }
  if (keepOpen) *keepOpen = 1;
  if (!ReadAll(reader, e.image)) {
    WriteLog("音声データの読み込みに失敗しました");
    return false;
  }
  if (dataType == 2) {
    if (!OpenOverImage(e)) {
      WriteLog("音声データのオープンに失敗しました");
      return false;
    }
    return true;
  }
  // Decoded now: the entry plays the PCM from a WAVE image in memory.
  file::StreamReader source;
  SoundConverter whole;
  if (!file::OpenMemoryReader(e.image.data(), e.image.size(), source)) return false;
  if (OpenSoundConverter(whole, source) != 0) {
    source.Close();
    WriteLog("音声データのオープンに失敗しました");
    return false;
  }
  platform::PcmFormat format;
  std::vector<uint8_t> pcm;
  int decoded = DecodeWholeSound(whole, format, pcm);
  CloseSoundConverter(whole);
  source.Close();
  if (decoded != 0) {
    WriteLog("音声データの変換に失敗しました");
    return false;
  }
  e.image = WaveImage(format, pcm);
  if (!OpenOverImage(e)) {
    WriteLog("音声データの変換に失敗しました");
    return false;
  }
  return true;
}

void CloseEntry(StreamEntry& e) {
  CloseSoundConverter(e.converter);
  if (e.ownsReader && e.reader.ops) e.reader.Close();
  e = StreamEntry{};
}

}  // namespace

int AddSreamSound(const file::StreamReader& reader, int repeatCount, int handle, int dataType,
                  int* keepOpen, int shareWith) {
  SoundRecord* r = Sound().started ? SoundTable().Get(handle) : nullptr;
  if (!r) return -1;
  if (r->streamEntryCount > 0 && !r->streamed)
    return WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
  if (r->streamEntryCount > 0 && RingPlaying(*r))
    return WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
  if (r->streamEntryCount >= kMaxStreamEntries)
    return WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
  StreamEntry& e = r->entries[r->streamEntryCount];
  e = StreamEntry{};
  if (!OpenEntry(e, reader, dataType, keepOpen)) {
    if (e.ownsReader && e.reader.ops) e.reader.Close();
    e = StreamEntry{};
    return -1;
  }
  e.dataType = dataType;
  const platform::PcmFormat& format = e.converter.format;
  if (r->streamEntryCount == 0) {
    r->format = format;
    SoundRecord* other = shareWith == handle ? nullptr : SoundTable().Get(shareWith);
    if (other && other->streamed && other->sharedFrom == -1 && other->format == format) {
      r->streamed = 1;
      r->bufferCount = 1;
      r->buffers[0] = other->buffers[0];
      r->ringSize = other->ringSize;
      if (!r->inStreamList) {
        core::AddHandleList(Sound().streamHead, r->streamNode, handle, r);
        r->inStreamList = 1;
      }
      r->sharedFrom = shareWith;
      ++other->shareCount;
    } else {
      CreateSoundBuffers(handle, format, 0, 1, 1);
      r->sharedFrom = -1;
      r->inUseBy = handle;
    }
  } else if (!(format == r->format)) {
    CloseEntry(e);
    return WriteLog("フォーマットの違う音声データは同時に使うことは出来ません");
  }
  e.repeatCount = repeatCount;
  ++r->streamEntryCount;
  r->totalSamples = 0;
  for (int i = 0; i < r->streamEntryCount; ++i)
    r->totalSamples += GetConvertedSize(r->entries[i].converter) / r->format.BlockAlign();
  return 0;
}

int AddStreamSoundFile(const char* path, int repeatCount, int handle, int dataType, int shareWith) {
  file::StreamReader reader;
  if (!file::OpenFileReader(path, reader)) {
    LogText("右記のＷＡＶファイルのロードに失敗しました：%s \n", path);
    return -1;
  }
  int keepOpen = 1;
  if (AddSreamSound(reader, repeatCount, handle, dataType, &keepOpen, shareWith) != 0) {
    LogText("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", path);
    reader.Close();
    return -1;
  }
  if (keepOpen) {
    reader.Close();
  } else {
    SoundRecord* r = SoundTable().Get(handle);
    r->entries[r->streamEntryCount - 1].ownsReader = true;
  }
  return 0;
}

int AddStreamSoundMemory(const void* image, size_t size, int repeatCount, int handle,
                         int dataType, int shareWith) {
  file::StreamReader reader;
  if (!file::OpenMemoryReader(image, size, reader))
    return WriteLog("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
  if (dataType == 3) dataType = 2;  // the image may not outlive the call
  int keepOpen = 1;
  int result = AddSreamSound(reader, repeatCount, handle, dataType, &keepOpen, shareWith);
  reader.Close();
  if (result != 0) return WriteLog("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
  return 0;
}

int PrepareStreamSound(int handle) {
  SoundRecord* r = Sound().started ? SoundTable().Get(handle) : nullptr;
  if (!r) return -1;
  if (!r->streamed || r->streamEntryCount == 0 || StreamSoundPlaying(*r, handle) ||
      !Claim(*r, handle, false) || r->prepared)
    return 0;
  Output().SetPosition(Ring(*r), 0);
  SeekSoundConverter(r->entries[r->currentEntry].converter, r->entryPos / r->format.BlockAlign());
  r->writePos = kRingNotFilled;
  r->guardPos = -1;
  r->dataEnded = r->endWritePos = r->endPlayPos = 0;
  r->lastPlayPos = 0;
  r->prepared = 1;
  RefillStream(*r, handle);
  return 0;
}

int ProcessStreamSounds() {
  SoundSystem& s = Sound();
  if (!s.started) return -1;
  for (core::HandleListNode* node = s.streamHead.next; node && node != &s.streamTail; node = node->next)
    RefillStream(*static_cast<SoundRecord*>(node->data), node->handle);
  return 0;
}

bool StreamSoundPlaying(SoundRecord& r, int handle) {
  SoundRecord* owner = RingOwner(r);
  return owner && owner->inUseBy == handle && RingPlaying(r);
}

int PlayStreamSound(SoundRecord& r, int handle, int playType, int restart) {
  if (r.streamEntryCount == 0 || !Claim(r, handle, true)) return -1;
  if (!restart && StreamSoundPlaying(r, handle)) return 0;
  StopStreamSound(r, handle);
  if (((playType & 2) != (r.playType & 2) && r.runThrough) || (restart && r.playedBytes != 0))
    Rewind(r);
  r.playType = playType;
  PrepareStreamSound(handle);
  r.lastPlayPos = PlayPosition(r);
  if (!Output().Play(Ring(r), true)) return -1;
  r.playStartTime = GetMillisecondCount();
  if (playType == 0) {
    auto& clock = *platform::Current().clock;
    for (;;) {
      if (core::PumpMessagesUnguarded() != 0) break;
      SoundRecord* still = SoundTable().Get(handle);
      if (!still || !StreamSoundPlaying(*still, handle)) break;
      clock.Sleep(1);
    }
  }
  return 0;
}

int StopStreamSound(SoundRecord& r, int handle) {
  UpdatePlayed(r);
  SoundRecord* owner = RingOwner(r);
  if (!owner || (owner->inUseBy != -1 && owner->inUseBy != handle)) return 0;
  if (owner != &r) owner->inUseBy = -1;
  if (RingPlaying(r)) Output().Stop(Ring(r));
  return 0;
}

}  // namespace qr::sound
