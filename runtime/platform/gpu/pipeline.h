// What happens to one pixel of a primitive: texture sampling, the texture stages, the specular
// sum, the alpha test, the depth test, blending with the target and the store in its format.
// A Pipeline is the device state of one draw call, resolved for quick use.
#pragma once

#include <cstdint>

#include "platform/gpu/resources.h"
#include "platform/gpu/states.h"

namespace qr::platform::gpu {

struct StageSetup {
  StageOperation colorOp = StageOperation::Disable, alphaOp = StageOperation::Disable;
  uint32_t colorArg1 = 0, colorArg2 = 0, alphaArg1 = 0, alphaArg2 = 0;
  int coordinate = 0;
  CpuTexture* texture = nullptr;
  TextureAddress addressU = TextureAddress::Clamp, addressV = TextureAddress::Clamp;
  TextureFilter magFilter = TextureFilter::Point, minFilter = TextureFilter::Point;
  TextureFilter mipFilter = TextureFilter::None;
  // Chosen per primitive by SelectLevels.
  TexelView view;
  bool magnify = true;
};

// The values a pixel receives from its primitive.
struct Fragment {
  uint32_t diffuse = 0xFFFFFFFFu, specular = 0;
  float u[2] = {0, 0}, v[2] = {0, 0};
  float z = 0;
};

struct Pipeline {
  CpuSurface* target = nullptr;
  CpuSurface* depth = nullptr;  // null unless the depth test is on and a depth surface is bound
  Rect clip;                    // viewport within the target
  StageSetup stages[kTextureStages];
  int stageCount = 0;
  uint32_t factor = 0xFFFFFFFFu;
  bool addSpecular = false;
  bool flat = false;
  CullMode cull = CullMode::None;
  bool alphaTest = false;
  bool alphaPasses[256];
  int alphaAbove = -2;  // when >= -1: exactly the alphas above this pass (Greater, GreaterEqual)
  bool blend = false;
  BlendFactor source = BlendFactor::One, destination = BlendFactor::Zero;
  BlendOperation operation = BlendOperation::Add;
  bool depthWrite = false;
  CompareFunction depthFunction = CompareFunction::LessEqual;
};

// blendOperations false: the device has no blend operation other than addition.
void BuildPipeline(const DeviceStates& states, CpuSurface* target, CpuSurface* depth,
                   const Viewport& viewport, bool blendOperations, Pipeline& out);

// How fast each coordinate set changes across the screen, in u, v units per pixel.
struct Derivatives {
  float dudx[2] = {0, 0}, dvdx[2] = {0, 0}, dudy[2] = {0, 0}, dvdy[2] = {0, 0};
};

// Picks each textured stage's mip level and filter (magnification or minification) for a
// primitive whose coordinates change this fast.
void SelectLevels(Pipeline& p, const Derivatives& d);

uint32_t SampleStage(const StageSetup& stage, float u, float v);

// The texture stages and the specular sum; texels are the samples of each stage.
uint32_t CombineStages(const Pipeline& p, uint32_t diffuse, uint32_t specular,
                       const uint32_t* texels);

// Samples every stage and combines: the colour of a fragment before the tests.
uint32_t Shade(const Pipeline& p, const Fragment& f);

// Alpha test, depth test, blend and store at (x, y), which lies inside p.clip.
void Output(const Pipeline& p, int x, int y, uint32_t argb, float z);

uint32_t Blend(const Pipeline& p, uint32_t source, uint32_t destination);

// Integer conversion of a float that may be huge or not a number.
int FloorToInt(float value);

}  // namespace qr::platform::gpu
