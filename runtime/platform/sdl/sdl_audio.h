// The real sound output: our mixer on SDL's audio thread, playing 44,100 Hz stereo 16-bit
// through the default device (SDL converts where the card wants something else).
#pragma once

#include <SDL.h>

#include "platform/audio_mixer.h"

namespace qr::platform {

class SdlAudioOutput final : public MixingAudioOutput {
 public:
  ~SdlAudioOutput() override { Close(); }
  std::vector<AudioDeviceName> DeviceNames() override;
  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return device_ != 0; }

  // Frames per callback: the latency of the output is about this many frames (23 ms).
  static constexpr int kCallbackFrames = 1024;

 private:
  static void Callback(void* self, Uint8* stream, int length);
  SDL_AudioDeviceID device_ = 0;
  bool audioStarted_ = false;
};

}  // namespace qr::platform
