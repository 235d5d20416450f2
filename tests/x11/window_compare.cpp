// Compares what a window shows with a picture: x11_window_compare WINDOW_ID PICTURE.png
// [--ignore X,Y,W,H]... prints the share of pixels that match outside the ignored rectangles
// and exits 0 when it is at least --min (default 1.0, every pixel).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct Box {
  int x, y, w, h;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s WINDOW_ID PICTURE.png [--ignore X,Y,W,H]... [--min SHARE]\n", argv[0]);
    return 2;
  }
  std::vector<Box> ignored;
  double minimum = 1.0;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--ignore") == 0) {
      Box b{};
      if (std::sscanf(argv[i + 1], "%d,%d,%d,%d", &b.x, &b.y, &b.w, &b.h) != 4) return 2;
      ignored.push_back(b);
    } else if (std::strcmp(argv[i], "--min") == 0) {
      minimum = std::atof(argv[i + 1]);
    } else {
      return 2;
    }
  }
  png_image picture;
  std::memset(&picture, 0, sizeof picture);
  picture.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&picture, argv[2])) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  picture.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> expected(PNG_IMAGE_SIZE(picture));
  if (!png_image_finish_read(&picture, nullptr, expected.data(), 0, nullptr)) return 2;

  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  Window window = Window(std::strtoul(argv[1], nullptr, 0));
  int w = int(picture.width), h = int(picture.height);
  XImage* image = XGetImage(display, window, 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "cannot read the window\n");
    return 2;
  }
  long compared = 0, equal = 0;
  int firstX = -1, firstY = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool skip = false;
      for (const Box& b : ignored) skip = skip || b.Contains(x, y);
      if (skip) continue;
      unsigned long p = XGetPixel(image, x, y);
      const unsigned char* e = &expected[(size_t(y) * size_t(w) + size_t(x)) * 3];
      bool same = ((p >> 16) & 0xFF) == e[0] && ((p >> 8) & 0xFF) == e[1] && (p & 0xFF) == e[2];
      ++compared;
      if (same) ++equal;
      else if (firstX < 0) { firstX = x; firstY = y; }
    }
  }
  XDestroyImage(image);
  XCloseDisplay(display);
  double share = compared ? double(equal) / double(compared) : 0.0;
  std::printf("%.4f of %ld pixels match", share, compared);
  if (firstX >= 0) std::printf(" (first difference at %d,%d)", firstX, firstY);
  std::printf("\n");
  return share >= minimum ? 0 : 1;
}
