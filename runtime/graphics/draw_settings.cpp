#include "graphics/draw_settings.h"

#include <algorithm>

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "graphics/draw_state.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "qr.h"

namespace qr::graphics {

DrawSettings& Draw() {
  static DrawSettings settings;
  return settings;
}

CreationSettings& Creation() {
  static CreationSettings settings;
  return settings;
}

void UpdateDiffuse() {
  DrawSettings& s = Draw();
  uint32_t alpha = s.blendMode != 0 ? uint32_t(s.blendParam) : 255u;
  s.diffuse = (alpha << 24) | (s.brightness & 0xFFFFFF);
}

void ResetDrawSettings() {
  DrawSettings& s = Draw();
  s = DrawSettings{};
  Creation() = CreationSettings{};
  s.brightness = 0xFFFFFF;
  s.drawTarget = kBackScreen;
  s.targetWidth = Screen().width;
  s.targetHeight = Screen().height;
  s.clip = ClipArea{0, 0, s.targetWidth, s.targetHeight, 0.0f, 0.0f, float(s.targetWidth),
                    float(s.targetHeight)};
  s.rawClip[2] = s.targetWidth;
  s.rawClip[3] = s.targetHeight;
  UpdateDiffuse();
}

namespace {

struct Layout {
  int redShift, redWidth, greenShift, greenWidth, blueShift, blueWidth;
  uint32_t spare;
};

Layout ScreenLayout() {
  if (ScreenColourBits() == 32) return Layout{16, 8, 8, 8, 0, 8, 0xFF000000u};
  return Layout{11, 5, 5, 6, 0, 5, 0};
}

}  // namespace

}  // namespace qr::graphics

using namespace qr::graphics;

int MakeColor(int red, int green, int blue) {
  Layout l = ScreenLayout();
  uint32_t r = uint32_t(red & 0xFF) >> (8 - l.redWidth);
  uint32_t g = uint32_t(green & 0xFF) >> (8 - l.greenWidth);
  uint32_t b = uint32_t(blue & 0xFF) >> (8 - l.blueWidth);
  return int((r << l.redShift) | (g << l.greenShift) | (b << l.blueShift) | l.spare);
}

int SplitColor(int colour, int* red, int* green, int* blue) {
  Layout l = ScreenLayout();
  uint32_t c = uint32_t(colour);
  auto channel = [c](int shift, int width) {
    uint32_t max = (1u << width) - 1;
    return int(((c >> shift) & max) * 255 / max);
  };
  if (red) *red = channel(l.redShift, l.redWidth);
  if (green) *green = channel(l.greenShift, l.greenWidth);
  if (blue) *blue = channel(l.blueShift, l.blueWidth);
  return 0;
}

int SetBlendMode(int code, int param) {
  DrawSettings& s = Draw();
  if (code == s.blendMode && param == s.blendParam) return 0;
  qr::core::WaitWhileInactive();
  s.blendMode = code;
  s.blendParam = std::clamp(param, 0, 255);
  UpdateDiffuse();
  return 0;
}

int SetBrightness(int red, int green, int blue) {
  DrawSettings& s = Draw();
  uint32_t value = uint32_t(std::clamp(red, 0, 255)) << 16 | uint32_t(std::clamp(green, 0, 255)) << 8 |
                   uint32_t(std::clamp(blue, 0, 255));
  if (value == s.brightness) return 0;
  s.brightness = value;
  UpdateDiffuse();
  return 0;
}

int SetFilterMode(int mode) {
  DrawSettings& s = Draw();
  if (mode == s.filterMode) return 0;
  s.filterMode = mode;
  if (Device().ready && Device().hardware) ApplyFilterMode();
  return 0;
}
