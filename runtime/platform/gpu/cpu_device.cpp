#include "platform/gpu/cpu_device.h"

#include <algorithm>

#include "platform/gpu/formats.h"
#include "platform/gpu/pipeline.h"
#include "platform/gpu/rasterizer.h"

namespace qr::platform::gpu {

namespace {

constexpr int kMaxSurfaceSide = 16384;

bool DisplayFormat(TextureFormat f) {
  return f == TextureFormat::X8R8G8B8 || f == TextureFormat::R5G6B5 ||
         f == TextureFormat::X1R5G5B5;
}

bool BackBufferFormat(TextureFormat f) {
  return DisplayFormat(f) || f == TextureFormat::A8R8G8B8 || f == TextureFormat::A1R5G5B5;
}

int BitsOf(TextureFormat f) { return Info(f).bytesPerPixel * 8; }

}  // namespace

CpuGraphicsDevice::~CpuGraphicsDevice() { ReleaseDevice(); }

// --- The adapter.

DeviceResult CpuGraphicsDevice::AdapterDisplayMode(TextureFormat& format, int& width, int& height,
                                                   int& refreshRate) {
  if (!settings.available) return DeviceResult::NotAvailable;
  DisplayMode mode = window_.DesktopMode();
  width = mode.width;
  height = mode.height;
  refreshRate = mode.refreshRate;
  if (settings.desktopFormat != TextureFormat::Unknown)
    format = settings.desktopFormat;
  else if (mode.bitsPerPixel >= 24)
    format = TextureFormat::X8R8G8B8;
  else if (mode.bitsPerPixel == 16)
    format = TextureFormat::R5G6B5;
  else
    format = TextureFormat::Unknown;
  return DeviceResult::Ok;
}

int CpuGraphicsDevice::AdapterModeCount(TextureFormat format) {
  if (!settings.available || !DisplayFormat(format)) return 0;
  if (BitsOf(format) == 16 && format != settings.sixteenBitModes) return 0;
  int count = 0;
  for (const DisplayMode& mode : window_.DisplayModes())
    if (mode.bitsPerPixel == BitsOf(format)) ++count;
  return count;
}

DeviceResult CpuGraphicsDevice::CheckMultiSample(TextureFormat format, bool windowed, int samples,
                                                 int& qualityLevels) {
  (void)windowed;
  qualityLevels = 0;
  if (!settings.available || !Info(format).isColor) return DeviceResult::InvalidCall;
  if (samples != 0) return DeviceResult::NotAvailable;
  qualityLevels = 1;
  return DeviceResult::Ok;
}

bool CpuGraphicsDevice::Fails(const char* call) const {
  return !settings.failingCalls.empty() &&
         std::find(settings.failingCalls.begin(), settings.failingCalls.end(), call) !=
             settings.failingCalls.end();
}

bool CpuGraphicsDevice::Usable(const std::vector<TextureFormat>& refused,
                               TextureFormat format) const {
  return std::find(refused.begin(), refused.end(), format) == refused.end();
}

DeviceResult CpuGraphicsDevice::CheckDeviceFormat(TextureFormat screenFormat, ResourceUsage usage,
                                                  ResourceKind kind, TextureFormat format) {
  if (!settings.available || !DisplayFormat(screenFormat)) return DeviceResult::InvalidCall;
  const FormatInfo info = Info(format);
  bool ok = false;
  switch (usage) {
    case ResourceUsage::Plain:
      ok = (info.isColor || (IsDxt(format) && settings.capabilities.dxt &&
                             kind == ResourceKind::Texture)) &&
           Usable(settings.unusableTextures, format);
      break;
    case ResourceUsage::RenderTarget:
      ok = info.isColor && Usable(settings.unusableRenderTargets, format);
      break;
    case ResourceUsage::DepthStencil:
      ok = info.isDepth && kind == ResourceKind::Surface &&
           Usable(settings.unusableDepthFormats, format);
      break;
  }
  return ok ? DeviceResult::Ok : DeviceResult::NotAvailable;
}

DeviceResult CpuGraphicsDevice::CheckDepthStencilMatch(TextureFormat screenFormat,
                                                       TextureFormat renderTargetFormat,
                                                       TextureFormat depthFormat) {
  if (!settings.available || !DisplayFormat(screenFormat)) return DeviceResult::InvalidCall;
  if (!Info(renderTargetFormat).isColor || !Info(depthFormat).isDepth ||
      !Usable(settings.unusableDepthFormats, depthFormat))
    return DeviceResult::NotAvailable;
  return DeviceResult::Ok;
}

// --- The device.

DeviceResult CpuGraphicsDevice::CreateDevice(const PresentParameters& parameters,
                                             VertexProcessing processing) {
  pipelineDirty_ = true;
  ReleaseDevice();
  if (!settings.available || settings.failCreateDevice) return DeviceResult::Failed;
  if (processing == VertexProcessing::Mixed && settings.failMixedProcessing)
    return DeviceResult::Failed;
  if (!BackBufferFormat(parameters.backBufferFormat) || parameters.backBufferWidth <= 0 ||
      parameters.backBufferHeight <= 0 || parameters.backBufferWidth > kMaxSurfaceSide ||
      parameters.backBufferHeight > kMaxSurfaceSide || parameters.backBufferCount < 1)
    return DeviceResult::InvalidCall;
  if (!parameters.windowed) {
    // Full screen keeps the desktop's mode and the window scales the frame to it, so a back
    // buffer that fits the desktop is shown whatever the display's modes; a larger one needs a
    // display mode of that size and depth.
    DisplayMode desktop = window_.DesktopMode();
    bool found = parameters.backBufferWidth <= desktop.width &&
                 parameters.backBufferHeight <= desktop.height;
    for (const DisplayMode& mode : window_.DisplayModes())
      found |= mode.width == parameters.backBufferWidth &&
               mode.height == parameters.backBufferHeight &&
               mode.bitsPerPixel == BitsOf(parameters.backBufferFormat);
    if (!found) return DeviceResult::NotAvailable;
  }
  SurfaceDescription description;
  description.format = parameters.backBufferFormat;
  description.usage = ResourceUsage::RenderTarget;
  description.pool = MemoryPool::Default;
  description.width = parameters.backBufferWidth;
  description.height = parameters.backBufferHeight;
  description.lockable = parameters.lockableBackBuffer;
  auto surface = CpuSurface::Make(description);
  if (!surface) return DeviceResult::OutOfMemory;
  ++liveObjects_;
  backBuffer_ = surface.release();  // the device's own reference
  Bind(renderTarget_, backBuffer_);
  parameters_ = parameters;
  states_ = DeviceStates();
  viewport_ = Viewport{0, 0, description.width, description.height, 0.0f, 1.0f};
  inScene_ = false;
  lost_ = false;
  return DeviceResult::Ok;
}

void CpuGraphicsDevice::ReleaseDevice() {
  pipelineDirty_ = true;
  for (CpuTexture*& texture : states_.textures) {
    if (texture) DropReference(texture);
    texture = nullptr;
  }
  Bind(renderTarget_, nullptr);
  Bind(depthSurface_, nullptr);
  Bind(backBuffer_, nullptr);
  states_ = DeviceStates();
  inScene_ = false;
  lost_ = false;
}

// --- Objects and references.

void CpuGraphicsDevice::AddReference(CpuSurface* surface) {
  if (surface->container)
    AddReference(surface->container);
  else
    ++surface->refs;
}

void CpuGraphicsDevice::DropReference(CpuSurface* surface) {
  if (surface->container) {
    DropReference(surface->container);
  } else if (--surface->refs == 0) {
    delete surface;
    --liveObjects_;
  }
}

void CpuGraphicsDevice::AddReference(CpuTexture* texture) { ++texture->refs; }

void CpuGraphicsDevice::DropReference(CpuTexture* texture) {
  if (--texture->refs == 0) {
    delete texture;
    --liveObjects_;
  }
}

void CpuGraphicsDevice::Bind(CpuSurface*& slot, CpuSurface* surface) {
  if (surface) AddReference(surface);
  if (slot) DropReference(slot);
  slot = surface;
}

void CpuGraphicsDevice::Release(DeviceObject* object) {
  if (auto* surface = dynamic_cast<CpuSurface*>(object)) {
    DropReference(surface);
  } else if (auto* texture = dynamic_cast<CpuTexture*>(object)) {
    DropReference(texture);
  }
}

DeviceResult CpuGraphicsDevice::GetBackBuffer(Surface*& out) {
  out = nullptr;
  if (Fails("GetBackBuffer")) return DeviceResult::Failed;
  if (!backBuffer_) return DeviceResult::InvalidCall;
  AddReference(backBuffer_);
  out = backBuffer_;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::GetDescription(Surface* surface, SurfaceDescription& out) {
  auto* s = dynamic_cast<CpuSurface*>(surface);
  if (!s) return DeviceResult::InvalidCall;
  out = s->Description();
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::CreateTexture(int width, int height, int levels,
                                              ResourceUsage usage, TextureFormat format,
                                              MemoryPool pool, Texture*& out) {
  out = nullptr;
  if (Fails("CreateTexture")) return DeviceResult::Failed;
  if (!backBuffer_) return DeviceResult::InvalidCall;
  const DeviceCapabilities& caps = settings.capabilities;
  if (width <= 0 || height <= 0 || levels < 0 || width > caps.maxTextureWidth ||
      height > caps.maxTextureHeight || width > kMaxSurfaceSide || height > kMaxSurfaceSide)
    return DeviceResult::InvalidCall;
  if (caps.squareTexturesOnly && width != height) return DeviceResult::InvalidCall;
  if (usage == ResourceUsage::DepthStencil) return DeviceResult::InvalidCall;
  if (usage == ResourceUsage::RenderTarget && pool != MemoryPool::Default)
    return DeviceResult::InvalidCall;
  if (CheckDeviceFormat(TextureFormat::X8R8G8B8, usage, ResourceKind::Texture, format) !=
      DeviceResult::Ok)
    return DeviceResult::NotSupported;
  if (IsDxt(format) && (width % 4 != 0 || height % 4 != 0)) return DeviceResult::InvalidCall;
  if (settings.textureCreationsLeft == 0) return DeviceResult::OutOfMemory;
  auto texture = CpuTexture::Make(width, height, levels, usage, format, pool);
  if (!texture) return DeviceResult::OutOfMemory;
  if (settings.textureCreationsLeft > 0) --settings.textureCreationsLeft;
  ++liveObjects_;
  out = texture.release();
  return DeviceResult::Ok;
}

int CpuGraphicsDevice::LevelCount(Texture* texture) {
  auto* t = dynamic_cast<CpuTexture*>(texture);
  return t ? t->LevelCount() : 0;
}

DeviceResult CpuGraphicsDevice::GetSurfaceLevel(Texture* texture, int level, Surface*& out) {
  out = nullptr;
  if (Fails("GetSurfaceLevel")) return DeviceResult::Failed;
  auto* t = dynamic_cast<CpuTexture*>(texture);
  if (!t || level < 0 || level >= t->LevelCount()) return DeviceResult::InvalidCall;
  AddReference(t);
  out = t->Level(level);
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::MakeSurface(const SurfaceDescription& description, Surface*& out) {
  out = nullptr;
  if (!backBuffer_) return DeviceResult::InvalidCall;
  if (description.width <= 0 || description.height <= 0 ||
      description.width > kMaxSurfaceSide || description.height > kMaxSurfaceSide)
    return DeviceResult::InvalidCall;
  auto surface = CpuSurface::Make(description);
  if (!surface) return DeviceResult::OutOfMemory;
  ++liveObjects_;
  out = surface.release();
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::CreateOffscreenPlainSurface(int width, int height,
                                                            TextureFormat format, MemoryPool pool,
                                                            Surface*& out) {
  out = nullptr;
  if (Fails("CreateOffscreenPlainSurface")) return DeviceResult::Failed;
  if (pool == MemoryPool::Managed || !Info(format).isColor) return DeviceResult::InvalidCall;
  return MakeSurface({format, ResourceUsage::Plain, pool, width, height, true}, out);
}

DeviceResult CpuGraphicsDevice::CreateRenderTarget(int width, int height, TextureFormat format,
                                                   bool lockable, Surface*& out) {
  out = nullptr;
  if (Fails("CreateRenderTarget")) return DeviceResult::Failed;
  if (CheckDeviceFormat(TextureFormat::X8R8G8B8, ResourceUsage::RenderTarget,
                        ResourceKind::Surface, format) != DeviceResult::Ok)
    return DeviceResult::NotSupported;
  return MakeSurface({format, ResourceUsage::RenderTarget, MemoryPool::Default, width, height,
                      lockable},
                     out);
}

DeviceResult CpuGraphicsDevice::CreateDepthStencilSurface(int width, int height,
                                                          TextureFormat format, bool discard,
                                                          Surface*& out) {
  (void)discard;
  out = nullptr;
  if (Fails("CreateDepthStencilSurface")) return DeviceResult::Failed;
  if (CheckDeviceFormat(TextureFormat::X8R8G8B8, ResourceUsage::DepthStencil,
                        ResourceKind::Surface, format) != DeviceResult::Ok)
    return DeviceResult::NotSupported;
  return MakeSurface({format, ResourceUsage::DepthStencil, MemoryPool::Default, width, height,
                      false},
                     out);
}

// --- Locks.

DeviceResult CpuGraphicsDevice::LockRect(Surface* surface, const Rect* rect, LockedRect& out) {
  out = LockedRect{};
  if (Fails("LockRect")) return DeviceResult::Failed;
  auto* s = dynamic_cast<CpuSurface*>(surface);
  if (!s || !s->Description().lockable || s->locked) return DeviceResult::InvalidCall;
  Rect r = rect ? *rect : Rect{0, 0, s->Width(), s->Height()};
  if (r.left < 0 || r.top < 0 || r.right > s->Width() || r.bottom > s->Height() ||
      r.left >= r.right || r.top >= r.bottom)
    return DeviceResult::InvalidCall;
  const TextureFormat format = s->Format();
  size_t offset;
  if (IsDxt(format)) {
    auto aligned = [](int v, int edge) { return v % 4 == 0 || v == edge; };
    if (!aligned(r.left, s->Width()) || !aligned(r.top, s->Height()) ||
        !aligned(r.right, s->Width()) || !aligned(r.bottom, s->Height()))
      return DeviceResult::InvalidCall;
    offset = size_t(r.top / 4) * s->Pitch() + size_t(r.left / 4) * size_t(Info(format).blockBytes);
  } else {
    offset = size_t(r.top) * s->Pitch() + size_t(r.left) * size_t(Info(format).bytesPerPixel);
  }
  s->locked = true;
  out.bits = s->Bytes() + offset;
  out.pitch = int(s->Pitch());
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::UnlockRect(Surface* surface) {
  auto* s = dynamic_cast<CpuSurface*>(surface);
  if (!s || !s->locked) return DeviceResult::InvalidCall;
  s->locked = false;
  s->Touch();
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::LockRect(Texture* texture, int level, const Rect* rect,
                                         LockedRect& out) {
  out = LockedRect{};
  auto* t = dynamic_cast<CpuTexture*>(texture);
  if (!t || level < 0 || level >= t->LevelCount()) return DeviceResult::InvalidCall;
  return LockRect(t->Level(level), rect, out);
}

DeviceResult CpuGraphicsDevice::UnlockRect(Texture* texture, int level) {
  auto* t = dynamic_cast<CpuTexture*>(texture);
  if (!t || level < 0 || level >= t->LevelCount()) return DeviceResult::InvalidCall;
  return UnlockRect(t->Level(level));
}

// --- Targets, scene and states.

DeviceResult CpuGraphicsDevice::SetRenderTarget(Surface* surface) {
  pipelineDirty_ = true;
  if (Fails("SetRenderTarget")) return DeviceResult::Failed;
  auto* s = dynamic_cast<CpuSurface*>(surface);
  if (!backBuffer_ || !s || s->Description().usage != ResourceUsage::RenderTarget)
    return DeviceResult::InvalidCall;
  Bind(renderTarget_, s);
  viewport_ = Viewport{0, 0, s->Width(), s->Height(), 0.0f, 1.0f};
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::GetRenderTarget(Surface*& out) {
  out = nullptr;
  if (!renderTarget_) return DeviceResult::InvalidCall;
  AddReference(renderTarget_);
  out = renderTarget_;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetDepthStencilSurface(Surface* surface) {
  pipelineDirty_ = true;
  if (Fails("SetDepthStencilSurface")) return DeviceResult::Failed;
  if (!backBuffer_) return DeviceResult::InvalidCall;
  if (!surface) {
    Bind(depthSurface_, nullptr);
    return DeviceResult::Ok;
  }
  auto* s = dynamic_cast<CpuSurface*>(surface);
  if (!s || s->Description().usage != ResourceUsage::DepthStencil) return DeviceResult::InvalidCall;
  Bind(depthSurface_, s);
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetViewport(const Viewport& v) {
  pipelineDirty_ = true;
  if (Fails("SetViewport")) return DeviceResult::Failed;
  if (!renderTarget_) return DeviceResult::InvalidCall;
  if (v.x < 0 || v.y < 0 || v.width <= 0 || v.height <= 0 ||
      int64_t(v.x) + v.width > renderTarget_->Width() ||
      int64_t(v.y) + v.height > renderTarget_->Height() || !(v.minZ >= 0.0f) ||
      !(v.maxZ <= 1.0f) || !(v.minZ <= v.maxZ))
    return DeviceResult::InvalidCall;
  viewport_ = v;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::GetViewport(Viewport& out) {
  if (!backBuffer_) return DeviceResult::InvalidCall;
  out = viewport_;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::BeginScene() {
  if (Fails("BeginScene")) return DeviceResult::Failed;
  if (!backBuffer_ || inScene_) return DeviceResult::InvalidCall;
  inScene_ = true;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::EndScene() {
  if (!backBuffer_ || !inScene_) return DeviceResult::InvalidCall;
  inScene_ = false;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetRenderState(RenderState state, uint32_t value) {
  pipelineDirty_ = true;
  if (!backBuffer_ || int(state) < 0 || state >= RenderState::Count ||
      !ValidRenderState(state, value))
    return DeviceResult::InvalidCall;
  states_.render[int(state)] = value;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::GetRenderState(RenderState state, uint32_t& value) {
  if (!backBuffer_ || int(state) < 0 || state >= RenderState::Count)
    return DeviceResult::InvalidCall;
  value = states_.render[int(state)];
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetTextureStageState(int stage, TextureStageState state,
                                                     uint32_t value) {
  pipelineDirty_ = true;
  if (!backBuffer_ || stage < 0 || stage >= kTextureStages || int(state) < 0 ||
      state >= TextureStageState::Count || !ValidStageState(state, value))
    return DeviceResult::InvalidCall;
  states_.stage[stage][int(state)] = value;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetSamplerState(int stage, SamplerState state, uint32_t value) {
  pipelineDirty_ = true;
  if (!backBuffer_ || stage < 0 || stage >= kTextureStages || int(state) < 0 ||
      state >= SamplerState::Count || !ValidSamplerState(state, value))
    return DeviceResult::InvalidCall;
  states_.sampler[stage][int(state)] = value;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetTexture(int stage, Texture* texture) {
  pipelineDirty_ = true;
  if (!backBuffer_ || stage < 0 || stage >= kTextureStages) return DeviceResult::InvalidCall;
  CpuTexture* t = nullptr;
  if (texture) {
    t = dynamic_cast<CpuTexture*>(texture);
    if (!t) return DeviceResult::InvalidCall;
    AddReference(t);
  }
  if (states_.textures[stage]) DropReference(states_.textures[stage]);
  states_.textures[stage] = t;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetVertexFormat(uint32_t format) {
  using namespace vertex_format;
  constexpr uint32_t known = kPositionRhw | kDiffuse | kSpecular | kTexture1 | kTexture2;
  if (!backBuffer_ || (format & ~known) || !(format & kPositionRhw) ||
      ((format & kTexture1) && (format & kTexture2)))
    return DeviceResult::InvalidCall;
  states_.vertexFormat = format;
  return DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::DrawPrimitiveUP(PrimitiveType type, int count,
                                                const void* vertices, int stride) {
  if (Fails("DrawPrimitiveUP")) return DeviceResult::Failed;
  if (!backBuffer_ || !inScene_ || !vertices || count <= 0 || count > (1 << 24))
    return DeviceResult::InvalidCall;
  if (type < PrimitiveType::PointList || type > PrimitiveType::TriangleFan)
    return DeviceResult::InvalidCall;
  const size_t size = VertexSize(states_.vertexFormat);
  if (size == 0 || stride < 0 || size_t(stride) < size) return DeviceResult::InvalidCall;
  if (renderTarget_->locked) return DeviceResult::InvalidCall;
  if (pipelineDirty_) {
    BuildPipeline(states_, renderTarget_, depthSurface_, viewport_,
                  settings.capabilities.blendOperation, pipeline_);
    pipelineDirty_ = false;
  }
  DrawPrimitives(pipeline_, type, count, static_cast<const uint8_t*>(vertices), stride,
                 states_.vertexFormat);
  renderTarget_->Touch();
  return DeviceResult::Ok;
}

// --- Shaders: none here.

DeviceResult CpuGraphicsDevice::CreateVertexShader(const void*, size_t, Shader*& out) {
  out = nullptr;
  return DeviceResult::NotSupported;
}

DeviceResult CpuGraphicsDevice::CreatePixelShader(const void*, size_t, Shader*& out) {
  out = nullptr;
  return DeviceResult::NotSupported;
}

DeviceResult CpuGraphicsDevice::SetVertexShader(Shader* shader) {
  return shader ? DeviceResult::NotSupported : DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetPixelShader(Shader* shader) {
  return shader ? DeviceResult::NotSupported : DeviceResult::Ok;
}

DeviceResult CpuGraphicsDevice::SetVertexShaderConstant(int, const float*, int) {
  return DeviceResult::NotSupported;
}

DeviceResult CpuGraphicsDevice::SetPixelShaderConstant(int, const float*, int) {
  return DeviceResult::NotSupported;
}

}  // namespace qr::platform::gpu
