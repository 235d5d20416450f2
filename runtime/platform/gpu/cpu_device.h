// Our graphics device: everything is drawn by the CPU rasterizer of this folder into surfaces in
// main memory, and Present hands the back buffer to the window. What the device offers
// (capabilities, usable formats) and how it fails are settings, so tests can build the devices
// the runtime must cope with.
#pragma once

#include <string>
#include <vector>

#include "platform/gpu/pipeline.h"
#include "platform/gpu/resources.h"
#include "platform/gpu/states.h"
#include "platform/graphics_device.h"
#include "platform/window.h"

namespace qr::platform::gpu {

struct CpuDeviceSettings {
  bool available = true;  // false: the host has no device at all
  DeviceCapabilities capabilities;
  AdapterIdentifier identifier{"qr-cpu", "qr CPU rasterizer"};
  // Formats the format checks and creation calls refuse, per use.
  std::vector<TextureFormat> unusableTextures;
  std::vector<TextureFormat> unusableRenderTargets;
  std::vector<TextureFormat> unusableDepthFormats;
  bool failCreateDevice = false;
  bool failMixedProcessing = false;  // creation with mixed vertex processing fails
  // Texture creations that still succeed; -1 for no limit. Each success counts it down.
  int textureCreationsLeft = -1;
  // Operations that fail (with DeviceResult::Failed) whatever they are asked, by name:
  // "CreateTexture", "GetSurfaceLevel", "LockRect", "UpdateSurface", "SetViewport", ...
  std::vector<std::string> failingCalls;
  // The desktop format reported for windowed back buffers; Unknown: from the window's depth.
  TextureFormat desktopFormat = TextureFormat::Unknown;
  // The pixel format the display's 16-bit modes are in (R5G6B5 or X1R5G5B5).
  TextureFormat sixteenBitModes = TextureFormat::R5G6B5;
};

class CpuGraphicsDevice final : public GraphicsDevice {
 public:
  explicit CpuGraphicsDevice(Window& window) : window_(window) {}
  ~CpuGraphicsDevice() override;

  CpuDeviceSettings settings;

  // Makes the device lost, as if the host had taken it away: Present fails until it is re-made.
  void Lose() { lost_ = true; }
  bool Lost() const { return lost_; }
  // Objects made and not yet released (textures and free-standing surfaces), for leak checks.
  int LiveObjects() const { return liveObjects_; }
  const DeviceStates& States() const { return states_; }
  const PresentParameters& Parameters() const { return parameters_; }

  bool Available() override { return settings.available; }
  DeviceCapabilities Capabilities() override { return settings.capabilities; }
  AdapterIdentifier Identifier() override { return settings.identifier; }
  DeviceResult AdapterDisplayMode(TextureFormat& format, int& width, int& height,
                                  int& refreshRate) override;
  int AdapterModeCount(TextureFormat format) override;
  DeviceResult CheckMultiSample(TextureFormat format, bool windowed, int samples,
                                int& qualityLevels) override;
  DeviceResult CheckDeviceFormat(TextureFormat screenFormat, ResourceUsage usage,
                                 ResourceKind kind, TextureFormat format) override;
  DeviceResult CheckDepthStencilMatch(TextureFormat screenFormat, TextureFormat renderTargetFormat,
                                      TextureFormat depthFormat) override;

  DeviceResult CreateDevice(const PresentParameters& parameters,
                            VertexProcessing processing) override;
  void ReleaseDevice() override;
  bool DeviceExists() override { return backBuffer_ != nullptr; }

  DeviceResult GetBackBuffer(Surface*& out) override;
  DeviceResult GetDescription(Surface* surface, SurfaceDescription& out) override;
  DeviceResult CreateTexture(int width, int height, int levels, ResourceUsage usage,
                             TextureFormat format, MemoryPool pool, Texture*& out) override;
  int LevelCount(Texture* texture) override;
  DeviceResult GetSurfaceLevel(Texture* texture, int level, Surface*& out) override;
  DeviceResult CreateOffscreenPlainSurface(int width, int height, TextureFormat format,
                                           MemoryPool pool, Surface*& out) override;
  DeviceResult CreateRenderTarget(int width, int height, TextureFormat format, bool lockable,
                                  Surface*& out) override;
  DeviceResult CreateDepthStencilSurface(int width, int height, TextureFormat format,
                                         bool discard, Surface*& out) override;
  void Release(DeviceObject* object) override;

