#include "platform/sdl/sdl_audio.h"

namespace qr::platform {

std::vector<AudioDeviceName> SdlAudioOutput::DeviceNames() {
  std::vector<AudioDeviceName> names;
  if (!audioStarted_) return names;
  const char* driver = SDL_GetCurrentAudioDriver();
  int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    names.push_back({driver ? driver : "", name ? name : ""});
  }
  if (names.empty() && driver) names.push_back({driver, "default"});
  return names;
}

bool SdlAudioOutput::Open() {
  if (device_) return true;
  if (!audioStarted_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    audioStarted_ = true;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = kMixRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kCallbackFrames;
  want.callback = &SdlAudioOutput::Callback;
  want.userdata = this;
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioStarted_ = false;
    return false;
  }
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlAudioOutput::Close() {
  if (device_) {
    SDL_CloseAudioDevice(device_);  // waits for a running callback
    device_ = 0;
  }
  mixer_.ReleaseAll();
  if (audioStarted_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioStarted_ = false;
  }
}

void SdlAudioOutput::Callback(void* self, Uint8* stream, int length) {
  auto* output = static_cast<SdlAudioOutput*>(self);
  output->mixer_.Mix(reinterpret_cast<int16_t*>(stream), size_t(length) / 4);
}

}  // namespace qr::platform
