// Sound output with buffers that play, loop, stop and report positions, each with its own volume:
// what the runtime needs of a DirectSound-like device. The mixer behind it is ours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qr::platform {

struct PcmFormat {
  int channels = 2;
  int samplesPerSecond = 44100;
  int bitsPerSample = 16;
  int BlockAlign() const { return channels * bitsPerSample / 8; }
};

struct AudioCapabilities {
  int minSampleRate = 100, maxSampleRate = 200000;
  int hardwareBuffers = 0;
};

using AudioBufferId = int;  // 0 is no buffer

enum AudioBufferStatus : unsigned { kBufferPlaying = 1, kBufferLooping = 4 };

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  virtual std::vector<std::string> DeviceNames() = 0;
  virtual bool Open(int deviceIndex) = 0;
  virtual void Close() = 0;
  virtual AudioCapabilities Capabilities() = 0;
  virtual bool SetPrimaryFormat(const PcmFormat& format) = 0;

  virtual AudioBufferId CreateBuffer(const PcmFormat& format, uint32_t bytes) = 0;
  virtual AudioBufferId DuplicateBuffer(AudioBufferId source) = 0;  // shares the samples
  virtual void ReleaseBuffer(AudioBufferId buffer) = 0;
  // Two-part lock of a ring region; the second part is empty unless the region wraps.
  virtual bool Lock(AudioBufferId buffer, uint32_t offset, uint32_t bytes, void** part1,
                    uint32_t* bytes1, void** part2, uint32_t* bytes2) = 0;
  virtual void Unlock(AudioBufferId buffer, void* part1, uint32_t bytes1, void* part2,
                      uint32_t bytes2) = 0;
  virtual bool Play(AudioBufferId buffer, bool loop) = 0;
  virtual bool Stop(AudioBufferId buffer) = 0;
  virtual unsigned Status(AudioBufferId buffer) = 0;
  virtual bool SetVolume(AudioBufferId buffer, int hundredthsOfDecibel) = 0;  // 0 .. -10000
  virtual bool SetPan(AudioBufferId buffer, int hundredthsOfDecibel) = 0;
  virtual bool SetFrequency(AudioBufferId buffer, int samplesPerSecond) = 0;
  virtual bool Positions(AudioBufferId buffer, uint32_t* play, uint32_t* write) = 0;
  virtual bool SetPosition(AudioBufferId buffer, uint32_t play) = 0;
};

}  // namespace qr::platform
