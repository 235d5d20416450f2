// One object that gathers the host's facilities. The runtime reaches the host only through it.
// The default is the real host; tests and the headless runner install another before start.
#pragma once

#include "platform/audio_codec.h"
#include "platform/audio_output.h"
#include "platform/clock.h"
#include "platform/font_engine.h"
#include "platform/graphics_device.h"
#include "platform/input_devices.h"
#include "platform/system.h"
#include "platform/window.h"

namespace qr::platform {

struct Platform {
  Window* window = nullptr;
  Clock* clock = nullptr;
  System* system = nullptr;
  InputDevices* input = nullptr;         // null until the input facility exists
  AudioOutput* audio = nullptr;          // null: no sound output at all
  AudioCodec* codec = nullptr;           // compressed sound to PCM
  FontEngine* fonts = nullptr;
  GraphicsDevice* graphics = nullptr;
};

// The platform in use; the real one unless another was installed.
Platform& Current();

// Installs another platform (tests, the headless runner). The object must outlive its use; null
// goes back to the real one. Never called by a game.
void Install(Platform* platform);

}  // namespace qr::platform
