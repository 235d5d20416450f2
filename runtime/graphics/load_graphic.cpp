#include "graphics/load_graphic.h"

#include <cstring>
#include <string>

#include "core/main_window.h"
#include "file/stream_functions.h"
#include "graphics/draw_settings.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "image/image_decoders.h"
#include "qr.h"

namespace qr::graphics {
namespace {

struct LoadedPicture {
  image::BaseImage image{};
  image::BaseImage alpha{};
  bool hasAlpha = false;

  ~LoadedPicture() { Free(); }
  void Free() {
    image::FreeImagePixels(&image);
    if (hasAlpha) image::FreeImagePixels(&alpha);
    hasAlpha = false;
  }
  bool Load(const char* path, int mirror) {
    Free();
    int r = image::LoadImageWithAlpha(path, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, mirror);
    hasAlpha = r == 0;
    return r >= 0;
  }
};

// A path the program gave, made absolute against the current directory so that a later restore
// finds the file wherever the program has moved since.
std::string FullPath(const char* path) {
  if (path[0] == '/' || path[0] == '\\') return path;
  char buffer[260] = {};
  file::Streams().GetDirectory(buffer);
  std::string directory = buffer;
  if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') directory += '\\';
  return directory + path;
}

}  // namespace

int CreateGraphicFromImages(image::BaseImage* picture, image::BaseImage* alphaImage, int creationFlag,
                            int mirror) {
  (void)creationFlag;  // graphic creation takes no flags
  (void)mirror;        // pictures are mirrored when they are decoded
  CreationSettings& c = Creation();
  image::UpdateSpareMask(&picture->format);
  if (alphaImage) image::UpdateSpareMask(&alphaImage->format);

  // With colour blending, transparent pixels take their opaque neighbours' colour so that
  // filtering does not bleed the key colour in.
  image::BaseImage blended{};
  image::BaseImage* source = picture;
  if (c.colourBlending && image::AllocArgb8ImagePixels(picture->width, picture->height, &blended) == 0) {
    image::PixelConversion conversion;
    conversion.destPixels = blended.pixels;
    conversion.destPitch = blended.pitch;
    conversion.destFormat = &blended.format;
    conversion.sourcePixels = picture->pixels;
    conversion.sourcePitch = picture->pitch;
    conversion.sourceFormat = &picture->format;
    conversion.right = picture->width;
    conversion.bottom = picture->height;
    conversion.keyToAlpha = 1;
    conversion.keyColor = c.transparentColour;
    image::ConvertPixels(conversion);
    auto at = [&](int x, int y) { return reinterpret_cast<uint32_t*>(blended.pixels + size_t(y) * size_t(blended.pitch)) + x; };
    const uint32_t key = c.transparentColour & 0xFFFFFF;
    for (int y = 0; y < blended.height; ++y) {
      for (int x = 0; x < blended.width; ++x) {
        uint32_t p = *at(x, y);
        if ((p & 0xFFFFFF) == key) continue;
        const int dx[4] = {-1, 0, 1, 0}, dy[4] = {0, -1, 0, 1};
        for (int k = 0; k < 4; ++k) {
          int nx = x + dx[k], ny = y + dy[k];
          if (nx < 0 || ny < 0 || nx >= blended.width || ny >= blended.height) continue;
          if ((*at(nx, ny) & 0xFFFFFF) == key) *at(nx, ny) = p & 0xFFFFFF;
        }
      }
    }
    source = &blended;
  }

  uint32_t savedKey = c.transparentColour;
  if (c.topLeftTransparent) {
    int r = 0, g = 0, b = 0;
    image::ReadImagePixel(source, 0, 0, &r, &g, &b, nullptr);
    c.transparentColour = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
  }
  int handle = CreateGraphicForImage(source, alphaImage);
  if (handle != -1 &&
      TransferImageToGraphic(handle, source, alphaImage, TransferRect{0, 0, source->width, source->height},
                             0, 0, 0, nullptr) != 0) {
    DeleteGraphicHandle(handle);
    handle = -1;
  }
  c.transparentColour = savedKey;
  if (source == &blended) image::FreeImagePixels(&blended);
  return handle;
}

int CreateDivGraphFromGraphImage(image::BaseImage* picture, image::BaseImage* alphaImage, int count,
                                 int columns, int rows, int cellWidth, int cellHeight, int* handles,
                                 int creationFlag, int mirror) {
  if (!handles || count <= 0) return -1;
  int whole = CreateGraphicFromImages(picture, alphaImage, creationFlag, mirror);
  if (whole == -1) return -1;
  int made = 0;
  int y = 0;
  for (int row = 0; made < count && row < rows; ++row, y += cellHeight) {
    int x = mirror ? (columns - 1) * cellWidth : 0;
    for (int column = 0; made < count && column < columns; ++column) {
      int cell = DeriveGraphic(x, y, cellWidth, cellHeight, whole);
      if (cell == -1) {
        WriteLog("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
        for (int i = 0; i < made; ++i) DeleteGraphicHandle(handles[i]);
        DeleteGraphicHandle(whole);
        return -1;
      }
      handles[made++] = cell;
      x += mirror ? -cellWidth : cellWidth;
    }
  }
  DeleteGraphicHandle(whole);
  return 0;
}

int RememberGraphicFile(int graphic, const char* path, int source) {
  GraphicRecord* g = GetGraphic(graphic);
  if (!g) return -1;
  if (g->file && --g->file->refCount == 0) FreeMemory(g->file);
  g->file = nullptr;
  if (path) {
    std::string full = FullPath(path);
    auto* record = static_cast<FileRecord*>(AllocMemory(sizeof(FileRecord) + full.size(), "", 0));
    if (!record) return WriteLog("転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n");
    record->refCount = 1;
    std::memcpy(record->path, full.c_str(), full.size() + 1);
    g->file = record;
  } else if (GraphicRecord* from = GetGraphic(source)) {
    g->file = from->file;
    if (g->file) ++g->file->refCount;
  }
  return 0;
}

void RestoreGraphicsFromFiles() {
  WriteLog("グラフィックを復帰します\n");
  LoadedPicture picture;
  const char* loadedPath = nullptr;
  int loadedMirror = -1;
  bool loaded = false;
  auto& table = GraphicTable();
  for (int slot = 0; slot < table.UsedEnd(); ++slot) {
    auto* g = static_cast<GraphicRecord*>(table.At(slot));
    if (!g || !g->file) continue;
    // Cells of one file follow one another: decode it once for all of them.
    if (!loaded || loadedMirror != g->mirrored || std::strcmp(loadedPath, g->file->path) != 0) {
      loaded = picture.Load(g->file->path, g->mirrored);
      loadedPath = g->file->path;
      loadedMirror = g->mirrored;
      if (!loaded) continue;
    }
    image::BaseImage* alpha = picture.hasAlpha ? &picture.alpha : nullptr;
    TransferImageToGraphic(g->handle, &picture.image, alpha,
                           TransferRect{g->fileX, g->fileY, g->fileX + g->width, g->fileY + g->height}, 0, 0,
                           g->mirrored, nullptr);
  }
}

}  // namespace qr::graphics

using namespace qr::graphics;

int LoadGraphic(const char* path, int flag) {
  if (!Device().ready || !path) return -1;
  qr::core::WaitWhileInactive();
  LoadedPicture picture;
  if (picture.Load(path, 0)) {
    int handle = CreateGraphicFromImages(&picture.image, picture.hasAlpha ? &picture.alpha : nullptr, !flag, 0);
    RememberGraphicFile(handle, path, -1);
    return handle;
  }
  qr::file::StreamHandle stream = qr::file::Streams().Open(path, 0, 1, 0);
  if (!stream) {
    WriteLogFormat("グラフィックファイル %s がありません", path);
    return -1;
  }
  qr::file::Streams().Close(stream);
  // Not a picture; movies are not played, so it is reported as a picture that failed.
  WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s \n", path);
  return -1;
}

int LoadSplitGraphic(const char* path, int count, int columns, int rows, int cellWidth, int cellHeight,
                     int* handles, int flag) {
  if (!Device().ready || !path) return -1;
  qr::core::WaitWhileInactive();
  LoadedPicture picture;
  if (!picture.Load(path, 0)) {
    WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s", path);
    return -1;
  }
  int result = CreateDivGraphFromGraphImage(&picture.image, picture.hasAlpha ? &picture.alpha : nullptr, count,
                                            columns, rows, cellWidth, cellHeight, handles, !flag, 0);
  if (result == 0) {
    int made = std::min(count, columns * rows);
    for (int i = 0; i < made; ++i) RememberGraphicFile(handles[i], path, -1);
  }
  return result;
}
