// A window that exists only in memory. Tests queue messages for it (each due at a time of the
// headless clock) and read back what the runtime did to it: title, icon, bounds, cursor, frames.
#pragma once

#include <deque>
#include <map>
#include <optional>

#include "platform/clock.h"
#include "platform/window.h"
#include "platform/window_timers.h"

namespace qr::platform {

class HeadlessWindow final : public Window {
 public:
  explicit HeadlessWindow(Clock& clock) : clock_(clock) {}

  // What the host reports.
  DisplayMode desktop{1280, 1024, 32, 60};
  std::vector<DisplayMode> modes{{640, 480, 16, 60}, {640, 480, 32, 60}, {800, 600, 32, 60},
                                 {1024, 768, 32, 60}, {1280, 1024, 32, 60}};
  Rect decoratedMargins{3, 22, 3, 3};
  std::optional<Rect> usableArea;  // none: the whole desktop
  bool failCreate = false;
  bool failPresent = false;

  // What the runtime did.
  bool created = false, visible = false, fullScreen = false, topMost = false;
  bool screenSaverEnabled = true;
  int createCount = 0, destroyCount = 0, raiseCount = 0;
  WindowDescription description;
  std::string title;
  std::optional<IconImage> icon;
  Rect bounds;
  int cursorCount = 0;
  bool cursorArrow = true;
  int cursorX = 0, cursorY = 0;
  std::optional<Rect> cursorClip;
  std::vector<uint32_t> frame;  // the last presented frame as 0xAARRGGBB, alpha 0xFF
  int frameWidth = 0, frameHeight = 0, presentCount = 0;
  std::optional<Rect> frameDestination;  // where the last frame was asked to go; none: fitted

  // Queues a message from the host, delivered once the clock reaches dueMs (default: now).
  void Push(const Message& message, std::optional<uint32_t> dueMs = std::nullopt);
  size_t PendingMessages() const { return queue_.size(); }

  DisplayMode DesktopMode() override { return desktop; }
  std::vector<DisplayMode> DisplayModes() override { return modes; }
  Rect UsableArea() override { return usableArea.value_or(Rect{0, 0, desktop.width, desktop.height}); }
  Rect FrameMargins(bool decorated) override { return decorated ? decoratedMargins : Rect{}; }
  bool Create(const WindowDescription& description) override;
  void Destroy() override;
  bool Exists() const override { return created; }
  void SetTitle(const std::string& utf8) override { title = utf8; }
  void SetIcon(const IconImage* image) override;
  void Show(bool show) override { visible = show; }
  void Raise() override { ++raiseCount; }
  void SetTopMost(bool value) override { topMost = value; }
  void SetFullScreen(bool value, const DisplayMode& mode) override;
  Rect ClientRect() override;
  Rect WindowRect() override { return bounds; }
  void MoveTo(const Rect& outer) override { bounds = outer; }
  void SetScreenSaverEnabled(bool enabled) override { screenSaverEnabled = enabled; }
  bool InVerticalBlank() override { return true; }
  void WaitForVerticalBlank() override {}
  int ShowCursor(bool show) override { return show ? ++cursorCount : --cursorCount; }
  void SetCursorShape(bool arrow) override { cursorArrow = arrow; }
  bool CursorPosition(int& x, int& y) override;
  void WarpCursor(int x, int y) override;
  void ClipCursor(const Rect* area) override;
  bool PeekMessage(Message& out, bool remove) override;
  void PostMessage(const Message& message) override { Push(message); }
  void SetTimer(int id, int intervalMs) override;
  void KillTimer(int id) override { timers_.Kill(id); }
  bool Present(const void* pixels, int pitch, PixelLayout layout, int width, int height,
               const Rect* source, const Rect* destination) override;

 private:
  struct Queued {
    Message message;
    uint32_t due;
  };
  uint32_t Now() const;
  Clock& clock_;
  std::deque<Queued> queue_;
  WindowTimers timers_;
};

}  // namespace qr::platform
