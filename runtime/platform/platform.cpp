#include "platform/platform.h"

#include "platform/fonts/freetype_font_engine.h"
#include "platform/codec/standard_codec.h"
#include "platform/gpu/cpu_device.h"
#include "platform/linux/linux_clock.h"
#include "platform/linux/linux_system.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_window.h"

namespace qr::platform {
namespace {

struct RealPlatform {
  LinuxClock clock;
  LinuxSystem system;
  SdlWindow window{clock};
  SdlInput input;
  gpu::CpuGraphicsDevice graphics{window};
  fonts::FreeTypeFontEngine fonts;
  SdlAudioOutput audio;
  StandardAudioCodec codec;
  Platform platform;
  RealPlatform() {
    platform.window = &window;
    platform.clock = &clock;
    platform.system = &system;
    platform.input = &input;
    platform.graphics = &graphics;
    platform.fonts = &fonts;
    platform.audio = &audio;
    platform.codec = &codec;
  }
};

Platform* installed = nullptr;

}  // namespace

Platform& Current() {
  if (installed) return *installed;
  // Built on first use and kept to the end of the process, so no call from a static destructor
  // finds it gone.
  static RealPlatform* real = new RealPlatform();
  return real->platform;
}

void Install(Platform* platform) { installed = platform; }

}  // namespace qr::platform
