// Sound output with buffers that play, loop, stop and report positions, each with its own volume:
// what the runtime needs of a DirectSound-like device. The mixer behind it is ours
// (platform/audio_mixer.h); the real output plays the mix on a sound card, the headless one keeps
// it in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qr::platform {

// Linear PCM: 8-bit samples unsigned, 16-bit signed, little-endian, channels interleaved.
struct PcmFormat {
  int channels = 2;
  int samplesPerSecond = 44100;
  int bitsPerSample = 16;
  int BlockAlign() const { return channels * bitsPerSample / 8; }
  bool operator==(const PcmFormat&) const = default;
};

// What the device offers, as the runtime reports it in its log.
struct AudioCapabilities {
  bool primaryMono = true, primaryStereo = true, primary8Bit = true, primary16Bit = true;
  bool secondaryMono = true, secondaryStereo = true, secondary8Bit = true, secondary16Bit = true;
  int minSecondaryRate = 1000, maxSecondaryRate = 192000;
  uint32_t totalHardwareMemory = 0, freeHardwareMemory = 0;  // bytes; we mix in main memory
};

struct AudioDeviceName {
  std::string module;       // the back end's short name
  std::string description;  // what a person reads
};

using AudioBufferId = int;  // 0 is no buffer

enum AudioBufferStatus : unsigned { kBufferPlaying = 1, kBufferLooping = 4 };

// Volume levels are hundredths of a decibel: 0 is full, -10000 silence.
constexpr int kSilentLevel = -10000;

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  virtual std::vector<AudioDeviceName> DeviceNames() = 0;
  // Opens the default device; false when there is none.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual AudioCapabilities Capabilities() = 0;
  virtual bool SetPrimaryFormat(const PcmFormat& format) = 0;

  // A buffer of bytes (a whole number of blocks, at least one block) in any PCM format of 8 or
  // 16 bits, 1 or 2 channels and 1,000 to 192,000 samples per second; 0 when refused.
  virtual AudioBufferId CreateBuffer(const PcmFormat& format, uint32_t bytes) = 0;
  // A second buffer over the same samples, with its own position, state and volume.
  virtual AudioBufferId DuplicateBuffer(AudioBufferId source) = 0;
  virtual void ReleaseBuffer(AudioBufferId buffer) = 0;
  // Two-part lock of a ring region from offset (the second part is empty unless the region
  // wraps); what is written there reaches the samples at Unlock.
  virtual bool Lock(AudioBufferId buffer, uint32_t offset, uint32_t bytes, void** part1,
                    uint32_t* bytes1, void** part2, uint32_t* bytes2) = 0;
  virtual bool Unlock(AudioBufferId buffer, void* part1, uint32_t bytes1, void* part2,
                      uint32_t bytes2) = 0;
  virtual bool Play(AudioBufferId buffer, bool loop) = 0;
  virtual bool Stop(AudioBufferId buffer) = 0;
  // AudioBufferStatus bits; false when the buffer is unknown.
  virtual bool Status(AudioBufferId buffer, unsigned* status) = 0;
  virtual bool SetVolume(AudioBufferId buffer, int level) = 0;  // kSilentLevel .. 0
  virtual bool GetVolume(AudioBufferId buffer, int* level) = 0;
  // play: the byte offset up to which the mixer has consumed the buffer; write: where writing
  // is safe from (here the same).
  virtual bool Positions(AudioBufferId buffer, uint32_t* play, uint32_t* write) = 0;
  virtual bool SetPosition(AudioBufferId buffer, uint32_t play) = 0;
};

}  // namespace qr::platform
