// Compares what a window shows with a picture: x11_window_compare WINDOW_ID PICTURE.png
// [--ignore X,Y,W,H]... [--min SHARE] [--scale S] [--at X,Y] [--tolerance T] [--bars]
// prints the share of pixels that match outside the ignored rectangles and exits 0 when it is
// at least --min (default 1.0, every pixel). --scale S: the window shows the picture S times
// enlarged (window pixel x is picture pixel floor(x / S)); --at X,Y: its top-left is there in
// the window; --tolerance T: channels may differ by T (for smoothed scaling); --bars: the rest
// of the window must be black, and counts in the share. Ignored rectangles are in picture
// coordinates.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
#include <cmath>
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
  double minimum = 1.0, scale = 1.0;
  int atX = 0, atY = 0, tolerance = 0;
  bool bars = false;
  for (int i = 3; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--bars") == 0) {
      bars = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) return 2;
    if (std::strcmp(argv[i], "--scale") == 0) {
      scale = std::atof(argv[i + 1]);
      if (!(scale > 0)) return 2;
    } else if (std::strcmp(argv[i], "--at") == 0) {
      if (std::sscanf(argv[i + 1], "%d,%d", &atX, &atY) != 2) return 2;
    } else if (std::strcmp(argv[i], "--tolerance") == 0) {
      tolerance = std::atoi(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--ignore") == 0) {
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
  int shownW = int(std::lround(w * scale)), shownH = int(std::lround(h * scale));
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return 2;
  // The whole window with --bars, else only where the picture shows.
  int areaX = bars ? 0 : atX, areaY = bars ? 0 : atY;
  int areaW = bars ? attributes.width : shownW, areaH = bars ? attributes.height : shownH;
  XImage* image = XGetImage(display, window, areaX, areaY, unsigned(areaW), unsigned(areaH),
                            AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "cannot read the window\n");
    return 2;
  }
  auto close = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
  long compared = 0, equal = 0;
  int firstX = -1, firstY = -1;
  for (int wy = areaY; wy < areaY + areaH; ++wy) {
    for (int wx = areaX; wx < areaX + areaW; ++wx) {
      unsigned long p = XGetPixel(image, wx - areaX, wy - areaY);
      int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
      bool inside = wx >= atX && wy >= atY && wx < atX + shownW && wy < atY + shownH;
      bool same;
      if (inside) {
        int x = std::min(w - 1, int(std::floor((wx - atX) / scale)));
        int y = std::min(h - 1, int(std::floor((wy - atY) / scale)));
        bool skip = false;
        for (const Box& box : ignored) skip = skip || box.Contains(x, y);
        if (skip) continue;
        const unsigned char* e = &expected[(size_t(y) * size_t(w) + size_t(x)) * 3];
        same = close(r, e[0]) && close(g, e[1]) && close(b, e[2]);
      } else {
        same = r == 0 && g == 0 && b == 0;
      }
      ++compared;
      if (same) ++equal;
      else if (firstX < 0) { firstX = wx; firstY = wy; }
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
