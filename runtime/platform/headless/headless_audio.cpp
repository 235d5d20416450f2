#include "platform/headless/headless_audio.h"

#include <algorithm>

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
  uint64_t frames = due - framesMixed_;
  framesMixed_ = due;
  // A test clock may jump by days: unheard time is skipped, not mixed.
  if (!recording_ && frames > kMixRate) {
    mixer_.Skip(frames);
    return;
  }
  int16_t chunk[2 * 1024];
  while (frames) {
    size_t n = size_t(std::min<uint64_t>(frames, 1024));
    mixer_.Mix(chunk, n);
    if (recording_) recorded.insert(recorded.end(), chunk, chunk + 2 * n);
    frames -= n;
  }
}

void HeadlessAudioOutput::StartRecording() {
  CatchUp();
  recorded.clear();
  recording_ = open_;
}

}  // namespace qr::platform
