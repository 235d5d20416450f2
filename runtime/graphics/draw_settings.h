// What the program controls about drawing: blend mode, brightness, filter, clip area and the
// draw target; and the creation settings of new graphics.
#pragma once

#include <cstdint>

namespace qr::graphics {

// Screen codes a draw target may be besides a drawable graphic.
constexpr int kBackScreen = -2;
constexpr int kFrontScreen = -4;

struct ClipArea {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  float leftF = 0, topF = 0, rightF = 0, bottomF = 0;
};

struct DrawSettings {
  int blendMode = 0;    // 0-12
  int blendParam = 0;   // 0-255
  uint32_t brightness = 0xFFFFFF;  // 0xRRGGBB
  int filterMode = 0;   // 0 nearest, 1 bilinear, 2 anisotropic
  int drawTarget = kBackScreen;
  int targetWidth = 0, targetHeight = 0;
  ClipArea clip;
  bool clipEmpty = false;
  int rawClip[4] = {0, 0, 0, 0};  // as the program gave it, re-applied when the window moves
  float depth = 0.2f;
  int maxAnisotropy = 1;
  int blendGraphic = -1;
  uint32_t diffuse = 0xFFFFFFFF;  // (alpha << 24) | brightness
  bool frontTimerRunning = false;
};

// Settings that new graphics are made with.
struct CreationSettings {
  uint32_t transparentColour = 0;  // 0xRRGGBB
  bool useTransparentColour = true;
  int colourDepth = 0;  // 0: the screen's
  bool makeDrawable = false;
  bool drawableWithAlpha = false;  // drawable graphics get an alpha channel
  bool emptyWithAlpha = false;
  bool defaultPool = false;
  bool topLeftTransparent = false;
  bool colourBlending = false;
};

DrawSettings& Draw();
CreationSettings& Creation();

// Back to the defaults (graphics start and every screen mode change).
void ResetDrawSettings();
// Recomputes the diffuse colour from blend mode, parameter and brightness.
void UpdateDiffuse();

}  // namespace qr::graphics
