#include "platform/gpu/states.h"

namespace qr::platform::gpu {

DeviceStates::DeviceStates() {
  auto set = [this](RenderState s, uint32_t v) { render[int(s)] = v; };
  set(RenderState::ZEnable, 0);
  set(RenderState::ZWriteEnable, 1);
  set(RenderState::ZFunction, uint32_t(CompareFunction::LessEqual));
  set(RenderState::AlphaTestEnable, 0);
  set(RenderState::AlphaReference, 0);
  set(RenderState::AlphaFunction, uint32_t(CompareFunction::Always));
  set(RenderState::AlphaBlendEnable, 0);
  set(RenderState::SourceBlend, uint32_t(BlendFactor::One));
  set(RenderState::DestinationBlend, uint32_t(BlendFactor::Zero));
  set(RenderState::BlendOperation, uint32_t(BlendOperation::Add));
  set(RenderState::TextureFactor, 0xFFFFFFFFu);
  set(RenderState::ShadeMode, uint32_t(ShadeMode::Gouraud));
  set(RenderState::SpecularEnable, 0);
  set(RenderState::CullMode, uint32_t(CullMode::CounterClockwise));
  set(RenderState::DitherEnable, 0);
  set(RenderState::Lighting, 1);
  using namespace stage_argument;
  for (int i = 0; i < kTextureStages; ++i) {
    uint32_t* s = stage[i];
    bool first = i == 0;
    s[int(TextureStageState::ColorOperation)] =
        uint32_t(first ? StageOperation::Modulate : StageOperation::Disable);
    s[int(TextureStageState::ColorArgument1)] = kTexture;
    s[int(TextureStageState::ColorArgument2)] = kCurrent;
    s[int(TextureStageState::AlphaOperation)] =
        uint32_t(first ? StageOperation::SelectArg1 : StageOperation::Disable);
    s[int(TextureStageState::AlphaArgument1)] = kTexture;
    s[int(TextureStageState::AlphaArgument2)] = kCurrent;
    s[int(TextureStageState::TexCoordIndex)] = uint32_t(i);
    uint32_t* p = sampler[i];
    p[int(SamplerState::AddressU)] = uint32_t(TextureAddress::Wrap);
    p[int(SamplerState::AddressV)] = uint32_t(TextureAddress::Wrap);
    p[int(SamplerState::MagFilter)] = uint32_t(TextureFilter::Point);
    p[int(SamplerState::MinFilter)] = uint32_t(TextureFilter::Point);
    p[int(SamplerState::MipFilter)] = uint32_t(TextureFilter::None);
    p[int(SamplerState::MaxAnisotropy)] = 1;
  }
}

namespace {
bool InRange(uint32_t value, uint32_t first, uint32_t last) { return value >= first && value <= last; }
bool ValidArgument(uint32_t value) {
  using namespace stage_argument;
  return (value & kSourceMask) <= kFactor &&
         (value & ~(kSourceMask | kComplement | kAlphaReplicate)) == 0;
}
}  // namespace

bool ValidRenderState(RenderState state, uint32_t value) {
  switch (state) {
    case RenderState::ZFunction:
    case RenderState::AlphaFunction: return InRange(value, 0, 7);
    case RenderState::SourceBlend:
    case RenderState::DestinationBlend: return InRange(value, 0, 10);
    case RenderState::BlendOperation: return InRange(value, 0, 4);
    case RenderState::ShadeMode: return InRange(value, 0, 1);
    case RenderState::CullMode: return InRange(value, 0, 2);
    case RenderState::AlphaReference: return value <= 255;
    case RenderState::Count: return false;
    default: return true;
  }
}

bool ValidStageState(TextureStageState state, uint32_t value) {
  switch (state) {
    case TextureStageState::ColorOperation:
    case TextureStageState::AlphaOperation: return InRange(value, 0, 12);
    case TextureStageState::TexCoordIndex: return value <= 1;
    case TextureStageState::Count: return false;
    default: return ValidArgument(value);
  }
}

bool ValidSamplerState(SamplerState state, uint32_t value) {
  switch (state) {
    case SamplerState::AddressU:
    case SamplerState::AddressV: return InRange(value, 0, 2);
    case SamplerState::MagFilter:
    case SamplerState::MinFilter:
    case SamplerState::MipFilter: return value <= 3;
    case SamplerState::MaxAnisotropy: return true;
    case SamplerState::Count: return false;
  }
  return false;
}

const char* StateName(RenderState state) {
  static const char* const names[] = {
      "ZEnable",          "ZWriteEnable",     "ZFunction",      "AlphaTestEnable",
      "AlphaReference",   "AlphaFunction",    "AlphaBlendEnable", "SourceBlend",
      "DestinationBlend", "BlendOperation",   "TextureFactor",  "ShadeMode",
      "SpecularEnable",   "CullMode",         "DitherEnable",   "Lighting"};
  static_assert(sizeof(names) / sizeof(names[0]) == size_t(RenderState::Count));
  int i = int(state);
  return i >= 0 && i < int(RenderState::Count) ? names[i] : "?";
}

const char* StateName(TextureStageState state) {
  static const char* const names[] = {"ColorOperation", "ColorArgument1", "ColorArgument2",
                                      "AlphaOperation", "AlphaArgument1", "AlphaArgument2",
                                      "TexCoordIndex"};
  static_assert(sizeof(names) / sizeof(names[0]) == size_t(TextureStageState::Count));
  int i = int(state);
  return i >= 0 && i < int(TextureStageState::Count) ? names[i] : "?";
}

const char* StateName(SamplerState state) {
  static const char* const names[] = {"AddressU",  "AddressV",  "MagFilter",
                                      "MinFilter", "MipFilter", "MaxAnisotropy"};
  static_assert(sizeof(names) / sizeof(names[0]) == size_t(SamplerState::Count));
  int i = int(state);
  return i >= 0 && i < int(SamplerState::Count) ? names[i] : "?";
}

const char* PrimitiveName(PrimitiveType type) {
  switch (type) {
    case PrimitiveType::PointList: return "PointList";
    case PrimitiveType::LineList: return "LineList";
    case PrimitiveType::LineStrip: return "LineStrip";
    case PrimitiveType::TriangleList: return "TriangleList";
    case PrimitiveType::TriangleStrip: return "TriangleStrip";
    case PrimitiveType::TriangleFan: return "TriangleFan";
  }
  return "?";
}

}  // namespace qr::platform::gpu
