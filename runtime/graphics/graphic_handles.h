// Graphics as handles: each names a rectangle of a shared image that lives in power-of-two
// textures, with precomputed draw tiles that say which part of which texture covers which part of
// the graphic. Cells cut from one picture share its image by reference count.
#pragma once

#include <cstdint>

#include "core/handle_table.h"
#include "image/base_image.h"
#include "platform/graphics_device.h"

namespace qr::graphics {

// How a shared image was made.
struct ImageInfo {
  uint8_t hardware;        // textures, not a memory image
  uint8_t alpha;           // has an alpha channel
  uint8_t drawable;        // render-target textures
  uint8_t software;
  uint8_t defaultPool;     // textures in the default pool rather than managed
  uint8_t compression;     // 0 none, 1-5 DXT1-DXT5
  uint8_t mipLevels;
  uint8_t transparent;     // the transparent colour is in use (alpha test)
  uint8_t colourBits;      // 16 or 32
  uint8_t forced32Alpha;
  uint8_t paletteNoAlpha;
};

struct TextureTile {
  platform::Texture* texture;
  platform::Surface* surface;  // level 0
  platform::Surface* spare;
  int x, y;  // position in the image
  int usedWidth, usedHeight;
  int textureWidth, textureHeight;
};

struct SharedImage {
  int refCount;
  int formatIndex;
  ImageInfo info;
  uint32_t transparentColour;  // 0xRRGGBB
  int width, height;
  int mipLevels;  // 0: all levels
  int textureCount;
  TextureTile* textures;  // row-major
};

struct TileCorner {
  float x, y, u, v;
};

struct DrawTile {
  int destX, destY;  // inside the graphic
  int srcX, srcY;    // inside the texture
  int width, height;
  TileCorner corners[4];  // top-left, top-right, bottom-left, bottom-right
  uint8_t cornerInUpperLeft[4];
  TextureTile* texture;
};

// The file a graphic was loaded from, shared by the cells of one load.
struct FileRecord {
  int refCount;
  char path[1];  // NUL-terminated, allocated to its length
};

struct GraphicRecord : core::HandleRecord {
  int handle;
  int* deletionFlag;
  SharedImage* image;
  int movie;  // -1: none
  FileRecord* file;
  int fileX, fileY;
  int mirrored;
  int x, y;  // in the shared image
  int width, height;
  int tileCount;
  DrawTile* tiles;  // from the tracked allocator
};

core::TypedHandleTable<GraphicRecord>& GraphicTable();
inline GraphicRecord* GetGraphic(int handle) { return GraphicTable().Get(handle); }

// The texture sizes that cover one dimension.
int SplitTextureLength(int length, bool single, int sizes[32]);

int CreateGraphicForImage(const image::BaseImage* image, const image::BaseImage* alphaImage);
// waitWhileInactive: false for the runtime's own graphics made inside the window procedure or
// at the end (the glyph caches), which must not wait for the window.
int CreateEmptyGraphicHandle(int width, int height, bool waitWhileInactive = true);
int CreateGraphicStorage(int mipLevels, int handle, int width, int height, bool alpha,
                         bool paletteNoAlpha, int compression);
int CreateGraphicTextures(SharedImage* image);
int BuildDrawTiles(int handle);
struct TransferRect {
  int left, top, right, bottom;
};
int TransferImageToGraphic(int handle, image::BaseImage* image, image::BaseImage* alphaImage,
                           const TransferRect& source, int destX, int destY, int mirrored,
                           const char* path, bool imageCoordinates = false);
int DeriveGraphic(int x, int y, int width, int height, int parent);
int DeleteGraphicHandle(int handle);
void DeleteAllGraphics();
void ReleaseAllGraphicTextures();
void RecreateAllGraphicTextures();

// The canonical pixel layout of a format index.
bool TextureColourFormat(int formatIndex, image::ColorFormat* format);
int ChooseTextureFormat(const ImageInfo& info);

}  // namespace qr::graphics
