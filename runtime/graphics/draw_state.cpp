#include "graphics/draw_state.h"

#include <cstring>

#include "core/main_window.h"
#include "graphics/draw_settings.h"
#include "graphics/device_start.h"
#include "qr.h"

namespace qr::graphics {

using platform::BlendFactor;
using platform::BlendOperation;
using platform::RenderState;
using platform::SamplerState;
using platform::TextureStageState;

namespace {

constexpr uint32_t kUnknown = 0xFFFFFFFEu;  // a cached value that forces the next send

struct Batch {
  int kind = 1;
  platform::PrimitiveType type = platform::PrimitiveType::TriangleList;
  int count = 0;
  Vertex0 v0[3225];
  Vertex1 v1[2340];
  Vertex2 v2[1638];
};

struct StateCache {
  platform::Texture* texture[platform::kTextureStages] = {};
  uint32_t render[int(RenderState::Count)];
  uint32_t stage[platform::kTextureStages][int(TextureStageState::Count)];
  uint32_t sampler[platform::kTextureStages][int(SamplerState::Count)];
  uint32_t vertexFormat = kUnknown;
  int appliedFilter = -1;
  int appliedAnisotropy = -1;
  // The last draw's flags.
  int blendCode = -1;
  int alphaChannel = 0, transparentColour = 0, diffuseUsed = 0, paramUsed = 0;
  bool blendDirty = true;
  bool sceneOpen = false;
  bool shaderBound = true;
};

Batch& TheBatch() {
  static Batch* batch = new Batch();
  return *batch;
}

StateCache& Cache() {
  static StateCache cache;
  return cache;
}

void ClearCache() {
  StateCache& c = Cache();
  c = StateCache{};
  for (uint32_t& v : c.render) v = kUnknown;
  for (auto& row : c.stage) for (uint32_t& v : row) v = kUnknown;
  for (auto& row : c.sampler) for (uint32_t& v : row) v = kUnknown;
}

platform::GraphicsDevice* LiveHost() {
  platform::GraphicsDevice* host = Host();
  return host && host->DeviceExists() ? host : nullptr;
}

void SendRender(RenderState state, uint32_t value) {
  uint32_t& cached = Cache().render[int(state)];
  if (cached == value) return;
  if (auto* host = LiveHost()) host->SetRenderState(state, value);
  cached = value;
}

void SendStage(int stage, TextureStageState state, uint32_t value) {
  uint32_t& cached = Cache().stage[stage][int(state)];
  if (cached == value) return;
  if (auto* host = LiveHost()) host->SetTextureStageState(stage, state, value);
  cached = value;
}

void SendSampler(int stage, SamplerState state, uint32_t value) {
  uint32_t& cached = Cache().sampler[stage][int(state)];
  if (cached == value) return;
  if (auto* host = LiveHost()) host->SetSamplerState(stage, state, value);
  cached = value;
}

// One row of the blend table. Rows that keep their factors leave the device's as they are.
struct BlendRow {
  BlendFactor source, destination;
  BlendOperation operation;
  int group;
  bool keepFactors = false;
};
constexpr BlendRow kKeepFactors{BlendFactor::One, BlendFactor::Zero, BlendOperation::Add, 0, true};
const BlendRow kBlendTable[13] = {
    kKeepFactors,
    {BlendFactor::SourceAlpha, BlendFactor::InverseSourceAlpha, BlendOperation::Add, 0},
    {BlendFactor::SourceAlpha, BlendFactor::One, BlendOperation::Add, 0},
    {BlendFactor::InverseDestinationColor, BlendFactor::Zero, BlendOperation::Add, 0},
    {BlendFactor::Zero, BlendFactor::SourceColor, BlendOperation::Add, 0},
    {BlendFactor::SourceAlpha, BlendFactor::One, BlendOperation::Add, 0},
    kKeepFactors,
    kKeepFactors,
    {BlendFactor::Zero, BlendFactor::One, BlendOperation::Add, 0},
    {BlendFactor::InverseDestinationColor, BlendFactor::Zero, BlendOperation::Add, 0},
    {BlendFactor::SourceAlpha, BlendFactor::InverseSourceAlpha, BlendOperation::Add, 2},
    {BlendFactor::Zero, BlendFactor::SourceColor, BlendOperation::Add, 1},
    {BlendFactor::SourceAlpha, BlendFactor::One, BlendOperation::ReverseSubtract, 0},
};

void ApplyStagePreset(int group, int alphaMode, bool paramUsed, bool diffuseUsed) {
  using namespace platform::stage_argument;
  using platform::StageOperation;
  uint32_t texture = group == 2 ? (kTexture | kComplement) : kTexture;
  SendStage(0, TextureStageState::TexCoordIndex, 0);
  SendStage(0, TextureStageState::ColorArgument1, texture);
  SendStage(0, TextureStageState::ColorArgument2, kDiffuse);
  SendStage(0, TextureStageState::ColorOperation,
            uint32_t(diffuseUsed ? StageOperation::Modulate : StageOperation::SelectArg1));
  SendStage(0, TextureStageState::AlphaArgument1, kTexture);
  SendStage(0, TextureStageState::AlphaArgument2, kDiffuse);
  StageOperation alpha = alphaMode == 0  ? StageOperation::SelectArg2
                         : paramUsed     ? StageOperation::Modulate
                                         : StageOperation::SelectArg1;
  SendStage(0, TextureStageState::AlphaOperation, uint32_t(alpha));
  if (group == 1) {
    // Towards white (the texture factor) where the picture is transparent.
    SendStage(1, TextureStageState::TexCoordIndex, 1);
    SendStage(1, TextureStageState::ColorArgument1, kCurrent);
    SendStage(1, TextureStageState::ColorArgument2, kFactor);
    SendStage(1, TextureStageState::ColorOperation, uint32_t(StageOperation::BlendCurrentAlpha));
    SendStage(1, TextureStageState::AlphaArgument1, kCurrent);
    SendStage(1, TextureStageState::AlphaOperation, uint32_t(StageOperation::SelectArg1));
  } else {
    SendStage(1, TextureStageState::ColorOperation, uint32_t(StageOperation::Disable));
    SendStage(1, TextureStageState::AlphaOperation, uint32_t(StageOperation::Disable));
  }
}

void ApplyBlendState() {
  StateCache& c = Cache();
  const GraphicsDevice& d = Device();
  int code = c.blendCode < 0 || c.blendCode > 12 ? 0 : c.blendCode;
  BlendRow row = kBlendTable[code];
  if (code == 3 && d.blendOpSupported)
    row = {BlendFactor::SourceAlpha, BlendFactor::One, BlendOperation::ReverseSubtract, 0};
  int alphaMode = c.alphaChannel ? 1 : c.transparentColour ? 2 : 0;
  ApplyStagePreset(row.group, alphaMode, c.paramUsed, c.diffuseUsed);

  if (c.transparentColour) {
    SendRender(RenderState::AlphaTestEnable, 1);
    SendRender(RenderState::AlphaReference, 16);
    SendRender(RenderState::AlphaFunction, uint32_t(platform::CompareFunction::Greater));
  } else {
    SendRender(RenderState::AlphaTestEnable, 0);
  }
  SendRender(RenderState::TextureFactor, 0xFFFFFFFFu);

  if (code == 0 || code == 6) {
    if (c.alphaChannel) {
      row.source = BlendFactor::SourceAlpha;
      row.destination = BlendFactor::InverseSourceAlpha;
      row.keepFactors = false;
      SendRender(RenderState::AlphaBlendEnable, 1);
    } else {
      SendRender(RenderState::AlphaBlendEnable, 0);
    }
  } else {
    SendRender(RenderState::AlphaBlendEnable, 1);
  }
  if (!row.keepFactors) {
    SendRender(RenderState::SourceBlend, uint32_t(row.source));
    SendRender(RenderState::DestinationBlend, uint32_t(row.destination));
  }
  if (d.blendOpSupported || row.operation == BlendOperation::Add)
    SendRender(RenderState::BlendOperation, uint32_t(row.operation));
  c.blendDirty = false;
}

}  // namespace

void* ReserveVertices(int kind, platform::PrimitiveType type, int count) {
  Batch& b = TheBatch();
  if (b.count > 0 && (b.kind != kind || b.type != type || b.count + count >= kBatchCapacity[kind]))
    FlushVertices();
  b.kind = kind;
  b.type = type;
  int at = b.count;
  b.count += count;
  switch (kind) {
    case 0: return &b.v0[at];
    case 2: return &b.v2[at];
    default: return &b.v1[at];
  }
}

int PendingVertices() { return TheBatch().count; }

void FlushVertices() {
  Batch& b = TheBatch();
  if (b.count == 0) return;
  platform::GraphicsDevice* host = LiveHost();
  if (!host || core::MainWindow().endRequested) {
    b.count = 0;
    return;
  }
  OpenScene();
  int n = b.count, primitives = 0;
  switch (b.type) {
    case platform::PrimitiveType::PointList: primitives = n; break;
    case platform::PrimitiveType::LineList: primitives = n / 2; break;
    case platform::PrimitiveType::LineStrip: primitives = n - 1; break;
    case platform::PrimitiveType::TriangleList: primitives = n / 3; break;
    default: primitives = n - 2; break;
  }
  StateCache& c = Cache();
  if (c.vertexFormat != kVertexFormats[b.kind]) {
    host->SetVertexFormat(kVertexFormats[b.kind]);
    c.vertexFormat = kVertexFormats[b.kind];
  }
  const void* data = b.kind == 0 ? static_cast<const void*>(b.v0)
                   : b.kind == 2 ? static_cast<const void*>(b.v2)
                                 : static_cast<const void*>(b.v1);
  static const int kStrides[3] = {20, 28, 40};
  if (primitives > 0) host->DrawPrimitiveUP(b.type, primitives, data, kStrides[b.kind]);
  b.count = 0;
}

void OpenScene() {
  StateCache& c = Cache();
  if (c.sceneOpen) return;
  if (auto* host = LiveHost()) {
    host->BeginScene();
    c.sceneOpen = true;
  }
}

void CloseScene() {
  StateCache& c = Cache();
  if (!c.sceneOpen) return;
  if (auto* host = LiveHost()) host->EndScene();
  c.sceneOpen = false;
}

void ForgetShaderBindings() { Cache().shaderBound = true; }

void InitDrawState() {
  Batch& b = TheBatch();
  for (Vertex0& v : b.v0) v = Vertex0{0, 0, 0, 1.0f, 0};
  for (Vertex1& v : b.v1) v = Vertex1{0, 0, 0, 1.0f, 0, 0, 0};
  for (Vertex2& v : b.v2) v = Vertex2{0, 0, 0, 1.0f, 0, 0xFFFFFFFFu, 0, 0, 0, 0};
  b.count = 0;
  b.kind = 1;
  ClearCache();
  for (int stage = 0; stage < platform::kTextureStages; ++stage) {
    SendSampler(stage, SamplerState::AddressU, uint32_t(platform::TextureAddress::Clamp));
    SendSampler(stage, SamplerState::AddressV, uint32_t(platform::TextureAddress::Clamp));
  }
  SendRender(RenderState::CullMode, uint32_t(platform::CullMode::None));
  SendRender(RenderState::ShadeMode, uint32_t(platform::ShadeMode::Flat));
  SendRender(RenderState::DitherEnable, 0);
  SendRender(RenderState::SpecularEnable, 1);
  SendRender(RenderState::Lighting, 0);
  ApplyFilterMode();
  if (auto* host = LiveHost()) {
    const DrawSettings& s = Draw();
    host->SetViewport(platform::Viewport{0, 0, s.targetWidth, s.targetHeight, 0.0f, 1.0f});
  }
  OpenScene();
}

void ForgetDrawState() {
  TheBatch().count = 0;
  ClearCache();
}

void ForgetTexturesOf(const SharedImage* image) {
  StateCache& c = Cache();
  for (int i = 0; i < image->textureCount; ++i) {
    for (platform::Texture*& bound : c.texture) {
      if (bound && bound == image->textures[i].texture) {
        FlushVertices();
        if (auto* host = LiveHost()) host->SetTexture(int(&bound - c.texture), nullptr);
        bound = nullptr;
      }
    }
  }
}

void BindTexture(platform::Texture* texture) {
  StateCache& c = Cache();
  if (c.texture[0] == texture) return;
  FlushVertices();
  if (auto* host = LiveHost()) host->SetTexture(0, texture);
  c.texture[0] = texture;
}

void ApplyPendingBlendState() {
  if (!Cache().blendDirty) return;
  FlushVertices();
  ApplyBlendState();
}

void ApplyFilterMode() {
  StateCache& c = Cache();
  const DrawSettings& s = Draw();
  if (c.appliedFilter != s.filterMode) {
    FlushVertices();
    using platform::TextureFilter;
    TextureFilter mag = TextureFilter::Point, min = TextureFilter::Point, mip = TextureFilter::None;
    if (s.filterMode == 1) mag = min = TextureFilter::Linear;
    if (s.filterMode == 2) {
      mag = TextureFilter::Linear;
      min = TextureFilter::Anisotropic;
      mip = TextureFilter::Linear;
    }
    for (int stage = 0; stage < 2; ++stage) {
      SendSampler(stage, SamplerState::MagFilter, uint32_t(mag));
      SendSampler(stage, SamplerState::MinFilter, uint32_t(min));
      SendSampler(stage, SamplerState::MipFilter, uint32_t(mip));
    }
    c.appliedFilter = s.filterMode;
  }
  if (c.appliedAnisotropy != s.maxAnisotropy) {
    for (int stage = 0; stage < 2; ++stage)
      SendSampler(stage, SamplerState::MaxAnisotropy, uint32_t(s.maxAnisotropy < 1 ? 1 : s.maxAnisotropy));
    c.appliedAnisotropy = s.maxAnisotropy;
  }
}

void ApplyDrawState(const ImageInfo* info, platform::Texture* texture, unsigned flags) {
  StateCache& c = Cache();
  const DrawSettings& s = Draw();
  platform::GraphicsDevice* host = LiveHost();
  if (c.shaderBound && host) {
    host->SetVertexShader(nullptr);
    host->SetPixelShader(nullptr);
    c.shaderBound = false;
  }
  uint32_t shade = uint32_t((flags & kDrawGouraud) ? platform::ShadeMode::Gouraud : platform::ShadeMode::Flat);
  if (Cache().render[int(RenderState::ShadeMode)] != shade) {
    FlushVertices();
    SendRender(RenderState::ShadeMode, shade);
  }
  SendRender(RenderState::SpecularEnable, (flags & kDrawSpecular) ? 1 : 0);

  int alphaChannel = 0, transparentColour = 0;
  if (texture && info && (flags & kDrawTransparent)) {
    if (info->alpha || info->transparent) {
      if (s.blendMode == 0 || s.blendMode == 8) {
        alphaChannel = info->alpha;
        if (!(flags & kDrawGraphic) && s.filterMode == 1) alphaChannel = 1;
      } else {
        alphaChannel = 1;
      }
      transparentColour = info->transparent;
    }
  }
  int diffuseUsed = (s.brightness != 0xFFFFFF) || (flags & kDrawUseDiffuse);
  int paramUsed = (s.blendMode != 0) || (flags & kDrawUseParam);
  if (diffuseUsed != c.diffuseUsed || paramUsed != c.paramUsed) {
    c.diffuseUsed = diffuseUsed;
    c.paramUsed = paramUsed;
    c.blendDirty = true;
  }
  BindTexture(texture);
  if (s.blendMode != c.blendCode || alphaChannel != c.alphaChannel || transparentColour != c.transparentColour) {
    FlushVertices();
    c.blendCode = s.blendMode;
    c.alphaChannel = alphaChannel;
    c.transparentColour = transparentColour;
    c.blendDirty = true;
  }
  ApplyPendingBlendState();
  ApplyFilterMode();
  SendSampler(0, SamplerState::AddressU, uint32_t(platform::TextureAddress::Clamp));
  SendSampler(0, SamplerState::AddressV, uint32_t(platform::TextureAddress::Clamp));
  if (Cache().render[int(RenderState::ZEnable)] != 0) {
    FlushVertices();
    SendRender(RenderState::ZEnable, 0);
  }
}

}  // namespace qr::graphics
