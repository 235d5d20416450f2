#include "platform/gpu/pipeline.h"

#include <algorithm>
#include <cmath>

#include "platform/gpu/formats.h"

namespace qr::platform::gpu {

int FloorToInt(float value) {
  if (!(value == value)) return 0;  // not a number
  if (value >= 1073741824.0f) return 1 << 30;
  if (value <= -1073741824.0f) return -(1 << 30);
  return int(std::floor(value));
}

void BuildPipeline(const DeviceStates& states, CpuSurface* target, CpuSurface* depth,
                   const Viewport& viewport, bool blendOperations, Pipeline& p) {
  p.target = target;
  p.clip = Rect{std::max(viewport.x, 0), std::max(viewport.y, 0),
                std::min(viewport.x + viewport.width, target->Width()),
                std::min(viewport.y + viewport.height, target->Height())};
  const bool depthTest = states.Render(RenderState::ZEnable) != 0 && depth != nullptr;
  p.depth = depthTest ? depth : nullptr;
  p.depthWrite = states.Render(RenderState::ZWriteEnable) != 0;
  p.depthFunction = CompareFunction(states.Render(RenderState::ZFunction));

  p.stageCount = 0;
  for (int i = 0; i < kTextureStages; ++i) {
    auto op = StageOperation(states.Stage(i, TextureStageState::ColorOperation));
    if (op == StageOperation::Disable) break;
    StageSetup& s = p.stages[i];
    s.colorOp = op;
    s.alphaOp = StageOperation(states.Stage(i, TextureStageState::AlphaOperation));
    s.colorArg1 = states.Stage(i, TextureStageState::ColorArgument1);
    s.colorArg2 = states.Stage(i, TextureStageState::ColorArgument2);
    s.alphaArg1 = states.Stage(i, TextureStageState::AlphaArgument1);
    s.alphaArg2 = states.Stage(i, TextureStageState::AlphaArgument2);
    s.coordinate = int(states.Stage(i, TextureStageState::TexCoordIndex));
    s.texture = states.textures[i];
    s.addressU = TextureAddress(states.Sampler(i, SamplerState::AddressU));
    s.addressV = TextureAddress(states.Sampler(i, SamplerState::AddressV));
    s.magFilter = TextureFilter(states.Sampler(i, SamplerState::MagFilter));
    s.minFilter = TextureFilter(states.Sampler(i, SamplerState::MinFilter));
    s.mipFilter = TextureFilter(states.Sampler(i, SamplerState::MipFilter));
    s.view = TexelView{};
    s.magnify = true;
    p.stageCount = i + 1;
  }
  p.factor = states.Render(RenderState::TextureFactor);
  p.addSpecular = states.Render(RenderState::SpecularEnable) != 0;
  p.flat = ShadeMode(states.Render(RenderState::ShadeMode)) == ShadeMode::Flat;
  p.cull = CullMode(states.Render(RenderState::CullMode));

  p.alphaTest = states.Render(RenderState::AlphaTestEnable) != 0;
  if (p.alphaTest) {
    const int ref = int(states.Render(RenderState::AlphaReference));
    const auto function = CompareFunction(states.Render(RenderState::AlphaFunction));
    for (int a = 0; a < 256; ++a) {
      bool pass = true;
      switch (function) {
        case CompareFunction::Never: pass = false; break;
        case CompareFunction::Less: pass = a < ref; break;
        case CompareFunction::Equal: pass = a == ref; break;
        case CompareFunction::LessEqual: pass = a <= ref; break;
        case CompareFunction::Greater: pass = a > ref; break;
        case CompareFunction::NotEqual: pass = a != ref; break;
        case CompareFunction::GreaterEqual: pass = a >= ref; break;
        case CompareFunction::Always: pass = true; break;
      }
      p.alphaPasses[a] = pass;
    }
    p.alphaAbove = function == CompareFunction::Greater        ? ref
                   : function == CompareFunction::GreaterEqual ? ref - 1
                                                               : -2;
  }
  p.blend = states.Render(RenderState::AlphaBlendEnable) != 0;
  p.source = BlendFactor(states.Render(RenderState::SourceBlend));
  p.destination = BlendFactor(states.Render(RenderState::DestinationBlend));
  p.operation = blendOperations ? BlendOperation(states.Render(RenderState::BlendOperation))
                                : BlendOperation::Add;
}

void SelectLevels(Pipeline& p, const Derivatives& d) {
  for (int i = 0; i < p.stageCount; ++i) {
    StageSetup& s = p.stages[i];
    if (!s.texture) {
      s.view = TexelView{};
      continue;
    }
    const int c = s.coordinate;
    CpuSurface* base = s.texture->Level(0);
    const float w = float(base->Width()), h = float(base->Height());
    const float x = std::hypot(d.dudx[c] * w, d.dvdx[c] * h);
    const float y = std::hypot(d.dudy[c] * w, d.dvdy[c] * h);
    const float rho = std::max(x, y);
    s.magnify = !(rho > 1.0f + 1e-6f);
    int level = 0;
    if (!s.magnify && s.mipFilter != TextureFilter::None && s.texture->LevelCount() > 1) {
      // The nearest level; a linear mip filter also takes the nearest one.
      level = FloorToInt(std::log2(rho) + 0.5f);
      level = std::clamp(level, 0, s.texture->LevelCount() - 1);
    }
    s.view = s.texture->Level(level)->Texels();
  }
}

namespace {

inline int Address(int i, int size, TextureAddress mode) {
  switch (mode) {
    case TextureAddress::Wrap: {
      int m = i % size;
      return m < 0 ? m + size : m;
    }
    case TextureAddress::Mirror: {
      int period = 2 * size;
      int m = i % period;
      if (m < 0) m += period;
      return m < size ? m : period - 1 - m;
    }
    case TextureAddress::Clamp:
    default: return std::clamp(i, 0, size - 1);
  }
}

inline uint32_t Texel(const TexelView& t, int x, int y) {
  return t.texels[size_t(y) * size_t(t.width) + size_t(x)];
}

}  // namespace

uint32_t SampleStage(const StageSetup& s, float u, float v) {
  const TexelView& t = s.view;
  if (!t.texels) return 0xFFFFFFFFu;
  const TextureFilter filter = s.magnify ? s.magFilter : s.minFilter;
  const float fu = u * float(t.width), fv = v * float(t.height);
  if (filter != TextureFilter::Linear && filter != TextureFilter::Anisotropic) {
    return Texel(t, Address(FloorToInt(fu), t.width, s.addressU),
                 Address(FloorToInt(fv), t.height, s.addressV));
  }
  const float px = fu - 0.5f, py = fv - 0.5f;
  int x0 = FloorToInt(px), y0 = FloorToInt(py);
  int wx = int((px - float(x0)) * 256.0f + 0.5f), wy = int((py - float(y0)) * 256.0f + 0.5f);
  wx = std::clamp(wx, 0, 256);
  wy = std::clamp(wy, 0, 256);
  const int xa = Address(x0, t.width, s.addressU), xb = Address(x0 + 1, t.width, s.addressU);
  const int ya = Address(y0, t.height, s.addressV), yb = Address(y0 + 1, t.height, s.addressV);
  const uint32_t t00 = Texel(t, xa, ya), t10 = Texel(t, xb, ya);
  const uint32_t t01 = Texel(t, xa, yb), t11 = Texel(t, xb, yb);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t a = (t00 >> shift) & 255, b = (t10 >> shift) & 255;
    uint32_t c = (t01 >> shift) & 255, e = (t11 >> shift) & 255;
    uint32_t top = a * uint32_t(256 - wx) + b * uint32_t(wx);
    uint32_t bottom = c * uint32_t(256 - wx) + e * uint32_t(wx);
    uint32_t value = (top * uint32_t(256 - wy) + bottom * uint32_t(wy) + 32768) >> 16;
    out |= value << shift;
  }
  return out;
}

