// The headless sound output: the same mixer as the sound card's, run as the headless clock
// advances, so positions move with the run's time and what was played can be kept and read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/audio_mixer.h"
#include "platform/headless/headless_clock.h"

namespace qr::platform {

class HeadlessAudioOutput final : public MixingAudioOutput {
 public:
  explicit HeadlessAudioOutput(HeadlessClock& clock) : clock_(clock) {}

  bool deviceAvailable = true;  // false: a machine without a sound card
  std::vector<AudioDeviceName> devices{{"headless", "Headless mixer"}};
  AudioCapabilities capabilities;

  std::vector<AudioDeviceName> DeviceNames() override { return devices; }
  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  AudioCapabilities Capabilities() override { return capabilities; }

  // Mixes everything due up to the clock's present time.
  void CatchUp();
  // Keeps what is mixed from now on in `recorded` (interleaved left, right).
  void StartRecording();
  void StopRecording() { recording_ = false; }
  std::vector<int16_t> recorded;
  uint64_t FramesMixed() const { return framesMixed_; }

 protected:
  void BeforeAccess() override { CatchUp(); }

 private:
  HeadlessClock& clock_;
  bool open_ = false;
  bool recording_ = false;
  uint64_t origin_ = 0;  // clock time of frame 0, microseconds
  uint64_t framesMixed_ = 0;
};

}  // namespace qr::platform
