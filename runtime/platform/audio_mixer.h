// Our mixer: keeps every sound buffer of an audio output, resamples each playing one to the
// output rate with linear interpolation, applies its volume and sums them into one 44,100 Hz
// stereo 16-bit stream, saturating at the output. Both outputs (the sound card and the headless
// one) mix with it, so a test hears exactly what a player hears.
//
// Every operation takes the mixer's lock: the real output mixes on the audio thread while the
// game thread changes buffers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio_output.h"

namespace qr::platform {

constexpr int kMixRate = 44100;

// The mixer's gain for a level in hundredths of a decibel: round(32768 * 10^(level / 2000)),
// 0 at kSilentLevel and below, 32768 (exactly unity) at 0 and above. A voice contributes
// (sample * gain) >> 15 to each output channel.
int32_t MixerGain(int level);

class AudioMixer {
 public:
  AudioBufferId Create(const PcmFormat& format, uint32_t bytes);
  AudioBufferId Duplicate(AudioBufferId source);
  void Release(AudioBufferId buffer);
  void ReleaseAll();
  bool Lock(AudioBufferId buffer, uint32_t offset, uint32_t bytes, void** part1,
            uint32_t* bytes1, void** part2, uint32_t* bytes2);
  bool Unlock(AudioBufferId buffer, void* part1, uint32_t bytes1, void* part2, uint32_t bytes2);
  bool Play(AudioBufferId buffer, bool loop);
  bool Stop(AudioBufferId buffer);
  bool Status(AudioBufferId buffer, unsigned* status);
  bool SetVolume(AudioBufferId buffer, int level);
  bool GetVolume(AudioBufferId buffer, int* level);
  bool Positions(AudioBufferId buffer, uint32_t* play, uint32_t* write);
  bool SetPosition(AudioBufferId buffer, uint32_t play);
  int BufferCount();

  // Mixes the next frames of every playing buffer into out (2 × frames samples, interleaved
  // left and right), advancing their positions.
  void Mix(int16_t* out, size_t frames);
  // Moves every playing buffer on by frames without producing sound (a clock that jumps).
  void Skip(uint64_t frames);

 private:
  struct Voice {
    std::shared_ptr<std::vector<uint8_t>> samples;  // shared by duplicates
    PcmFormat format;
    uint32_t frames = 0;  // length in sample frames
    bool playing = false, looping = false;
    uint32_t frame = 0;      // the next source frame to play
    uint32_t remainder = 0;  // phase between frame and frame + 1, in 1/44,100 of a frame
    int level = 0;
    int32_t gain = 32768;
    std::vector<uint8_t> staging;  // what a Lock hands out until Unlock copies it in
    uint32_t lockOffset = 0;
    bool locked = false;
  };
  Voice* Find(AudioBufferId buffer);
  static void MixVoice(Voice& voice, int32_t* accumulator, size_t frames);
  static void Advance(Voice& voice, size_t frames);

  std::mutex mutex_;
  std::map<AudioBufferId, Voice> voices_;
  AudioBufferId nextId_ = 1;
};

// An audio output whose buffers live in an AudioMixer; subclasses say where the mix goes.
// BeforeAccess runs before every buffer operation (the headless output catches up with its
// clock there).
class MixingAudioOutput : public AudioOutput {
 public:
  AudioCapabilities Capabilities() override { return AudioCapabilities{}; }
  bool SetPrimaryFormat(const PcmFormat& format) override;
  AudioBufferId CreateBuffer(const PcmFormat& format, uint32_t bytes) override;
  AudioBufferId DuplicateBuffer(AudioBufferId source) override;
  void ReleaseBuffer(AudioBufferId buffer) override;
  bool Lock(AudioBufferId buffer, uint32_t offset, uint32_t bytes, void** part1,
            uint32_t* bytes1, void** part2, uint32_t* bytes2) override;
  bool Unlock(AudioBufferId buffer, void* part1, uint32_t bytes1, void* part2,
              uint32_t bytes2) override;
  bool Play(AudioBufferId buffer, bool loop) override;
  bool Stop(AudioBufferId buffer) override;
  bool Status(AudioBufferId buffer, unsigned* status) override;
  bool SetVolume(AudioBufferId buffer, int level) override;
  bool GetVolume(AudioBufferId buffer, int* level) override;
  bool Positions(AudioBufferId buffer, uint32_t* play, uint32_t* write) override;
  bool SetPosition(AudioBufferId buffer, uint32_t play) override;

  AudioMixer& Mixer() { return mixer_; }
  const PcmFormat& PrimaryFormat() const { return primary_; }

 protected:
  virtual void BeforeAccess() {}
  AudioMixer mixer_;
  PcmFormat primary_;
};

}  // namespace qr::platform