namespace {

inline uint32_t Channel(uint32_t c, int shift) { return (c >> shift) & 255; }

uint32_t Argument(uint32_t argument, uint32_t current, uint32_t diffuse, uint32_t specular,
                  uint32_t texel, uint32_t factor) {
  using namespace stage_argument;
  uint32_t value;
  switch (argument & kSourceMask) {
    case kDiffuse: value = diffuse; break;
    case kCurrent: value = current; break;
    case kTexture: value = texel; break;
    case kFactor: value = factor; break;
    case kSpecular: value = specular; break;
    default: value = 0; break;
  }
  if (argument & kComplement) value = ~value;
  if (argument & kAlphaReplicate) value = (value >> 24) * 0x01010101u;
  return value;
}

inline uint32_t Mul255(uint32_t a, uint32_t b) { return (a * b + 127) / 255; }

// One operation on the channels selected by mask (the colour channels or the alpha channel).
uint32_t Operate(StageOperation op, uint32_t a1, uint32_t a2, uint32_t blendAlpha, int first,
                 int last) {
  uint32_t out = 0;
  for (int shift = first; shift <= last; shift += 8) {
    const uint32_t x = Channel(a1, shift), y = Channel(a2, shift);
    uint32_t r;
    switch (op) {
      case StageOperation::SelectArg1: r = x; break;
      case StageOperation::SelectArg2: r = y; break;
      case StageOperation::Modulate: r = Mul255(x, y); break;
      case StageOperation::Modulate2x: r = std::min(255u, 2 * Mul255(x, y)); break;
      case StageOperation::Modulate4x: r = std::min(255u, 4 * Mul255(x, y)); break;
      case StageOperation::Add: r = std::min(255u, x + y); break;
      case StageOperation::AddSigned: r = uint32_t(std::clamp(int(x + y) - 128, 0, 255)); break;
      case StageOperation::Subtract: r = x > y ? x - y : 0; break;
      case StageOperation::BlendDiffuseAlpha:
      case StageOperation::BlendTextureAlpha:
      case StageOperation::BlendFactorAlpha:
      case StageOperation::BlendCurrentAlpha:
        r = (x * blendAlpha + y * (255 - blendAlpha) + 127) / 255;
        break;
      default: r = x; break;
    }
    out |= r << shift;
  }
  return out;
}

uint32_t BlendAlphaFor(StageOperation op, uint32_t current, uint32_t diffuse, uint32_t texel,
                       uint32_t factor) {
  switch (op) {
    case StageOperation::BlendDiffuseAlpha: return diffuse >> 24;
    case StageOperation::BlendTextureAlpha: return texel >> 24;
    case StageOperation::BlendFactorAlpha: return factor >> 24;
    case StageOperation::BlendCurrentAlpha: return current >> 24;
    default: return 0;
  }
}

}  // namespace

