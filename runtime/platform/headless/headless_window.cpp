#include "platform/headless/headless_window.h"

#include <algorithm>
#include <cstring>

#include "platform/headless/headless_clock.h"

namespace qr::platform {

uint32_t HeadlessWindow::Now() const {
  // Reading through Milliseconds() would move a headless clock; peek at it instead.
  if (auto* headless = dynamic_cast<HeadlessClock*>(&clock_))
    return uint32_t(headless->now.load() / 1000);
  return clock_.Milliseconds();
}

void HeadlessWindow::Push(const Message& message, std::optional<uint32_t> dueMs) {
  uint32_t due = dueMs.value_or(Now());
  // Keep the queue in due order; messages due at the same time keep their order.
  auto at = std::find_if(queue_.begin(), queue_.end(),
                         [due](const Queued& q) { return int32_t(q.due - due) > 0; });
  queue_.insert(at, Queued{message, due});
}

bool HeadlessWindow::Create(const WindowDescription& wanted) {
  if (failCreate) return false;
  description = wanted;
  created = true;
  ++createCount;
  title = wanted.titleUtf8;
  bounds = wanted.bounds;
  fullScreen = wanted.fullScreen;
  SetIcon(wanted.icon);
  return true;
}

void HeadlessWindow::Destroy() {
  if (!created) return;
  created = false;
  visible = false;
  ++destroyCount;
  timers_.Clear();
  queue_.clear();  // what was posted to the window goes with it
}

void HeadlessWindow::SetIcon(const IconImage* image) {
  if (image)
    icon = *image;
  else
    icon.reset();
}

void HeadlessWindow::SetFullScreen(bool value, const DisplayMode& mode) {
  fullScreen = value;
  // Switching changes the display the way a mode change does on a desktop.
  DisplayMode now = value ? mode : desktop;
  Push(Message{MessageKind::DisplayChange, now.bitsPerPixel, now.width | (now.height << 16)});
}

Rect HeadlessWindow::ClientRect() {
  if (fullScreen) return bounds;
  Rect m = decoratedMargins;
  return Rect{bounds.left + m.left, bounds.top + m.top, bounds.right - m.right,
              bounds.bottom - m.bottom};
}

bool HeadlessWindow::CursorPosition(int& x, int& y) {
  x = cursorX;
  y = cursorY;
  return true;
}

void HeadlessWindow::WarpCursor(int x, int y) {
  if (cursorClip) {
    x = std::clamp(x, cursorClip->left, cursorClip->right - 1);
    y = std::clamp(y, cursorClip->top, cursorClip->bottom - 1);
  }
  cursorX = x;
  cursorY = y;
}

void HeadlessWindow::ClipCursor(const Rect* area) {
  if (area)
    cursorClip = *area;
  else
    cursorClip.reset();
}

bool HeadlessWindow::PeekMessage(Message& out, bool remove) {
  uint32_t now = Now();
  if (!queue_.empty() && int32_t(now - queue_.front().due) >= 0) {
    out = queue_.front().message;
    if (remove) queue_.pop_front();
    return true;
  }
  return timers_.Due(now, remove, out);
}

void HeadlessWindow::SetTimer(int id, int intervalMs) {
  timers_.Set(id, intervalMs, Now());
}

bool HeadlessWindow::Present(const void* pixels, int pitch, PixelLayout layout, int width,
                             int height, const Rect* source, const Rect* destination) {
  if (failPresent || !created) return false;
  if (destination)
    frameDestination = *destination;
  else
    frameDestination.reset();
  Rect src = source ? *source : Rect{0, 0, width, height};
  src.left = std::clamp(src.left, 0, width);
  src.right = std::clamp(src.right, src.left, width);
  src.top = std::clamp(src.top, 0, height);
  src.bottom = std::clamp(src.bottom, src.top, height);
  frameWidth = src.Width();
  frameHeight = src.Height();
  frame.resize(size_t(frameWidth) * size_t(frameHeight));
  const auto* bytes = static_cast<const unsigned char*>(pixels);
  for (int y = 0; y < frameHeight; ++y) {
    const unsigned char* row = bytes + size_t(src.top + y) * size_t(pitch);
    uint32_t* out = frame.data() + size_t(y) * size_t(frameWidth);
    if (layout == PixelLayout::X8R8G8B8) {
      // One simple loop the compiler turns into vector code: the frame keeps full alpha.
      const unsigned char* in = row + size_t(src.left) * 4;
      for (int x = 0; x < frameWidth; ++x) {
        uint32_t argb;
        std::memcpy(&argb, in + size_t(x) * 4, 4);
        out[x] = argb | 0xFF000000u;
      }
      continue;
    }
    for (int x = 0; x < frameWidth; ++x) {
      uint16_t p;
      std::memcpy(&p, row + size_t(src.left + x) * 2, 2);
      unsigned r, g, b;
      if (layout == PixelLayout::R5G6B5) {
        r = (p >> 11) & 31; g = (p >> 5) & 63; b = p & 31;
        g = (g << 2) | (g >> 4);
      } else {
        r = (p >> 10) & 31; g = (p >> 5) & 31; b = p & 31;
        g = (g << 3) | (g >> 2);
      }
      r = (r << 3) | (r >> 2);
      b = (b << 3) | (b >> 2);
      out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  ++presentCount;
  return true;
}

}  // namespace qr::platform
