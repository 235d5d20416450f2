// The graphics device: textures and surfaces in the runtime's formats, render targets, states,
// pre-transformed vertices, and presentation to the window. The operations are the ones the
// graphics runtime uses; the renderer behind them is ours (platform/gpu/).
//
// Every call returns a DeviceResult (Ok is 0). Objects (textures, surfaces, shaders) are
// reference counted: creating or fetching one hands the caller a reference, Release gives it back.
// A texture level's surface keeps its texture alive.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

namespace qr::platform {

enum class DeviceResult : int {
  Ok = 0,
  Failed = 1,          // the operation could not be done
  InvalidCall = 2,     // bad arguments or a call in the wrong state
  NotSupported = 3,    // the device does not offer this (shaders, a format)
  OutOfMemory = 4,
  DeviceLost = 5,      // the device was lost; it must be released and created again
  NotAvailable = 6,    // the format check found the format unusable
};

inline bool Succeeded(DeviceResult r) { return r == DeviceResult::Ok; }

enum class TextureFormat : int {
  Unknown = 0,
  R5G6B5,
  X1R5G5B5,
  X8R8G8B8,
  A4R4G4B4,
  A1R5G5B5,
  A8R8G8B8,
  DXT1,
  DXT2,
  DXT3,
  DXT4,
  DXT5,
  D16,
  D24X8,
  D32,
};

// Where an object's memory lives.
enum class MemoryPool : int {
  Default = 0,       // device memory: render targets, default-pool textures
  Managed = 1,       // kept by the device and restored by it
  SystemMemory = 2,  // main memory; the source of UpdateSurface, the target of GetRenderTargetData
};

enum class ResourceUsage : int { Plain = 0, RenderTarget = 1, DepthStencil = 2 };
enum class ResourceKind : int { Texture = 0, Surface = 1 };

enum class PrimitiveType : int {
  PointList = 0,
  LineList,
  LineStrip,
  TriangleList,
  TriangleStrip,
  TriangleFan,
};

// Vertex layouts are built from these bits. Pre-transformed vertices always start with x, y, z,
// rhw (four floats); then, in this order, the diffuse colour, the specular colour (0xAARRGGBB
// words) and one or two (u, v) float pairs.
namespace vertex_format {
constexpr uint32_t kPositionRhw = 1 << 0;
constexpr uint32_t kDiffuse = 1 << 1;
constexpr uint32_t kSpecular = 1 << 2;
constexpr uint32_t kTexture1 = 1 << 3;  // one (u, v) pair
constexpr uint32_t kTexture2 = 1 << 4;  // two (u, v) pairs (not together with kTexture1)
}  // namespace vertex_format

enum class RenderState : int {
  ZEnable = 0,          // 0 / 1: depth test against the bound depth surface
  ZWriteEnable,         // 0 / 1
  ZFunction,            // CompareFunction
  AlphaTestEnable,      // 0 / 1
  AlphaReference,       // 0..255
  AlphaFunction,        // CompareFunction
  AlphaBlendEnable,     // 0 / 1
  SourceBlend,          // BlendFactor
  DestinationBlend,     // BlendFactor
  BlendOperation,       // BlendOperation
  TextureFactor,        // 0xAARRGGBB
  ShadeMode,            // ShadeMode
  SpecularEnable,       // 0 / 1
  CullMode,             // CullMode
  DitherEnable,         // accepted, no effect
  Lighting,             // accepted, no effect (vertices are pre-transformed)
  Count
};

enum class CompareFunction : uint32_t {
  Never = 0, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always
};

enum class BlendFactor : uint32_t {
  Zero = 0,
  One,
  SourceColor,
  InverseSourceColor,
  SourceAlpha,
  InverseSourceAlpha,
  DestinationAlpha,
  InverseDestinationAlpha,
  DestinationColor,
  InverseDestinationColor,
  SourceAlphaSaturate,
};

enum class BlendOperation : uint32_t { Add = 0, Subtract, ReverseSubtract, Min, Max };
enum class ShadeMode : uint32_t { Flat = 0, Gouraud = 1 };
// Which winding is dropped; windings are as seen on the screen (y downwards).
enum class CullMode : uint32_t { None = 0, Clockwise = 1, CounterClockwise = 2 };

enum class TextureStageState : int {
  ColorOperation = 0,  // StageOperation
  ColorArgument1,      // StageArgument bits
  ColorArgument2,
  AlphaOperation,
  AlphaArgument1,
  AlphaArgument2,
  TexCoordIndex,       // which (u, v) pair of the vertex the stage reads
  Count
};

enum class StageOperation : uint32_t {
  Disable = 0,
  SelectArg1,
  SelectArg2,
  Modulate,
  Modulate2x,
  Modulate4x,
  Add,
  AddSigned,
  Subtract,
  BlendDiffuseAlpha,   // arg1 * diffuse alpha + arg2 * (1 - diffuse alpha)
  BlendTextureAlpha,   // the same with the texture's alpha
  BlendFactorAlpha,    // the same with the texture factor's alpha
  BlendCurrentAlpha,   // the same with the current (previous stage's) alpha
};

// An argument is one of the sources, optionally with modifier bits.
namespace stage_argument {
constexpr uint32_t kCurrent = 0;   // the previous stage's result (the diffuse colour in stage 0)
constexpr uint32_t kTexture = 1;   // a stage without a texture reads opaque white
constexpr uint32_t kDiffuse = 2;
constexpr uint32_t kSpecular = 3;
constexpr uint32_t kFactor = 4;    // RenderState::TextureFactor
constexpr uint32_t kSourceMask = 0xFF;
constexpr uint32_t kComplement = 0x100;      // 1 - value
constexpr uint32_t kAlphaReplicate = 0x200;  // the alpha in every channel
}  // namespace stage_argument

enum class SamplerState : int {
  AddressU = 0,   // TextureAddress
  AddressV,
  MagFilter,      // TextureFilter
  MinFilter,
  MipFilter,
  MaxAnisotropy,  // accepted; anisotropic filtering is done as linear
  Count
};

enum class TextureAddress : uint32_t { Clamp = 0, Wrap = 1, Mirror = 2 };
// None is for the mip filter only: no mip levels are used.
enum class TextureFilter : uint32_t { Point = 0, Linear = 1, Anisotropic = 2, None = 3 };

constexpr int kTextureStages = 8;

enum class SwapEffect : int { Discard = 0, Copy = 1 };
enum class VertexProcessing : int { Software = 0, Mixed = 1 };

struct PresentParameters {
  int backBufferWidth = 640, backBufferHeight = 480;
  TextureFormat backBufferFormat = TextureFormat::X8R8G8B8;
  int backBufferCount = 1;
  bool lockableBackBuffer = true;
  SwapEffect swapEffect = SwapEffect::Copy;
  bool windowed = true;
  int refreshRate = 0;            // full screen only; 0 = the display's default
  bool presentImmediately = false;  // false: wait for the vertical blank
};

struct DeviceCapabilities {
  int maxTextureWidth = 4096, maxTextureHeight = 4096;
  bool squareTexturesOnly = false;
  bool dxt = true;             // DXT1..DXT5 textures can be made
  bool blendOperation = true;  // RenderState::BlendOperation other than Add works
  // Shader model as (major << 8) | minor; 0 = no shaders.
  int vertexShaderVersion = 0, pixelShaderVersion = 0;
  int maxAnisotropy = 16;
};

struct AdapterIdentifier {
  std::string driver;
  std::string description;
};

struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
};

