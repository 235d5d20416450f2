// Playing, stopping and the volume of sounds held whole in their buffers; streamed sounds go to
// stream_sound.cpp.
#include <cmath>

#include "core/main_window.h"
#include "platform/platform.h"
#include "qr.h"
#include "sound/sound_state.h"

namespace qr::sound {
namespace {

SoundRecord* Live(int handle) {
  if (!Sound().started) return nullptr;
  return SoundTable().Get(handle);
}

bool AnyBufferPlaying(SoundRecord& r) {
  for (int i = 0; i < r.bufferCount; ++i) {
    unsigned status = 0;
    if (r.buffers[i].valid && Output().Status(r.buffers[i].id, &status) && (status & platform::kBufferPlaying))
      return true;
  }
  return false;
}

}  // namespace

// The volume scale of the sound calls: 0..255 to hundredths of a decibel.
int VolumeLevel(int volume) {
  if (volume > 255) volume = 255;
  if (volume <= 0) return platform::kSilentLevel;
  int level = int(1000.0 * std::log10(volume / 255.0));  // truncated toward zero
  return level < platform::kSilentLevel ? platform::kSilentLevel : level;
}

}  // namespace qr::sound

using namespace qr::sound;
namespace platform = qr::platform;

int PlaySoundHandle(int handle, int playType, int restart) {
  SoundRecord* r = Live(handle);
  if (!r) return -1;
  if (r->streamed) return PlayStreamSound(*r, handle, playType, restart);
  if (r->bufferCount == 0) return -1;
  platform::AudioOutput& out = Output();
  uint32_t position = 0;
  if (r->buffers[r->currentBuffer].valid) out.Positions(r->buffers[r->currentBuffer].id, &position, nullptr);
  r->currentBuffer = r->currentBuffer + 1 >= r->bufferCount ? 0 : r->currentBuffer + 1;
  SoundBuffer& buffer = r->buffers[r->currentBuffer];
  unsigned status = 0;
  if (!out.Status(buffer.id, &status)) return -1;
  if (status & platform::kBufferPlaying) {
    if (!restart) return 0;
    out.Stop(buffer.id);
  }
  out.SetPosition(buffer.id, restart ? 0 : position);
  if (!out.Play(buffer.id, playType == 3)) return -1;
  r->playStartTime = GetMillisecondCount();
  if (playType == 0) {
    auto& clock = *platform::Current().clock;
    for (;;) {
      if (qr::core::PumpMessagesUnguarded() != 0) break;
      // The pump may have deleted the sound.
      SoundRecord* still = Live(handle);
      if (!still || !AnyBufferPlaying(*still)) break;
      clock.Sleep(1);
    }
  }
  return 0;
}

int StopSoundHandle(int handle) {
  SoundRecord* r = Live(handle);
  if (!r) return -1;
  if (r->streamed) return StopStreamSound(*r, handle);
  platform::AudioOutput& out = Output();
  for (int i = 0; i < r->bufferCount; ++i) {
    unsigned status = 0;
    if (!out.Status(r->buffers[i].id, &status)) return -1;
    if (status & platform::kBufferPlaying) out.Stop(r->buffers[i].id);
  }
  return 0;
}

int SetSoundVolume(int volume, int handle) {
  SoundRecord* r = Live(handle);
  if (!r) return -1;
  int level = VolumeLevel(volume);
  for (int i = 0; i < r->bufferCount; ++i)
    if (r->buffers[i].valid) Output().SetVolume(r->buffers[i].id, level);
  return 0;
}

int IsSoundPlaying(int handle) {
  SoundRecord* r = Live(handle);
  if (!r) return -1;
  if (r->streamed) return StreamSoundPlaying(*r, handle) ? 1 : 0;
  return AnyBufferPlaying(*r) ? 1 : 0;
}
