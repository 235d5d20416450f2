#include <algorithm>
#include <climits>

#include "graphics/screen_settings.h"
#include "input_fixture.h"

namespace qr::testing {
namespace {

using MouseTest = InputTest;

TEST_F(MouseTest, DeviceButtonsAreBitsZeroToSevenAndTheMouseIsAcquiredOnFirstUse) {
  Start();
  host.input.mouseState.buttons[0] = 0x80;
  host.input.mouseState.buttons[1] = 0x80;
  host.input.mouseState.buttons[7] = 0x80;
  host.input.mouseState.buttons[3] = 0x7F;  // only bit 7 counts
  EXPECT_EQ(GetMouseButtons(), 0b10000011);
  EXPECT_EQ(host.input.mouse.acquireCalls, 1);
  EXPECT_TRUE(host.input.mouse.acquired);
  EXPECT_EQ(GetMouseButtons(), 0b10000011);
  EXPECT_EQ(host.input.mouse.acquireCalls, 1);
}

TEST_F(MouseTest, ButtonPressedAndReleasedBetweenTwoReadsReadsHeldOnce) {
  Start();
  EXPECT_EQ(GetMouseButtons(), 0);  // acquires the mouse
  host.input.SetMouseButton(0, true);
  host.input.SetMouseButton(0, false);
  host.input.SetMouseButton(2, true);
  host.input.SetMouseButton(2, false);
  EXPECT_EQ(GetMouseButtons(), 0b101);
  EXPECT_EQ(GetMouseButtons(), 0);
  // Held across reads: down on each read until let go.
  host.input.SetMouseButton(1, true);
  EXPECT_EQ(GetMouseButtons(), 0b10);
  EXPECT_EQ(GetMouseButtons(), 0b10);
  host.input.SetMouseButton(1, false);
  EXPECT_EQ(GetMouseButtons(), 0);
  // A mouse that is not acquired hears nothing of a tap.
  host.input.SetFocus(false);
  host.input.SetMouseButton(0, true);
  host.input.SetMouseButton(0, false);
  EXPECT_EQ(GetMouseButtons(), 0);
}

TEST_F(MouseTest, MouseThatCannotBeAcquiredReadsNoButtons) {
  Start();
  host.input.mouseState.buttons[0] = 0x80;
  host.input.mouse.acquireFailures = 1;
  EXPECT_EQ(GetMouseButtons(), 0);
  EXPECT_EQ(GetMouseButtons(), 1);  // the next call acquires it
  // Losing the focus takes the acquisition; the background mouse is simply acquired again.
  host.input.SetFocus(false);
  EXPECT_EQ(GetMouseButtons(), 1);
}

TEST_F(MouseTest, PlainPathTakesTheButtonsFromVirtualKeysOneTwoAndFour) {
  host.input.interface7 = host.input.interface8 = false;
  Start();
  host.input.mouseState.buttons[0] = 0x80;  // the device plays no part
  EXPECT_EQ(GetMouseButtons(), 0);
  host.input.virtualKeys[0x01] = 0x80;
  EXPECT_EQ(GetMouseButtons(), 1);
  host.input.virtualKeys[0x02] = 0x80;
  host.input.virtualKeys[0x04] = 0x81;
  host.input.virtualKeys[0x05] = 0x80;  // the fourth button has no bit here
  EXPECT_EQ(GetMouseButtons(), 7);
  host.input.failVirtualKeys = true;
  EXPECT_EQ(GetMouseButtons(), 0);
}

TEST_F(MouseTest, PositionIsRelativeToTheClientAreaAndDividedByTheScaleFactor) {
  qr::core::MainWindow().settings.sizeFactor = 2.0;
  Start();
  const qr::platform::Rect client = qr::core::MainWindow().clientRect;
  ASSERT_EQ(client.Width(), 1280);
  struct Case {
    int dx, dy, x, y;
  } cases[] = {
      {100, 50, 50, 25},     {0, 0, 0, 0},          {1279, 959, 639, 479},
      {1500, 2000, 750, 1000},  // beyond the client area: not clamped
      {-7, -1, -3, 0},       // above and left: negative, truncated toward zero
      {-100, -300, -50, -150},
  };
  for (const Case& c : cases) {
    host.window.cursorX = client.left + c.dx;
    host.window.cursorY = client.top + c.dy;
    int x = 12345, y = 12345;
    EXPECT_EQ(GetMousePosition(&x, &y), 0);
    EXPECT_EQ(x, c.x) << c.dx;
    EXPECT_EQ(y, c.y) << c.dy;
  }
  int x = 9;
  EXPECT_EQ(GetMousePosition(&x, nullptr), 0);
  EXPECT_EQ(GetMousePosition(nullptr, nullptr), 0);
}

TEST_F(MouseTest, UnusableScaleFactorCountsAsOne) {
  Start();
  const qr::platform::Rect client = qr::core::MainWindow().clientRect;
  host.window.cursorX = client.left + 30;
  host.window.cursorY = client.top + 40;
  for (double factor : {0.0, -2.0}) {
    qr::core::MainWindow().settings.sizeFactor = factor;
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
  }
}

TEST_F(MouseTest, FullScreenPositionIsTheScreenPosition) {
  ChangeWindowMode(0);
  ASSERT_EQ(RuntimeInit(), 0);
  host.window.cursorX = 123;
  host.window.cursorY = -4;
  int x = 0, y = 0;
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, 123);
  EXPECT_EQ(y, -4);
  EXPECT_EQ(SetMousePosition(700, 30), 0);
  EXPECT_EQ(host.window.cursorX, 640);
  EXPECT_EQ(host.window.cursorY, 30);
}

// Set maps through the scale as Get does, so that a position set reads back as set: the
// game's clamping of the player to the field's sides works in a scaled window too.
TEST_F(MouseTest, SetMousePositionClampsToTheScreenInclusiveAndMapsThroughTheScale) {
  qr::core::MainWindow().settings.sizeFactor = 2.0;
  Start();
  const qr::platform::Rect client = qr::core::MainWindow().clientRect;
  struct Case {
    int x, y, dx, dy;
  } cases[] = {{-5, 1000, 0, 960}, {640, 480, 1280, 960}, {641, -1, 1280, 0}, {10, 20, 20, 40},
               {INT_MIN, INT_MAX, 0, 960}, {560, 131, 1120, 262}};
  for (const Case& c : cases) {
    EXPECT_EQ(SetMousePosition(c.x, c.y), 0);
    EXPECT_EQ(host.window.cursorX, client.left + c.dx) << c.x;
    EXPECT_EQ(host.window.cursorY, client.top + c.dy) << c.y;
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, std::clamp(c.x, 0, 640)) << c.x;
    EXPECT_EQ(y, std::clamp(c.y, 0, 480)) << c.y;
  }
}