  DeviceResult LockRect(Surface* surface, const Rect* rect, LockedRect& out) override;
  DeviceResult UnlockRect(Surface* surface) override;
  DeviceResult LockRect(Texture* texture, int level, const Rect* rect, LockedRect& out) override;
  DeviceResult UnlockRect(Texture* texture, int level) override;

  DeviceResult ColorFill(Surface* surface, const Rect* rect, uint32_t argb) override;
  DeviceResult UpdateSurface(Surface* source, const Rect* sourceRect, Surface* destination,
                             int destinationX, int destinationY) override;
  DeviceResult StretchRect(Surface* source, const Rect* sourceRect, Surface* destination,
                           const Rect* destinationRect, TextureFilter filter) override;
  DeviceResult GetRenderTargetData(Surface* renderTarget, Surface* destination) override;

  DeviceResult SetRenderTarget(Surface* surface) override;
  DeviceResult GetRenderTarget(Surface*& out) override;
  DeviceResult SetDepthStencilSurface(Surface* surface) override;
  DeviceResult SetViewport(const Viewport& viewport) override;
  DeviceResult GetViewport(Viewport& out) override;
  DeviceResult BeginScene() override;
  DeviceResult EndScene() override;
  DeviceResult SetRenderState(RenderState state, uint32_t value) override;
  DeviceResult GetRenderState(RenderState state, uint32_t& value) override;
  DeviceResult SetTextureStageState(int stage, TextureStageState state, uint32_t value) override;
  DeviceResult SetSamplerState(int stage, SamplerState state, uint32_t value) override;
  DeviceResult SetTexture(int stage, Texture* texture) override;
  DeviceResult SetVertexFormat(uint32_t format) override;
  DeviceResult DrawPrimitiveUP(PrimitiveType type, int count, const void* vertices,
                               int stride) override;
  DeviceResult Clear(uint32_t flags, uint32_t argb, float z) override;
  DeviceResult Present(const Rect* source, const Rect* destination) override;

  DeviceResult CreateVertexShader(const void* code, size_t size, Shader*& out) override;
  DeviceResult CreatePixelShader(const void* code, size_t size, Shader*& out) override;
  DeviceResult SetVertexShader(Shader* shader) override;
  DeviceResult SetPixelShader(Shader* shader) override;
  DeviceResult SetVertexShaderConstant(int index, const float* values, int vectors) override;
  DeviceResult SetPixelShaderConstant(int index, const float* values, int vectors) override;

 private:
  bool Fails(const char* call) const;
  bool Usable(const std::vector<TextureFormat>& refused, TextureFormat format) const;
  void AddReference(CpuSurface* surface);
  void DropReference(CpuSurface* surface);
  void AddReference(CpuTexture* texture);
  void DropReference(CpuTexture* texture);
  // Binds surface into slot, holding a reference on it and dropping the old one.
  void Bind(CpuSurface*& slot, CpuSurface* surface);
  DeviceResult MakeSurface(const SurfaceDescription& description, Surface*& out);

  Window& window_;
  PresentParameters parameters_;
  CpuSurface* backBuffer_ = nullptr;
  CpuSurface* renderTarget_ = nullptr;
  CpuSurface* depthSurface_ = nullptr;
  Viewport viewport_;
  DeviceStates states_;
  Pipeline pipeline_;          // the states resolved for drawing, rebuilt after any change
  bool pipelineDirty_ = true;
  bool inScene_ = false;
  bool lost_ = false;
  int liveObjects_ = 0;
};

}  // namespace qr::platform::gpu
