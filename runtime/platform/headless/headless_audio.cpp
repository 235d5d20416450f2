#include "platform/headless/headless_audio.h"

namespace qr::platform {

bool HeadlessAudioOutput::Open() {
  if (!deviceAvailable) return false;
  open_ = true;
  origin_ = clock_.now.load();
  framesMixed_ = 0;
  return true;
}

void HeadlessAudioOutput::Close() {
  CatchUp();
  mixer_.ReleaseAll();
  open_ = false;
  recording_ = false;
}

void HeadlessAudioOutput::CatchUp() {
  if (!open_) return;
  uint64_t elapsed = clock_.now.load() - origin_;
  uint64_t due = uint64_t((unsigned __int128)elapsed * kMixRate / 1000000);
  if (due <= framesMixed_) return;
  size_t frames = size_t(due - framesMixed_);
  std::vector<int16_t> mix(2 * frames);
  mixer_.Mix(mix.data(), frames);
  framesMixed_ = due;
  if (recording_) recorded.insert(recorded.end(), mix.begin(), mix.end());
}

void HeadlessAudioOutput::StartRecording() {
  CatchUp();
  recorded.clear();
  recording_ = open_;
}

}  // namespace qr::platform
