// Loading sounds: from a whole file image in memory, or from a file read whole first.
#include <algorithm>
#include <cstring>

#include "file/stream_functions.h"
#include "qr.h"
#include "sound/sound_state.h"

namespace qr::sound {
namespace {

// Copies the PCM into every buffer of the sound through a two-part lock.
bool FillBuffers(SoundRecord& r) {
  platform::AudioOutput& out = Output();
  const uint32_t size = uint32_t(r.pcmData.size());
  for (int i = 0; i < r.bufferCount; ++i) {
    void *part1 = nullptr, *part2 = nullptr;
    uint32_t bytes1 = 0, bytes2 = 0;
    if (!out.Lock(r.buffers[i].id, 0, size, &part1, &bytes1, &part2, &bytes2)) {
      WriteLog("サウンドデータの転送に失敗しました_1");
      return false;
    }
    std::memcpy(part1, r.pcmData.data(), std::min(bytes1, size));
    if (part2 && bytes1 < size) std::memcpy(part2, r.pcmData.data() + bytes1, std::min(bytes2, size - bytes1));
    if (!out.Unlock(r.buffers[i].id, part1, bytes1, part2, bytes2)) {
      WriteLog("サウンドデータの転送に失敗しました_2");
      return false;
    }
  }
  return true;
}

int LoadWhole(int handle, const void* image, size_t size, int bufferCount) {
  file::StreamReader reader;
  SoundConverter converter;
  if (!file::OpenMemoryReader(image, size, reader)) return -1;
  if (OpenSoundConverter(converter, reader) != 0) {
    reader.Close();
    return WriteLog("音声ファイルのＰＣＭへの変換に失敗しました");
  }
  platform::PcmFormat format;
  std::vector<uint8_t> pcm;
  int decoded = DecodeWholeSound(converter, format, pcm);
  CloseSoundConverter(converter);
  reader.Close();
  if (decoded != 0) return WriteLog("音声ファイルを格納するメモリ領域の確保に失敗しました");
  // A sound too short to hold one sample still gets a buffer of one silent sample.
  if (pcm.empty()) pcm.assign(size_t(format.BlockAlign()), format.bitsPerSample == 8 ? 0x80 : 0);
  if (CreateSoundBuffers(handle, format, uint32_t(pcm.size()), 0, bufferCount) != 0) return -1;
  SoundRecord* r = SoundTable().Get(handle);
  r->format = format;
  r->pcmData = std::move(pcm);
  return FillBuffers(*r) ? 0 : -1;
}

}  // namespace

int LoadSoundFromMemory(const void* image, size_t size, int bufferCount, int shareWith) {
  if (!Sound().started || !image || bufferCount > kMaxSoundBuffers) return -1;
  if (bufferCount < 1) bufferCount = 1;
  int handle = AddSoundData(-1);
  if (handle == -1) return -1;
  int result;
  if (Sound().dataType == 0) {
    result = LoadWhole(handle, image, size, bufferCount);
  } else {
    int type = Sound().dataType == 3 ? 2 : Sound().dataType;
    result = AddStreamSoundMemory(image, size, 0, handle, type, shareWith);
    if (result == 0) result = PrepareStreamSound(handle);
  }
  if (result != 0) {
    DeleteSoundHandle(handle);
    return -1;
  }
  return handle;
}

// Reads a whole file through the stream functions; false with the open or memory message.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& image) {
  file::StreamFunctions& streams = file::Streams();
  file::StreamHandle stream = streams.Open(path, 0, 1, 0);
  if (!stream) {
    WriteLogFormat("右記のファイルのオープンに失敗しました：%s", path);
    return false;
  }
  streams.Seek(stream, 0, file::kSeekEnd);
  int32_t size = streams.Tell(stream);
  streams.Seek(stream, 0, file::kSeekSet);
  bool ok = size >= 0;
  if (ok) {
    try {
      image.resize(size_t(size));
    } catch (const std::bad_alloc&) {
      WriteLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
      ok = false;
    }
  }
  if (ok && size > 0) image.resize(streams.Read(image.data(), 1, size_t(size), stream));
  streams.Close(stream);
  return ok;
}

}  // namespace qr::sound

int LoadSoundFromMemory(const void* image, size_t size, int bufferCount, int shareWith) {
  return qr::sound::LoadSoundFromMemory(image, size, bufferCount, shareWith);
}

int LoadSoundFile(const char* path, int bufferCount, int shareWith) {
  using namespace qr::sound;
  if (!Sound().started || !path) return -1;
  if (bufferCount > kMaxSoundBuffers) bufferCount = kMaxSoundBuffers;
  if (Sound().dataType != 0) {
    int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    if (AddStreamSoundFile(path, 0, handle, Sound().dataType, shareWith) != 0 ||
        PrepareStreamSound(handle) != 0) {
      DeleteSoundHandle(handle);
      return -1;
    }
    return handle;
  }
  std::vector<uint8_t> image;
  if (!ReadWholeFile(path, image)) {
    WriteLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
    return -1;
  }
  int handle = qr::sound::LoadSoundFromMemory(image.data(), image.size(), bufferCount, -1);
  if (handle == -1) WriteLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
  return handle;
}