struct SurfaceDescription {
  TextureFormat format = TextureFormat::Unknown;
  ResourceUsage usage = ResourceUsage::Plain;
  MemoryPool pool = MemoryPool::Default;
  int width = 0, height = 0;
  bool lockable = false;
};

struct LockedRect {
  void* bits = nullptr;
  int pitch = 0;  // bytes from one row (a row of 4x4 blocks for DXT) to the next
};

// Objects the device makes. Their contents are reached only through the device.
class DeviceObject {
 public:
  virtual ~DeviceObject() = default;
};
class Surface : public DeviceObject {};
class Texture : public DeviceObject {};
class Shader : public DeviceObject {};

namespace clear_flags {
constexpr uint32_t kTarget = 1;
constexpr uint32_t kZBuffer = 2;
}  // namespace clear_flags

class GraphicsDevice {
 public:
  virtual ~GraphicsDevice() = default;

  // --- The adapter: what can be asked before a device exists.
  // Whether a device can be made at all on this host.
  virtual bool Available() = 0;
  virtual DeviceCapabilities Capabilities() = 0;
  virtual AdapterIdentifier Identifier() = 0;
  // The desktop's current format (the windowed back buffer format).
  virtual DeviceResult AdapterDisplayMode(TextureFormat& format, int& width, int& height,
                                          int& refreshRate) = 0;
  // Number of full-screen modes in this format.
  virtual int AdapterModeCount(TextureFormat format) = 0;
  // Ok when multisampling of this kind works (0 = none); qualityLevels receives the count.
  virtual DeviceResult CheckMultiSample(TextureFormat format, bool windowed, int samples,
                                        int& qualityLevels) = 0;
  virtual DeviceResult CheckDeviceFormat(TextureFormat screenFormat, ResourceUsage usage,
                                         ResourceKind kind, TextureFormat format) = 0;
  virtual DeviceResult CheckDepthStencilMatch(TextureFormat screenFormat,
                                              TextureFormat renderTargetFormat,
                                              TextureFormat depthFormat) = 0;

  // --- The device.
  // Makes the device for the window; a device made before is released first.
  virtual DeviceResult CreateDevice(const PresentParameters& parameters,
                                    VertexProcessing processing) = 0;
  // Releases the device and its state (objects the caller still holds stay valid until released).
  virtual void ReleaseDevice() = 0;
  virtual bool DeviceExists() = 0;

