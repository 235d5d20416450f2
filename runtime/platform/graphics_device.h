// The graphics device: textures and surfaces in the runtime's formats, render targets, states,
// pre-transformed vertices, and presentation to the window. The renderer behind it is ours.
// Later work fills in the operations; this is the shape the runtime is written against.
#pragma once

#include <cstdint>

namespace qr::platform {

struct DeviceCapabilities {
  int maxTextureWidth = 4096, maxTextureHeight = 4096;
  bool squareTexturesOnly = false;
  bool dxt = true;
  bool blendOperation = true;
  int vertexShaderVersion = 0, pixelShaderVersion = 0;
};

class GraphicsDevice {
 public:
  virtual ~GraphicsDevice() = default;
  // Whether a device can be made at all on this host.
  virtual bool Available() = 0;
  virtual DeviceCapabilities Capabilities() = 0;
};

}  // namespace qr::platform
