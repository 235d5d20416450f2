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

TEST_F(MouseTest, SetMousePositionClampsToTheScreenInclusiveAndIgnoresTheScale) {
  qr::core::MainWindow().settings.sizeFactor = 2.0;
  Start();
  const qr::platform::Rect client = qr::core::MainWindow().clientRect;
  struct Case {
    int x, y, dx, dy;
  } cases[] = {{-5, 1000, 0, 480}, {640, 480, 640, 480}, {641, -1, 640, 0}, {10, 20, 10, 20},
               {INT_MIN, INT_MAX, 0, 480}};
  for (const Case& c : cases) {
    EXPECT_EQ(SetMousePosition(c.x, c.y), 0);
    EXPECT_EQ(host.window.cursorX, client.left + c.dx) << c.x;
    EXPECT_EQ(host.window.cursorY, client.top + c.dy) << c.y;
  }
  qr::graphics::Screen().width = 800;
  SetMousePosition(5000, 0);
  EXPECT_EQ(host.window.cursorX, client.left + 800);
}

}  // namespace
}  // namespace qr::testing
