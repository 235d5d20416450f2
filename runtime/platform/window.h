// The main window and its message queue: what the runtime needs of the host's windowing system.
// The runtime's own logic (the window procedure, the pump's batching, the log lines) sits above
// this interface; an implementation only does what it is asked and reports what happened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qr::platform {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct DisplayMode {
  int width = 0, height = 0;
  int bitsPerPixel = 0;  // a 24-bit colour desktop with 32-bit pixels reports 32
  int refreshRate = 0;
};

enum class MessageKind {
  Close,          // the user or the runtime asks the window to close
  Destroy,        // the window is being destroyed (delivered by the runtime itself)
  Quit,           // ends the pump
  Activate,       // param1: 0 deactivated, 1 activated; param2: 1 when minimised
  ActivateApp,    // param1: 0 the application lost the focus, 1 it gained it
  Move,           // param1, param2: new client origin in screen coordinates
  Size,           // param1: 0 restored, 1 minimised, 2 maximised; param2: width | height << 16
  Paint,
  DisplayChange,  // param1: bits per pixel; param2: width | height << 16
  SetCursor,
  MouseMove,        // param1, param2: client coordinates
  MouseButtonDown,  // param1: button (0 left, 1 right, 2 middle, 3.. extra)
  MouseButtonUp,
  MouseWheel,     // param1: steps, positive away from the user
  KeyDown,        // param1: host scan code; param2: host key code
  KeyUp,
  SysChar,        // param1: character typed with Alt held
  Timer,          // param1: timer id
};

struct Message {
  MessageKind kind;
  int64_t param1 = 0;
  int64_t param2 = 0;
};

// A decoded icon picture: rows of 0xAARRGGBB pixels, top row first.
struct IconImage {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

struct WindowDescription {
  std::string className;  // CP932 bytes, as the program gave it
  std::string titleUtf8;
  bool fullScreen = false;
  bool hidden = false;
  Rect bounds;  // outer rectangle in screen coordinates, frame included
  const IconImage* icon = nullptr;  // null: the host's standard application icon
};

// Pixel layouts a frame can be presented in.
enum class PixelLayout { X8R8G8B8, R5G6B5, X1R5G5B5 };

class Window {
 public:
  virtual ~Window() = default;

  // The desktop as it is now, and the full-screen modes the display offers.
  virtual DisplayMode DesktopMode() = 0;
  virtual std::vector<DisplayMode> DisplayModes() = 0;
  // The part of the desktop a window may take (without panels and docks), screen coordinates.
  virtual Rect UsableArea() = 0;

  // Frame thickness around the client area for a window with or without decorations:
  // left, top, right and bottom margins.
  virtual Rect FrameMargins(bool decorated) = 0;

  virtual bool Create(const WindowDescription& description) = 0;
  virtual void Destroy() = 0;
  virtual bool Exists() const = 0;
  virtual void SetTitle(const std::string& utf8) = 0;
  virtual void SetIcon(const IconImage* icon) = 0;
  virtual void Show(bool visible) = 0;
  virtual void Raise() = 0;
  virtual void SetTopMost(bool topMost) = 0;
  // Full screen takes the desktop's own mode; the mode asked for is what the runtime would
  // like, and is not set on the display.
  virtual void SetFullScreen(bool fullScreen, const DisplayMode& mode) = 0;
  virtual Rect ClientRect() = 0;  // screen coordinates
  virtual Rect WindowRect() = 0;  // screen coordinates, frame included
  virtual void MoveTo(const Rect& outer) = 0;
  virtual void SetScreenSaverEnabled(bool enabled) = 0;

  // Vertical blank of the display the window is on.
  virtual bool InVerticalBlank() = 0;
  virtual void WaitForVerticalBlank() = 0;

  // The cursor keeps a display count like the Windows one: shown while it is 0 or more.
  virtual int ShowCursor(bool show) = 0;  // returns the new count
  virtual void SetCursorShape(bool arrow) = 0;  // false: no cursor picture over the window
  virtual bool CursorPosition(int& x, int& y) = 0;  // screen coordinates
  virtual void WarpCursor(int x, int y) = 0;
  virtual void ClipCursor(const Rect* area) = 0;  // null releases the clip

  // The queue. PeekMessage takes the oldest message (removing it when asked); it never blocks.
  virtual bool PeekMessage(Message& out, bool remove) = 0;
  virtual void PostMessage(const Message& message) = 0;
  virtual void SetTimer(int id, int intervalMs) = 0;
  virtual void KillTimer(int id) = 0;

  // Shows a frame. source is a part of the frame, destination a part of the client area; null
  // means the whole frame, and for the destination the largest part of the client area with
  // the source's aspect ratio, centred (FitInside). The rest of the client area is black; a
  // scale by whole factors copies pixels, any other smooths. Returns false when the frame could
  // not be shown.
  virtual bool Present(const void* pixels, int pitch, PixelLayout layout, int width, int height,
                       const Rect* source, const Rect* destination) = 0;
};

}  // namespace qr::platform
