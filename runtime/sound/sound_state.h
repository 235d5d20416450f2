// The sound system's module state, the sound handles' records and their output buffers.
#pragma once

#include <cstdint>
#include <vector>

#include "core/handle_list.h"
#include "core/handle_table.h"
#include "file/stream_reader.h"
#include "platform/audio_output.h"
#include "sound/sound_converter.h"

namespace qr::sound {

constexpr int kMaxSoundBuffers = 10;
constexpr int kMaxStreamEntries = 3;
constexpr int kRingNotFilled = -800;

// One output buffer of the audio output.
struct SoundBuffer {
  int valid = 0;
  platform::AudioBufferId id = 0;
};

// A piece of stream data and its decoder.
struct StreamEntry {
  int repeatCount = 0;  // -1 forever, 0 once, n: n further times
  int dataType = 0;
  std::vector<uint8_t> image;  // the file or decoded image the converter reads, when kept
  file::StreamReader reader;   // what the converter reads
  bool ownsReader = false;     // the runtime closes it with the sound
  SoundConverter converter;
};

struct SoundRecord : core::HandleRecord {
  SoundBuffer buffers[kMaxSoundBuffers];
  int bufferCount = 0;
  int currentBuffer = 0;
  platform::PcmFormat format;
  int streamed = 0;
  int playStartTime = 0;
  int sharedFrom = -1;
  int shareCount = 0;
  int deletePending = 0;
  core::HandleListNode streamNode;
  int inStreamList = 0;

  // Streaming (ring buffer state and the entry sequence).
  int playType = 0;
  int ringSize = 0;
  int writePos = 0;
  int guardPos = 0;
  int prepared = 0;
  int currentEntry = 0, repeatCount = 0, entryPos = 0;
  int runThrough = 0;  // the stream has passed its last entry at least once
  int dataEnded = 0, endWritePos = 0, endPlayPos = 0;
  int64_t playedBytes = 0;
  int lastPlayPos = 0;
  int inUseBy = -1;
  StreamEntry entries[kMaxStreamEntries];
  int streamEntryCount = 0;
  int64_t totalSamples = 0;

  std::vector<uint8_t> pcmData;  // not streamed: the decoded sound
};

struct SoundSystem {
  bool started = false;  // the output is open; every call fails while it is not
  platform::AudioBufferId silentBuffer = 0;
  int dataType = 0;
  core::HandleListNode streamHead, streamTail;
};

SoundSystem& Sound();
core::TypedHandleTable<SoundRecord>& SoundTable();
platform::AudioOutput& Output();

// Part of the runtime that other sound files share.
int AddSoundData(int wanted);
int CreateSoundBuffers(int handle, const platform::PcmFormat& format, uint32_t dataBytes,
                       int streamed, int count);
int LoadSoundFromMemory(const void* image, size_t size, int bufferCount, int shareWith);
int DeleteAllSoundHandles();

// Streaming (stream_sound.cpp).
int AddSreamSound(const file::StreamReader& reader, int repeatCount, int handle, int dataType,
                  int* keepOpen, int shareWith);
int AddStreamSoundFile(const char* path, int repeatCount, int handle, int dataType, int shareWith);
int AddStreamSoundMemory(const void* image, size_t size, int repeatCount, int handle,
                         int dataType, int shareWith);
int PrepareStreamSound(int handle);
int ProcessStreamSounds();
int PlayStreamSound(SoundRecord& record, int handle, int playType, int restart);
int StopStreamSound(SoundRecord& record, int handle);
bool StreamSoundPlaying(SoundRecord& record, int handle);
void ReleaseStreamSound(SoundRecord& record, int handle);

}  // namespace qr::sound
