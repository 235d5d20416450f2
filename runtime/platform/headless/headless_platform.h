// All headless facilities in one object, ready to install: what tests and the replay runner use.
#pragma once

#include "platform/fonts/freetype_font_engine.h"
#include "platform/codec/standard_codec.h"
#include "platform/gpu/cpu_device.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_clock.h"
#include "platform/headless/headless_input.h"
#include "platform/headless/headless_system.h"
#include "platform/headless/headless_window.h"
#include "platform/platform.h"

namespace qr::platform {

struct HeadlessPlatform {
  HeadlessClock clock;
  HeadlessSystem system;
  HeadlessWindow window{clock};
  HeadlessInput input;
  gpu::CpuGraphicsDevice graphics{window};  // presents into the headless window
  fonts::FreeTypeFontEngine fonts;          // the host's own fonts: tests see what players see
  HeadlessAudioOutput audio{clock};
  StandardAudioCodec codec;
  Platform platform;

  HeadlessPlatform() {
    platform.window = &window;
    platform.clock = &clock;
    platform.system = &system;
    platform.input = &input;
    platform.graphics = &graphics;
    platform.fonts = &fonts;
    platform.audio = &audio;
    platform.codec = &codec;
  }
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;
};

}  // namespace qr::platform
