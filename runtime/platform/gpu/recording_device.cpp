#include "platform/gpu/recording_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gpu/formats.h"
#include "platform/gpu/rasterizer.h"
#include "platform/gpu/states.h"

namespace qr::platform::gpu {

namespace {

std::string RectText(const Rect* r) {
  if (!r) return "null";
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "(%d,%d,%d,%d)", r->left, r->top, r->right, r->bottom);
  return buffer;
}

std::string Hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", v);
  return buffer;
}

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

std::string Join(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += ", ";
    out += part;
  }
  return out;
}

const char* PoolName(MemoryPool pool) {
  switch (pool) {
    case MemoryPool::Default: return "Default";
    case MemoryPool::Managed: return "Managed";
    case MemoryPool::SystemMemory: return "SystemMemory";
  }
  return "?";
}

const char* UsageName(ResourceUsage usage) {
  switch (usage) {
    case ResourceUsage::Plain: return "Plain";
    case ResourceUsage::RenderTarget: return "RenderTarget";
    case ResourceUsage::DepthStencil: return "DepthStencil";
  }
  return "?";
}

std::string S(int v) { return std::to_string(v); }

}  // namespace

std::vector<const RecordedCall*> RecordingGraphicsDevice::Named(const std::string& name) const {
  std::vector<const RecordedCall*> out;
  for (const RecordedCall& call : calls)
    if (call.name == name) out.push_back(&call);
  return out;
}

int RecordingGraphicsDevice::Count(const std::string& name) const {
  return int(std::count_if(calls.begin(), calls.end(),
                           [&](const RecordedCall& c) { return c.name == name; }));
}

std::string RecordingGraphicsDevice::Text() const {
  std::string out;
  for (const RecordedCall& call : calls) out += call.name + "(" + call.arguments + ")\n";
  return out;
}

std::string RecordingGraphicsDevice::Id(const void* object) {
  if (!object) return "null";
  for (const auto& [pointer, id] : ids_)
    if (pointer == object) return std::string("#") + std::to_string(id);
  ids_.emplace_back(object, nextId_);
  return std::string("#") + std::to_string(nextId_++);
}

DeviceResult RecordingGraphicsDevice::Note(const char* name, std::string arguments,
                                           std::vector<int64_t> values, DeviceResult result) {
  calls.push_back(RecordedCall{name, std::move(arguments), std::move(values), {}, result});
  return result;
}

bool RecordingGraphicsDevice::Available() {
  bool r = inner_.Available();
  Note("Available", "", {}, r ? DeviceResult::Ok : DeviceResult::NotAvailable);
  return r;
}

DeviceCapabilities RecordingGraphicsDevice::Capabilities() {
  Note("Capabilities", "", {}, DeviceResult::Ok);
  return inner_.Capabilities();
}

AdapterIdentifier RecordingGraphicsDevice::Identifier() {
  Note("Identifier", "", {}, DeviceResult::Ok);
  return inner_.Identifier();
}

DeviceResult RecordingGraphicsDevice::AdapterDisplayMode(TextureFormat& format, int& width,
                                                         int& height, int& refreshRate) {
  return Note("AdapterDisplayMode", "", {},
              inner_.AdapterDisplayMode(format, width, height, refreshRate));
}

int RecordingGraphicsDevice::AdapterModeCount(TextureFormat format) {
  int count = inner_.AdapterModeCount(format);
  Note("AdapterModeCount", FormatName(format), {int64_t(format), count}, DeviceResult::Ok);
  return count;
}

DeviceResult RecordingGraphicsDevice::CheckMultiSample(TextureFormat format, bool windowed,
                                                       int samples, int& qualityLevels) {
  return Note("CheckMultiSample", Join({FormatName(format), windowed ? "windowed" : "full screen", S(samples)}),
              {int64_t(format), windowed, samples},
              inner_.CheckMultiSample(format, windowed, samples, qualityLevels));
}

DeviceResult RecordingGraphicsDevice::CheckDeviceFormat(TextureFormat screenFormat,
                                                        ResourceUsage usage, ResourceKind kind,
                                                        TextureFormat format) {
  return Note("CheckDeviceFormat",
              Join({FormatName(screenFormat), UsageName(usage),
                    kind == ResourceKind::Texture ? "Texture" : "Surface", FormatName(format)}),
              {int64_t(screenFormat), int64_t(usage), int64_t(kind), int64_t(format)},
              inner_.CheckDeviceFormat(screenFormat, usage, kind, format));
}