uint32_t CombineStages(const Pipeline& p, uint32_t diffuse, uint32_t specular,
                       const uint32_t* texels) {
  uint32_t current = diffuse;
  for (int i = 0; i < p.stageCount; ++i) {
    const StageSetup& s = p.stages[i];
    const uint32_t texel = texels[i];
    const uint32_t c1 = Argument(s.colorArg1, current, diffuse, specular, texel, p.factor);
    const uint32_t c2 = Argument(s.colorArg2, current, diffuse, specular, texel, p.factor);
    const uint32_t colour =
        Operate(s.colorOp, c1, c2, BlendAlphaFor(s.colorOp, current, diffuse, texel, p.factor),
                0, 16);
    uint32_t alpha;
    if (s.alphaOp == StageOperation::Disable) {
      alpha = current & 0xFF000000u;
    } else {
      const uint32_t a1 = Argument(s.alphaArg1, current, diffuse, specular, texel, p.factor);
      const uint32_t a2 = Argument(s.alphaArg2, current, diffuse, specular, texel, p.factor);
      alpha = Operate(s.alphaOp, a1, a2,
                      BlendAlphaFor(s.alphaOp, current, diffuse, texel, p.factor), 24, 24);
    }
    current = alpha | colour;
  }
  if (p.addSpecular) {
    uint32_t out = current & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
      out |= std::min(255u, Channel(current, shift) + Channel(specular, shift)) << shift;
    current = out;
  }
  return current;
}

