// The device's state block: render, texture-stage and sampler states, bound textures and the
// vertex layout, with the values a new device starts from. Also the names of states, for records.
#pragma once

#include <cstdint>

#include "platform/graphics_device.h"

namespace qr::platform::gpu {

class CpuTexture;

struct DeviceStates {
  uint32_t render[int(RenderState::Count)];
  uint32_t stage[kTextureStages][int(TextureStageState::Count)];
  uint32_t sampler[kTextureStages][int(SamplerState::Count)];
  CpuTexture* textures[kTextureStages] = {};
  uint32_t vertexFormat = 0;

  DeviceStates();  // the defaults of a new device

  uint32_t Render(RenderState s) const { return render[int(s)]; }
  uint32_t Stage(int i, TextureStageState s) const { return stage[i][int(s)]; }
  uint32_t Sampler(int i, SamplerState s) const { return sampler[i][int(s)]; }
};

// Whether value is a legal value of the state (enumerated states only take their enumerators).
bool ValidRenderState(RenderState state, uint32_t value);
bool ValidStageState(TextureStageState state, uint32_t value);
bool ValidSamplerState(SamplerState state, uint32_t value);

const char* StateName(RenderState state);
const char* StateName(TextureStageState state);
const char* StateName(SamplerState state);
const char* PrimitiveName(PrimitiveType type);

}  // namespace qr::platform::gpu
