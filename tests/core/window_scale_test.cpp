// The window's scale factor: the client area it gives, the fitting factor, and where frames go.
#include <gtest/gtest.h>

#include <cmath>

#include "core/main_window.h"
#include "core/window_scale.h"
#include "platform/screen_fit.h"
#include "support/headless_runtime.h"
#include "qr.h"

namespace {
using qr::platform::Rect;
using qr::testing::HeadlessRuntimeTest;

class WindowScale : public HeadlessRuntimeTest {
 protected:
  void Start() {
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
  }
  Rect Client() { return host.window.ClientRect(); }
};

TEST(ScreenFit, LargestPictureWithTheAspectRatioCentred) {
  struct Case {
    int w, h, areaW, areaH;
    Rect expected;
  } cases[] = {
      {640, 480, 640, 480, {0, 0, 640, 480}},
      {640, 480, 1280, 960, {0, 0, 1280, 960}},
      {640, 480, 1920, 1080, {240, 0, 1680, 1080}},   // bars at the sides
      {640, 480, 1280, 1024, {0, 32, 1280, 992}},      // bars above and below
      {640, 480, 1000, 480, {180, 0, 820, 480}},
      {640, 480, 3840, 2160, {480, 0, 3360, 2160}},
      {640, 480, 320, 240, {0, 0, 320, 240}},          // smaller than the picture
      {640, 480, 641, 481, {0, 0, 641, 480}},
      {0, 480, 800, 600, {0, 0, 800, 600}},            // nothing to fit: the whole area
  };
  for (const Case& c : cases)
    EXPECT_EQ(qr::platform::FitInside(c.w, c.h, c.areaW, c.areaH), c.expected)
        << c.w << "x" << c.h << " in " << c.areaW << "x" << c.areaH;
}

TEST_F(WindowScale, FactorSizesTheClientAreaAndTheFramesGoThere) {
  ASSERT_EQ(SetWindowSizeScale(2.0), 0);  // before start: stored
  Start();
  EXPECT_EQ(Client().Width(), 1280);
  EXPECT_EQ(Client().Height(), 960);
  ASSERT_EQ(FlipScreen(), 0);
  ASSERT_TRUE(host.window.frameDestination.has_value());
  EXPECT_EQ(*host.window.frameDestination, (Rect{0, 0, 1280, 960}));
  // A pointer at client (201, 101) is at (100, 50) of the screen.
  host.window.cursorX = Client().left + 201;
  host.window.cursorY = Client().top + 101;
  int x = 0, y = 0;
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);

  // After start the window is sized again at once.
  ASSERT_EQ(SetWindowSizeScale(1.5), 0);
  EXPECT_EQ(Client().Width(), 960);
  EXPECT_EQ(Client().Height(), 720);
  ASSERT_EQ(FlipScreen(), 0);
  EXPECT_EQ(*host.window.frameDestination, (Rect{0, 0, 960, 720}));
}

TEST_F(WindowScale, UnusableAndTooLargeFactors) {
  struct Case {
    double factor;
    int width;
  } cases[] = {{-3.0, 640}, {std::nan(""), 640}, {40.0, 640 * 16}, {16.0, 640 * 16}, {1.25, 800}};
  for (const Case& c : cases) {
    SetWindowSizeScale(c.factor);
    Start();
    EXPECT_EQ(Client().Width(), c.width) << c.factor;
    RuntimeEnd();
  }
}

// 0 picks the largest whole factor whose window, frame included, fits the usable area.
TEST_F(WindowScale, FitPicksTheLargestWholeFactorThatFitsTheUsableArea) {
  struct Case {
    Rect usable;
    int width;
  } cases[] = {
      {{0, 0, 1280, 1024}, 640},    // 1286 wide with the frame: too wide for 2
      {{0, 0, 1920, 1080}, 1280},
      {{0, 0, 1920, 1004}, 1280},   // 960 + 25 of frame fits in 1004
      {{0, 0, 1920, 984}, 640},     // ...not in 984
      {{0, 30, 3840, 2160}, 2560},  // a 4K desktop with a panel: 4 x 480 + 25 fits in 2130
      {{0, 0, 300, 200}, 640},      // never below 1
  };
  for (const Case& c : cases) {
    host.window.desktop = {c.usable.right, c.usable.bottom, 32, 60};
    host.window.usableArea = c.usable;
    SetWindowSizeScale(0);
    Start();
    EXPECT_EQ(Client().Width(), c.width) << c.usable.Width() << "x" << c.usable.Height();
    EXPECT_EQ(Client().Height(), c.width * 3 / 4);
    RuntimeEnd();
  }
}

// Full screen in the desktop's mode: the screen fitted between black bars, the cursor mapped
// through the same rectangle.
TEST_F(WindowScale, FullScreenPlacementOnAWideDesktop) {
  ASSERT_EQ(RuntimeInit(), 0);
  qr::core::MainWindow().settings.sizeFactor = 2.0;  // a window's factor plays no part here
  host.window.bounds = Rect{0, 0, 1920, 1080};       // the desktop-sized full-screen window
  qr::core::ScreenPlacement p = qr::core::PlaceScreen();
  EXPECT_EQ(p.picture, (Rect{240, 0, 1680, 1080}));
  struct Case {
    int sx, sy, x, y;
  } cases[] = {{960, 540, 320, 240}, {240, 0, 0, 0}, {1679, 1079, 639, 479}, {100, 0, -62, 0},
               {1800, 10, 693, 4}};
  for (const Case& c : cases) {
    host.window.cursorX = c.sx;
    host.window.cursorY = c.sy;
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, c.x) << c.sx;
    EXPECT_EQ(y, c.y) << c.sy;
  }
  SetMousePosition(320, 240);
  EXPECT_EQ(host.window.cursorX, 960);
  EXPECT_EQ(host.window.cursorY, 540);
}

}  // namespace