uint32_t Shade(const Pipeline& p, const Fragment& f) {
  uint32_t texels[kTextureStages];
  for (int i = 0; i < p.stageCount; ++i) {
    const StageSetup& s = p.stages[i];
    texels[i] = SampleStage(s, f.u[s.coordinate], f.v[s.coordinate]);
  }
  return CombineStages(p, f.diffuse, f.specular, texels);
}

namespace {

inline uint32_t FactorChannel(BlendFactor factor, uint32_t s, uint32_t d, uint32_t sa,
                              uint32_t da, bool alphaChannel) {
  switch (factor) {
    case BlendFactor::Zero: return 0;
    case BlendFactor::One: return 255;
    case BlendFactor::SourceColor: return s;
    case BlendFactor::InverseSourceColor: return 255 - s;
    case BlendFactor::SourceAlpha: return sa;
    case BlendFactor::InverseSourceAlpha: return 255 - sa;
    case BlendFactor::DestinationAlpha: return da;
    case BlendFactor::InverseDestinationAlpha: return 255 - da;
    case BlendFactor::DestinationColor: return d;
    case BlendFactor::InverseDestinationColor: return 255 - d;
    case BlendFactor::SourceAlphaSaturate: return alphaChannel ? 255 : std::min(sa, 255 - da);
  }
  return 0;
}

}  // namespace

uint32_t Blend(const Pipeline& p, uint32_t source, uint32_t destination) {
  const uint32_t sa = source >> 24, da = destination >> 24;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t s = Channel(source, shift), d = Channel(destination, shift);
    const bool alphaChannel = shift == 24;
    uint32_t r;
    switch (p.operation) {
      case BlendOperation::Min: r = std::min(s, d); break;
      case BlendOperation::Max: r = std::max(s, d); break;
      default: {
        const int fs = int(FactorChannel(p.source, s, d, sa, da, alphaChannel));
        const int fd = int(FactorChannel(p.destination, s, d, sa, da, alphaChannel));
        int sum;
        if (p.operation == BlendOperation::Subtract)
          sum = int(s) * fs - int(d) * fd;
        else if (p.operation == BlendOperation::ReverseSubtract)
          sum = int(d) * fd - int(s) * fs;
        else
          sum = int(s) * fs + int(d) * fd;
        sum = std::clamp(sum, 0, 255 * 255);
        r = uint32_t(sum + 127) / 255;
        break;
      }
    }
    out |= r << shift;
  }
  return out;
}

namespace {

bool DepthPasses(CompareFunction function, float z, float stored) {
  switch (function) {
    case CompareFunction::Never: return false;
    case CompareFunction::Less: return z < stored;
    case CompareFunction::Equal: return z == stored;
    case CompareFunction::LessEqual: return z <= stored;
    case CompareFunction::Greater: return z > stored;
    case CompareFunction::NotEqual: return z != stored;
    case CompareFunction::GreaterEqual: return z >= stored;
    case CompareFunction::Always: return true;
  }
  return true;
}

}  // namespace

void Output(const Pipeline& p, int x, int y, uint32_t argb, float z) {
  if (p.alphaTest && !p.alphaPasses[argb >> 24]) return;
  if (p.depth && x < p.depth->Width() && y < p.depth->Height()) {
    float& stored = p.depth->Depth()[size_t(y) * size_t(p.depth->Width()) + size_t(x)];
    z = std::clamp(z, 0.0f, 1.0f);
    if (!DepthPasses(p.depthFunction, z, stored)) return;
    if (p.depthWrite) stored = z;
  }
  const TextureFormat format = p.target->Format();
  uint8_t* pixel = p.target->Row(y) + size_t(x) * size_t(Info(format).bytesPerPixel);
  if (p.blend) argb = Blend(p, argb, LoadPixel(format, pixel));
  StorePixel(format, pixel, argb);
}

}  // namespace qr::platform::gpu