DeviceResult RecordingGraphicsDevice::CheckDepthStencilMatch(TextureFormat screenFormat,
                                                             TextureFormat renderTargetFormat,
                                                             TextureFormat depthFormat) {
  return Note("CheckDepthStencilMatch",
              Join({FormatName(screenFormat), FormatName(renderTargetFormat), FormatName(depthFormat)}),
              {int64_t(screenFormat), int64_t(renderTargetFormat), int64_t(depthFormat)},
              inner_.CheckDepthStencilMatch(screenFormat, renderTargetFormat, depthFormat));
}

DeviceResult RecordingGraphicsDevice::CreateDevice(const PresentParameters& p,
                                                   VertexProcessing processing) {
  return Note("CreateDevice",
              Join({S(p.backBufferWidth) + "x" + S(p.backBufferHeight),
                    FormatName(p.backBufferFormat), p.windowed ? "windowed" : "full screen",
                    p.swapEffect == SwapEffect::Copy ? "Copy" : "Discard",
                    p.presentImmediately ? "immediate" : "vsync",
                    processing == VertexProcessing::Mixed ? "Mixed" : "Software"}),
              {p.backBufferWidth, p.backBufferHeight, int64_t(p.backBufferFormat), p.windowed,
               int64_t(p.swapEffect), p.presentImmediately, p.refreshRate, int64_t(processing)},
              inner_.CreateDevice(p, processing));
}

void RecordingGraphicsDevice::ReleaseDevice() {
  inner_.ReleaseDevice();
  Note("ReleaseDevice", "", {}, DeviceResult::Ok);
}

bool RecordingGraphicsDevice::DeviceExists() { return inner_.DeviceExists(); }

DeviceResult RecordingGraphicsDevice::GetBackBuffer(Surface*& out) {
  DeviceResult r = inner_.GetBackBuffer(out);
  return Note("GetBackBuffer", Id(out), {}, r);
}

DeviceResult RecordingGraphicsDevice::GetDescription(Surface* surface, SurfaceDescription& out) {
  return Note("GetDescription", Id(surface), {}, inner_.GetDescription(surface, out));
}

DeviceResult RecordingGraphicsDevice::CreateTexture(int width, int height, int levels,
                                                    ResourceUsage usage, TextureFormat format,
                                                    MemoryPool pool, Texture*& out) {
  DeviceResult r = inner_.CreateTexture(width, height, levels, usage, format, pool, out);
  return Note("CreateTexture",
              Join({S(width) + "x" + S(height), S(levels), UsageName(usage), FormatName(format),
                    PoolName(pool), Id(out)}),
              {width, height, levels, int64_t(usage), int64_t(format), int64_t(pool)}, r);
}

int RecordingGraphicsDevice::LevelCount(Texture* texture) { return inner_.LevelCount(texture); }

DeviceResult RecordingGraphicsDevice::GetSurfaceLevel(Texture* texture, int level, Surface*& out) {
  DeviceResult r = inner_.GetSurfaceLevel(texture, level, out);
  return Note("GetSurfaceLevel", Join({Id(texture), S(level), Id(out)}), {level}, r);
}

DeviceResult RecordingGraphicsDevice::CreateOffscreenPlainSurface(int width, int height,
                                                                  TextureFormat format,
                                                                  MemoryPool pool, Surface*& out) {
  DeviceResult r = inner_.CreateOffscreenPlainSurface(width, height, format, pool, out);
  return Note("CreateOffscreenPlainSurface",
              Join({S(width) + "x" + S(height), FormatName(format), PoolName(pool), Id(out)}),
              {width, height, int64_t(format), int64_t(pool)}, r);
}

DeviceResult RecordingGraphicsDevice::CreateRenderTarget(int width, int height,
                                                         TextureFormat format, bool lockable,
                                                         Surface*& out) {
  DeviceResult r = inner_.CreateRenderTarget(width, height, format, lockable, out);
  return Note("CreateRenderTarget",
              Join({S(width) + "x" + S(height), FormatName(format),
                    lockable ? "lockable" : "not lockable", Id(out)}),
              {width, height, int64_t(format), lockable}, r);
}

