// The graphics device as the runtime keeps it: the device objects it made, what it learnt about
// the device, and the texture formats it found usable.
#pragma once

#include <vector>

#include "platform/graphics_device.h"
#include "platform/window.h"

namespace qr::graphics {

using platform::TextureFormat;

// Rows of the texture format table. A graphic stores its format as one of these indices.
enum FormatIndex : int {
  kFormatColour16 = 0,
  kFormatColour32 = 1,
  kFormatAlpha16 = 2,
  kFormatAlpha32 = 3,
  kFormatAlphaTest16 = 4,
  kFormatAlphaTest32 = 5,
  kFormatDxt1 = 6,  // ... kFormatDxt1 + 4 is DXT5
  kFormatDrawable16 = 11,
  kFormatDrawable32 = 12,
  kFormatDrawableAlpha32 = 13,
  kFormatDrawableScreen = 14,
  kFormatAlphaTestScreen = 15,
  kFormatDepth = 16,
  kFormatCount = 17,
};

struct TextureFormatTable {
  TextureFormat screen = TextureFormat::Unknown;
  TextureFormat entries[kFormatCount] = {};
};

using RestoreCallback = void (*)();

struct GraphicsDevice {
  bool ready = false;
  bool hardware = false;
  bool libraryLoaded = false;
  bool directDraw = false;
  platform::Surface* backBuffer = nullptr;
  platform::Surface* secondBackBuffer = nullptr;
  platform::Surface* depthSurface = nullptr;
  int depthWidth = 0, depthHeight = 0;
  platform::DeviceCapabilities caps;
  bool shaderCapable = false;
  bool vertexShader20 = false, pixelShader20 = false;
  bool blendOpSupported = false;
  int maxTextureSize = 0;
  bool squareTexturesOnly = false;
  bool shadersEnabled = false;
  TextureFormatTable formats;
  RestoreCallback restoreCallback = nullptr;  // null: the default, RestoreGraphicsFromFiles
  std::vector<platform::DisplayMode> displayModes;
  bool displayModesRead = false;
};

GraphicsDevice& Device();
// The device facility of the platform (null when the host has none).
platform::GraphicsDevice* Host();

int InitGraphics();
int EndGraphics();
int CreateGraphicsDevice();
void ReleaseDirect3D();
int CreateSecondBackBuffer();
// force: switch even when nothing changed (the window mode changed). -1 keeps a value.
int ChangeScreenMode(int width, int height, int colourBits, int force, int refreshRate);
int RecreateGraphicsDevice();
// The screen's colour depth as the device runs it (16 or 32).
int ScreenColourBits();

// Fills the format table and writes its log lines; -1 when a required row has no format.
int ProbeTextureFormats();

}  // namespace qr::graphics