TEST_F(MouseTest, SetAndGetAgreeAtScalesThatAreNotWhole) {
  for (double factor : {1.5, 1.3, 2.25}) {
    qr::core::MainWindow().settings.sizeFactor = factor;
    Start();
    for (int v : {0, 1, 2, 77, 319, 479}) {
      SetMousePosition(v, v);
      int x = -1, y = -1;
      GetMousePosition(&x, &y);
      EXPECT_EQ(x, v) << factor;
      EXPECT_EQ(y, v) << factor;
    }
    RuntimeEnd();
  }
}

// A window the host made another size than asked for shows the screen fitted between black
// bars; the cursor follows the same mapping, and reads outside the screen over the bars.
TEST_F(MouseTest, WindowOfAnotherSizeMapsThroughThePictureBetweenTheBars) {
  Start();
  qr::core::MainWindow().clientRect = qr::platform::Rect{100, 50, 100 + 1000, 50 + 480};
  // 640 x 480 in 1000 x 480: unscaled, 180 pixels of bar at each side.
  struct Case {
    int dx, dy, x, y;
  } cases[] = {{180, 0, 0, 0}, {500, 240, 320, 240}, {819, 479, 639, 479}, {100, 10, -80, 10},
               {900, 10, 720, 10}};
  for (const Case& c : cases) {
    host.window.cursorX = 100 + c.dx;
    host.window.cursorY = 50 + c.dy;
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, c.x) << c.dx;
    EXPECT_EQ(y, c.y) << c.dy;
  }
  SetMousePosition(0, 0);
  EXPECT_EQ(host.window.cursorX, 280);
  ASSERT_EQ(FlipScreen(), 0);
  ASSERT_TRUE(host.window.frameDestination.has_value());
  EXPECT_EQ(*host.window.frameDestination, (qr::platform::Rect{180, 0, 820, 480}));
}

}  // namespace
}  // namespace qr::testing
