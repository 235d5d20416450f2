// The main window on SDL2: SDL's events become the runtime's messages, frames are shown through
// a streaming texture scaled to the client area.
#pragma once

#include <deque>
#include <map>

#include "platform/clock.h"
#include "platform/window.h"
#include "platform/window_timers.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace qr::platform {

class SdlWindow final : public Window {
 public:
  explicit SdlWindow(Clock& clock) : clock_(clock) {}
  ~SdlWindow() override;

  DisplayMode DesktopMode() override;
  std::vector<DisplayMode> DisplayModes() override;
  Rect UsableArea() override;
  Rect FrameMargins(bool decorated) override;
  bool Create(const WindowDescription& description) override;
  void Destroy() override;
  bool Exists() const override { return window_ != nullptr; }
  void SetTitle(const std::string& utf8) override;
  void SetIcon(const IconImage* icon) override;
  void Show(bool visible) override;
  void Raise() override;
  void SetTopMost(bool topMost) override;
  void SetFullScreen(bool fullScreen, const DisplayMode& mode) override;
  Rect ClientRect() override;
  Rect WindowRect() override;
  void MoveTo(const Rect& outer) override;
  void SetScreenSaverEnabled(bool enabled) override;
  bool InVerticalBlank() override;
  void WaitForVerticalBlank() override;
  int ShowCursor(bool show) override;
  void SetCursorShape(bool arrow) override;
  bool CursorPosition(int& x, int& y) override;
  void WarpCursor(int x, int y) override;
  void ClipCursor(const Rect* area) override;
  bool PeekMessage(Message& out, bool remove) override;
  void PostMessage(const Message& message) override { queue_.push_back(message); }
  void SetTimer(int id, int intervalMs) override;
  void KillTimer(int id) override { timers_.Kill(id); }
  bool Present(const void* pixels, int pitch, PixelLayout layout, int width, int height,
               const Rect* source, const Rect* destination) override;

 private:
  bool EnsureVideo();
  bool EnsureRenderer();
  void Translate(const SDL_Event& event);
  void ApplyCursor();
  int RefreshRate();

  Clock& clock_;
  bool videoStarted_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  unsigned textureFormat_ = 0;
  std::deque<Message> queue_;
  WindowTimers timers_;
  int cursorCount_ = 0;
  bool cursorArrow_ = true;
};

}  // namespace qr::platform
