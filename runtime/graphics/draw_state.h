// The vertex batch and the device state cache: draws collect vertices in main memory, and the
// device hears of a state only when it differs from what it was last told.
#pragma once

#include <cstdint>

#include "graphics/graphic_handles.h"
#include "platform/graphics_device.h"

namespace qr::graphics {

struct Vertex0 {  // untextured shapes
  float x, y, z, rhw;
  uint32_t diffuse;
};
struct Vertex1 {  // graphics
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
struct Vertex2 {  // graphics with a second texture
  float x, y, z, rhw;
  uint32_t diffuse, specular;
  float u0, v0, u1, v1;
};
static_assert(sizeof(Vertex0) == 20 && sizeof(Vertex1) == 28 && sizeof(Vertex2) == 40);

constexpr int kBatchCapacity[3] = {3225, 2340, 1638};
namespace vf = platform::vertex_format;
constexpr uint32_t kVertexFormats[3] = {
    vf::kPositionRhw | vf::kDiffuse,
    vf::kPositionRhw | vf::kDiffuse | vf::kTexture1,
    vf::kPositionRhw | vf::kDiffuse | vf::kSpecular | vf::kTexture2};

// Flags of one draw.
enum DrawFlags : unsigned {
  kDrawTransparent = 1,
  kDrawGraphic = 2,    // a graphic, not a shape or a glyph
  kDrawGouraud = 4,
  kDrawSpecular = 8,
  kDrawUseDiffuse = 16,
  kDrawUseParam = 32,
};

// Room for `count` more vertices of `kind` in a list of `type`; flushes first when needed.
// Returns where to write them.
void* ReserveVertices(int kind, platform::PrimitiveType type, int count);
int PendingVertices();

void FlushVertices();
void OpenScene();
void CloseScene();
void ForgetShaderBindings();

// After a device creation: initial states, caches emptied, scene open.
void InitDrawState();
// Before the device goes: drop every cached object.
void ForgetDrawState();
// Drops a texture from the cache when its image goes away.
void ForgetTexturesOf(const SharedImage* image);

// Every draw passes through here: shade mode, blend states, texture, filter, addressing.
void ApplyDrawState(const ImageInfo* info, platform::Texture* texture, unsigned flags);
// Sets the texture of stage 0 (flushing first when it changes).
void BindTexture(platform::Texture* texture);
void ApplyPendingBlendState();
void ApplyFilterMode();

// The screen surface: the second back buffer when there is one, else the back buffer.
platform::Surface* CurrentScreenSurface();
// The surface drawing goes to now.
platform::Surface* CurrentTargetSurface();
// Sets the clip area again from the program's values (the window moved, the target changed).
void ReapplyClipArea();
// Binds the current draw target again (after a device re-creation or mode change).
void SelectDrawTargetAgain();
// The 32 ms timer that shows the front screen again.
void OnFrontScreenTimer();
constexpr int kFrontScreenTimerId = 0x7FFF;

}  // namespace qr::graphics