  // Back buffer 0 (a reference for the caller).
  virtual DeviceResult GetBackBuffer(Surface*& out) = 0;
  virtual DeviceResult GetDescription(Surface* surface, SurfaceDescription& out) = 0;

  virtual DeviceResult CreateTexture(int width, int height, int levels, ResourceUsage usage,
                                     TextureFormat format, MemoryPool pool, Texture*& out) = 0;
  virtual int LevelCount(Texture* texture) = 0;
  virtual DeviceResult GetSurfaceLevel(Texture* texture, int level, Surface*& out) = 0;
  virtual DeviceResult CreateOffscreenPlainSurface(int width, int height, TextureFormat format,
                                                   MemoryPool pool, Surface*& out) = 0;
  virtual DeviceResult CreateRenderTarget(int width, int height, TextureFormat format,
                                          bool lockable, Surface*& out) = 0;
  virtual DeviceResult CreateDepthStencilSurface(int width, int height, TextureFormat format,
                                                 bool discard, Surface*& out) = 0;
  // Gives back one reference to any object the device made.
  virtual void Release(DeviceObject* object) = 0;

  // rect null locks the whole surface; a DXT rectangle must lie on 4x4 block edges.
  virtual DeviceResult LockRect(Surface* surface, const Rect* rect, LockedRect& out) = 0;
  virtual DeviceResult UnlockRect(Surface* surface) = 0;
  virtual DeviceResult LockRect(Texture* texture, int level, const Rect* rect,
                                LockedRect& out) = 0;
  virtual DeviceResult UnlockRect(Texture* texture, int level) = 0;

  // Transfers. A null rectangle means the whole surface.
  virtual DeviceResult ColorFill(Surface* surface, const Rect* rect, uint32_t argb) = 0;
  // From a system-memory surface into a default-pool surface of the same format.
  virtual DeviceResult UpdateSurface(Surface* source, const Rect* sourceRect, Surface* destination,
                                     int destinationX, int destinationY) = 0;
  // Between default-pool surfaces into a render target, converting and scaling as needed.
  virtual DeviceResult StretchRect(Surface* source, const Rect* sourceRect, Surface* destination,
                                   const Rect* destinationRect, TextureFilter filter) = 0;
  // From a render target into a system-memory surface of the same size and format.
  virtual DeviceResult GetRenderTargetData(Surface* renderTarget, Surface* destination) = 0;

  virtual DeviceResult SetRenderTarget(Surface* surface) = 0;  // also resets the viewport
  virtual DeviceResult GetRenderTarget(Surface*& out) = 0;
  virtual DeviceResult SetDepthStencilSurface(Surface* surface) = 0;  // null unbinds
  virtual DeviceResult SetViewport(const Viewport& viewport) = 0;
  virtual DeviceResult GetViewport(Viewport& out) = 0;

  virtual DeviceResult BeginScene() = 0;
  virtual DeviceResult EndScene() = 0;

  virtual DeviceResult SetRenderState(RenderState state, uint32_t value) = 0;
  virtual DeviceResult GetRenderState(RenderState state, uint32_t& value) = 0;
  virtual DeviceResult SetTextureStageState(int stage, TextureStageState state,
                                            uint32_t value) = 0;
  virtual DeviceResult SetSamplerState(int stage, SamplerState state, uint32_t value) = 0;
  virtual DeviceResult SetTexture(int stage, Texture* texture) = 0;  // null unbinds
  virtual DeviceResult SetVertexFormat(uint32_t format) = 0;

  // Draws count primitives from caller memory; a scene must be open.
  virtual DeviceResult DrawPrimitiveUP(PrimitiveType type, int count, const void* vertices,
                                       int stride) = 0;
  // Clears the viewport of the render target and / or the depth surface.
  virtual DeviceResult Clear(uint32_t flags, uint32_t argb, float z) = 0;

  // Shows the back buffer in the window; null rectangles mean the whole back buffer and the whole
  // client area. DeviceLost when the frame could not be shown: the device must be made again.
  virtual DeviceResult Present(const Rect* source, const Rect* destination) = 0;

  // Shaders. Our device has none: creation and constants are refused; binding null is fine.
  virtual DeviceResult CreateVertexShader(const void* code, size_t size, Shader*& out) = 0;
  virtual DeviceResult CreatePixelShader(const void* code, size_t size, Shader*& out) = 0;
  virtual DeviceResult SetVertexShader(Shader* shader) = 0;
  virtual DeviceResult SetPixelShader(Shader* shader) = 0;
  virtual DeviceResult SetVertexShaderConstant(int index, const float* values, int vectors) = 0;
  virtual DeviceResult SetPixelShaderConstant(int index, const float* values, int vectors) = 0;
};

}  // namespace qr::platform
