// A device that forwards every call to another and writes down each call first: its name, its key
// arguments as text and as numbers, and for DrawPrimitiveUP a copy of the vertices. Tests read the
// record to see what the graphics runtime asked of the device.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/graphics_device.h"

namespace qr::platform::gpu {

struct RecordedCall {
  std::string name;               // "SetRenderState"
  std::string arguments;          // "AlphaReference, 16"
  std::vector<int64_t> values;    // the numeric arguments in order
  std::vector<uint8_t> vertices;  // DrawPrimitiveUP: the bytes the call read
  DeviceResult result = DeviceResult::Ok;
};

class RecordingGraphicsDevice final : public GraphicsDevice {
 public:
  explicit RecordingGraphicsDevice(GraphicsDevice& inner) : inner_(inner) {}

  std::vector<RecordedCall> calls;
  void Clear() { calls.clear(); }
  // Calls of one name, and how many there were.
  std::vector<const RecordedCall*> Named(const std::string& name) const;
  int Count(const std::string& name) const;
  // "Name(arguments)" for every call, one per line: handy in failure messages.
  std::string Text() const;

  bool Available() override;
  DeviceCapabilities Capabilities() override;
  AdapterIdentifier Identifier() override;
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
  bool DeviceExists() override;
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
  DeviceResult Note(const char* name, std::string arguments, std::vector<int64_t> values,
                    DeviceResult result);
  // Objects are named by the order they were first seen: "#1", "#2", ...
  std::string Id(const void* object);
  GraphicsDevice& inner_;
  std::vector<std::pair<const void*, int>> ids_;
  int nextId_ = 1;
};

}  // namespace qr::platform::gpu