DeviceResult RecordingGraphicsDevice::CreateDepthStencilSurface(int width, int height,
                                                                TextureFormat format, bool discard,
                                                                Surface*& out) {
  DeviceResult r = inner_.CreateDepthStencilSurface(width, height, format, discard, out);
  return Note("CreateDepthStencilSurface",
              Join({S(width) + "x" + S(height), FormatName(format), discard ? "discard" : "keep",
                    Id(out)}),
              {width, height, int64_t(format), discard}, r);
}

void RecordingGraphicsDevice::Release(DeviceObject* object) {
  Note("Release", Id(object), {}, DeviceResult::Ok);
  inner_.Release(object);
}

DeviceResult RecordingGraphicsDevice::LockRect(Surface* surface, const Rect* rect,
                                               LockedRect& out) {
  return Note("LockRect", Join({Id(surface), RectText(rect)}), {},
              inner_.LockRect(surface, rect, out));
}

DeviceResult RecordingGraphicsDevice::UnlockRect(Surface* surface) {
  return Note("UnlockRect", Id(surface), {}, inner_.UnlockRect(surface));
}

DeviceResult RecordingGraphicsDevice::LockRect(Texture* texture, int level, const Rect* rect,
                                               LockedRect& out) {
  return Note("LockRect", Join({Id(texture), std::string("level ") + S(level), RectText(rect)}), {level},
              inner_.LockRect(texture, level, rect, out));
}

DeviceResult RecordingGraphicsDevice::UnlockRect(Texture* texture, int level) {
  return Note("UnlockRect", Join({Id(texture), std::string("level ") + S(level)}), {level},
              inner_.UnlockRect(texture, level));
}

DeviceResult RecordingGraphicsDevice::ColorFill(Surface* surface, const Rect* rect, uint32_t argb) {
  return Note("ColorFill", Join({Id(surface), RectText(rect), Hex(argb)}), {argb},
              inner_.ColorFill(surface, rect, argb));
}

DeviceResult RecordingGraphicsDevice::UpdateSurface(Surface* source, const Rect* sourceRect,
                                                    Surface* destination, int destinationX,
                                                    int destinationY) {
  return Note("UpdateSurface",
              Join({Id(source), RectText(sourceRect), Id(destination),
                    std::string("(") + S(destinationX) + "," + S(destinationY) + ")"}),
              {destinationX, destinationY},
              inner_.UpdateSurface(source, sourceRect, destination, destinationX, destinationY));
}

DeviceResult RecordingGraphicsDevice::StretchRect(Surface* source, const Rect* sourceRect,
                                                  Surface* destination,
                                                  const Rect* destinationRect,
                                                  TextureFilter filter) {
  return Note("StretchRect",
              Join({Id(source), RectText(sourceRect), Id(destination), RectText(destinationRect)}),
              {int64_t(filter)},
              inner_.StretchRect(source, sourceRect, destination, destinationRect, filter));
}

DeviceResult RecordingGraphicsDevice::GetRenderTargetData(Surface* renderTarget,
                                                          Surface* destination) {
  return Note("GetRenderTargetData", Join({Id(renderTarget), Id(destination)}), {},
              inner_.GetRenderTargetData(renderTarget, destination));
}

DeviceResult RecordingGraphicsDevice::SetRenderTarget(Surface* surface) {
  return Note("SetRenderTarget", Id(surface), {}, inner_.SetRenderTarget(surface));
}

DeviceResult RecordingGraphicsDevice::GetRenderTarget(Surface*& out) {
  DeviceResult r = inner_.GetRenderTarget(out);
  return Note("GetRenderTarget", Id(out), {}, r);
}

DeviceResult RecordingGraphicsDevice::SetDepthStencilSurface(Surface* surface) {
  return Note("SetDepthStencilSurface", Id(surface), {}, inner_.SetDepthStencilSurface(surface));
}

DeviceResult RecordingGraphicsDevice::SetViewport(const Viewport& v) {
  return Note("SetViewport",
              Join({S(v.x), S(v.y), S(v.width), S(v.height), Number(v.minZ), Number(v.maxZ)}),
              {v.x, v.y, v.width, v.height}, inner_.SetViewport(v));
}

DeviceResult RecordingGraphicsDevice::GetViewport(Viewport& out) { return inner_.GetViewport(out); }

DeviceResult RecordingGraphicsDevice::BeginScene() {
  return Note("BeginScene", "", {}, inner_.BeginScene());
}

DeviceResult RecordingGraphicsDevice::EndScene() {
  return Note("EndScene", "", {}, inner_.EndScene());
}

DeviceResult RecordingGraphicsDevice::SetRenderState(RenderState state, uint32_t value) {
  return Note("SetRenderState", Join({StateName(state), S(int(value))}),
              {int64_t(state), int64_t(value)}, inner_.SetRenderState(state, value));
}

DeviceResult RecordingGraphicsDevice::GetRenderState(RenderState state, uint32_t& value) {
  return inner_.GetRenderState(state, value);
}

DeviceResult RecordingGraphicsDevice::SetTextureStageState(int stage, TextureStageState state,
                                                           uint32_t value) {
  return Note("SetTextureStageState", Join({S(stage), StateName(state), S(int(value))}),
              {stage, int64_t(state), int64_t(value)},
              inner_.SetTextureStageState(stage, state, value));
}

DeviceResult RecordingGraphicsDevice::SetSamplerState(int stage, SamplerState state,
                                                      uint32_t value) {
  return Note("SetSamplerState", Join({S(stage), StateName(state), S(int(value))}),
              {stage, int64_t(state), int64_t(value)},
              inner_.SetSamplerState(stage, state, value));
}

DeviceResult RecordingGraphicsDevice::SetTexture(int stage, Texture* texture) {
  return Note("SetTexture", Join({S(stage), Id(texture)}), {stage},
              inner_.SetTexture(stage, texture));
}

DeviceResult RecordingGraphicsDevice::SetVertexFormat(uint32_t format) {
  return Note("SetVertexFormat", Hex(format), {int64_t(format)}, inner_.SetVertexFormat(format));
}

DeviceResult RecordingGraphicsDevice::DrawPrimitiveUP(PrimitiveType type, int count,
                                                      const void* vertices, int stride) {
  DeviceResult r = inner_.DrawPrimitiveUP(type, count, vertices, stride);
  Note("DrawPrimitiveUP", Join({PrimitiveName(type), S(count), std::string("stride ") + S(stride)}),
       {int64_t(type), count, stride}, r);
  const int64_t n = VerticesNeeded(type, count);
  if (r == DeviceResult::Ok && vertices && stride > 0 && n > 0) {
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    calls.back().vertices.assign(bytes, bytes + size_t(n) * size_t(stride));
  }
  return r;
}

DeviceResult RecordingGraphicsDevice::Clear(uint32_t flags, uint32_t argb, float z) {
  return Note("Clear", Join({S(int(flags)), Hex(argb), Number(z)}), {flags, argb},
              inner_.Clear(flags, argb, z));
}

DeviceResult RecordingGraphicsDevice::Present(const Rect* source, const Rect* destination) {
  return Note("Present", Join({RectText(source), RectText(destination)}), {},
              inner_.Present(source, destination));
}

DeviceResult RecordingGraphicsDevice::CreateVertexShader(const void* code, size_t size,
                                                         Shader*& out) {
  return Note("CreateVertexShader", S(int(size)), {int64_t(size)},
              inner_.CreateVertexShader(code, size, out));
}

DeviceResult RecordingGraphicsDevice::CreatePixelShader(const void* code, size_t size,
                                                        Shader*& out) {
  return Note("CreatePixelShader", S(int(size)), {int64_t(size)},
              inner_.CreatePixelShader(code, size, out));
}

DeviceResult RecordingGraphicsDevice::SetVertexShader(Shader* shader) {
  return Note("SetVertexShader", Id(shader), {}, inner_.SetVertexShader(shader));
}

DeviceResult RecordingGraphicsDevice::SetPixelShader(Shader* shader) {
  return Note("SetPixelShader", Id(shader), {}, inner_.SetPixelShader(shader));
}

DeviceResult RecordingGraphicsDevice::SetVertexShaderConstant(int index, const float* values,
                                                              int vectors) {
  return Note("SetVertexShaderConstant", Join({S(index), S(vectors)}), {index, vectors},
              inner_.SetVertexShaderConstant(index, values, vectors));
}

DeviceResult RecordingGraphicsDevice::SetPixelShaderConstant(int index, const float* values,
                                                             int vectors) {
  return Note("SetPixelShaderConstant", Join({S(index), S(vectors)}), {index, vectors},
              inner_.SetPixelShaderConstant(index, values, vectors));
}

}  // namespace qr::platform::gpu
