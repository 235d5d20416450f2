#include "platform/sdl/sdl_window.h"

#include <SDL.h>

#include <algorithm>

#include "platform/screen_fit.h"
#include "platform/sdl/x11_full_screen.h"
#include "platform/sdl/x11_pointer.h"

namespace qr::platform {

SdlWindow::~SdlWindow() {
  Destroy();
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlWindow::EnsureVideo() {
  if (videoStarted_) return true;
  // The runtime decides about the screen saver and about what closing the window means.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  videoStarted_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  return videoStarted_;
}

namespace {
int BitsOf(Uint32 format) {
  // A 24-bit colour desktop stores 32-bit pixels; that is a 32-bit desktop to the runtime.
  int bits = SDL_BITSPERPIXEL(format);
  if (bits == 24 && SDL_BYTESPERPIXEL(format) == 4) bits = 32;
  return bits;
}
}  // namespace

DisplayMode SdlWindow::DesktopMode() {
  SDL_DisplayMode mode{};
  if (!EnsureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return DisplayMode{};
  return DisplayMode{mode.w, mode.h, BitsOf(mode.format), mode.refresh_rate};
}

std::vector<DisplayMode> SdlWindow::DisplayModes() {
  std::vector<DisplayMode> modes;
  if (!EnsureVideo()) return modes;
  int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, i, &mode) == 0)
      modes.push_back(DisplayMode{mode.w, mode.h, BitsOf(mode.format), mode.refresh_rate});
  }
  return modes;
}

Rect SdlWindow::UsableArea() {
  SDL_Rect r{};
  int display = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_)) : 0;
  if (!EnsureVideo() || SDL_GetDisplayUsableBounds(display, &r) != 0) {
    DisplayMode desktop = DesktopMode();
    return Rect{0, 0, desktop.width, desktop.height};
  }
  return Rect{r.x, r.y, r.x + r.w, r.y + r.h};
}

Rect SdlWindow::FrameMargins(bool decorated) {
  Rect margins;
  if (decorated && window_)
    SDL_GetWindowBordersSize(window_, &margins.top, &margins.left, &margins.bottom, &margins.right);
  return margins;
}

bool SdlWindow::Create(const WindowDescription& description) {
  if (window_ || !EnsureVideo()) return false;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  // Full screen covers the desktop in its own mode; frames are scaled to it (Present).
  if (description.fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  const Rect& b = description.bounds;
  window_ = SDL_CreateWindow(description.titleUtf8.c_str(), b.left, b.top,
                             std::max(1, b.Width()), std::max(1, b.Height()), flags);
  if (!window_) return false;
  // The renderer is made now, while the window is hidden: some renderers make the window anew
  // for the visual they need, which would change its identity after it was shown.
  EnsureRenderer();
  SetIcon(description.icon);
  return true;
}

void SdlWindow::Destroy() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
  timers_.Clear();
  queue_.clear();  // what was posted to the window goes with it
}

void SdlWindow::SetTitle(const std::string& utf8) {
  if (window_) SDL_SetWindowTitle(window_, utf8.c_str());
}

void SdlWindow::SetIcon(const IconImage* icon) {
  if (!window_ || !icon || icon->width <= 0 || icon->height <= 0) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(icon->pixels.data()), icon->width, icon->height, 32, icon->width * 4,
      SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return;
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

void SdlWindow::Show(bool visible) {
  if (!window_) return;
  if (visible) {
    SDL_ShowWindow(window_);
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) x11::CoverDisplay(window_);
  } else {
    SDL_HideWindow(window_);
  }
}

void SdlWindow::Raise() {
  if (window_) SDL_RaiseWindow(window_);
}

void SdlWindow::SetTopMost(bool topMost) {
  if (window_) SDL_SetWindowAlwaysOnTop(window_, topMost ? SDL_TRUE : SDL_FALSE);
}

void SdlWindow::SetFullScreen(bool fullScreen, const DisplayMode&) {
  if (!window_) return;
  // The display keeps its mode: changing it is what today's desktops (compositors, several
  // monitors) emulate badly or refuse. The frame is scaled to the desktop instead.
  SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  if (fullScreen) x11::CoverDisplay(window_);
  DisplayMode now = DesktopMode();
  queue_.push_back(Message{MessageKind::DisplayChange, now.bitsPerPixel, now.width | (now.height << 16)});
}

Rect SdlWindow::ClientRect() {
  Rect r;
  if (!window_) return r;
  int w = 0, h = 0;
  SDL_GetWindowPosition(window_, &r.left, &r.top);
  SDL_GetWindowSize(window_, &w, &h);
  r.right = r.left + w;
  r.bottom = r.top + h;
  return r;
}

Rect SdlWindow::WindowRect() {
  Rect client = ClientRect();
  Rect m = FrameMargins(true);
  return Rect{client.left - m.left, client.top - m.top, client.right + m.right,
              client.bottom + m.bottom};
}

void SdlWindow::MoveTo(const Rect& outer) {
  if (!window_) return;
  Rect m = FrameMargins(true);
  SDL_SetWindowSize(window_, std::max(1, outer.Width() - m.left - m.right),
                    std::max(1, outer.Height() - m.top - m.bottom));
  SDL_SetWindowPosition(window_, outer.left + m.left, outer.top + m.top);
}

void SdlWindow::SetScreenSaverEnabled(bool enabled) {
  if (!EnsureVideo()) return;
  if (enabled)
    SDL_EnableScreenSaver();
  else
    SDL_DisableScreenSaver();
}

int SdlWindow::RefreshRate() {
  DisplayMode mode = DesktopMode();
  return mode.refreshRate > 0 ? mode.refreshRate : 60;
}

bool SdlWindow::InVerticalBlank() {
  // The host does not tell; the blank is taken as the first millisecond of each refresh period.
  uint64_t period = 1000000000ull / uint64_t(RefreshRate());
  uint64_t now = clock_.Counter() * (1000000000ull / std::max<uint64_t>(1, clock_.CounterFrequency()));
  return now % period < 1000000ull;
}

void SdlWindow::WaitForVerticalBlank() {
  uint64_t frequency = std::max<uint64_t>(1, clock_.CounterFrequency());
  uint64_t period = frequency / uint64_t(RefreshRate());
  if (period == 0) return;
  uint64_t next = (clock_.Counter() / period + 1) * period;
  while (clock_.Counter() < next) {
    uint64_t left = (next - clock_.Counter()) * 1000 / frequency;
    clock_.Sleep(left > 1 ? unsigned(left - 1) : 0);
  }
}

void SdlWindow::ApplyCursor() {
  SDL_ShowCursor(cursorCount_ >= 0 && cursorArrow_ ? SDL_ENABLE : SDL_DISABLE);
}

int SdlWindow::ShowCursor(bool show) {
  cursorCount_ += show ? 1 : -1;
  ApplyCursor();
  return cursorCount_;
}

void SdlWindow::SetCursorShape(bool arrow) {
  cursorArrow_ = arrow;
  ApplyCursor();
}

bool SdlWindow::CursorPosition(int& x, int& y) {
  if (!EnsureVideo()) return false;
  SDL_PumpEvents();
  uint32_t buttons = 0;
  if (x11::QueryPointer(x, y, buttons)) return true;
  SDL_GetGlobalMouseState(&x, &y);
  return true;
}

void SdlWindow::WarpCursor(int x, int y) {
  if (EnsureVideo()) SDL_WarpMouseGlobal(x, y);
}

void SdlWindow::ClipCursor(const Rect* area) {
  if (!window_) return;
  if (!area) {
    SDL_SetWindowMouseRect(window_, nullptr);
    return;
  }
  Rect client = ClientRect();
  SDL_Rect r{area->left - client.left, area->top - client.top, area->Width(), area->Height()};
  SDL_SetWindowMouseRect(window_, &r);
}

void SdlWindow::Translate(const SDL_Event& event) {
  auto post = [this](MessageKind kind, int64_t p1 = 0, int64_t p2 = 0) {
    queue_.push_back(Message{kind, p1, p2});
  };
  switch (event.type) {
    case SDL_QUIT:  // a terminal's interrupt or the session ending
      post(MessageKind::Close);
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: post(MessageKind::Close); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: post(MessageKind::Activate, 1, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: post(MessageKind::Activate, 0, 0); break;
        case SDL_WINDOWEVENT_MINIMIZED:
          post(MessageKind::Size, 1, 0);
          post(MessageKind::Activate, 0, 1);
          break;
        case SDL_WINDOWEVENT_MAXIMIZED: post(MessageKind::Size, 2, 0); break;
        case SDL_WINDOWEVENT_MOVED: post(MessageKind::Move, event.window.data1, event.window.data2); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          post(MessageKind::Size, 0, event.window.data1 | (int64_t(event.window.data2) << 16));
          break;
        case SDL_WINDOWEVENT_EXPOSED: post(MessageKind::Paint); break;
        default: break;
      }
      break;
    case SDL_MOUSEMOTION: post(MessageKind::MouseMove, event.motion.x, event.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      // SDL numbers left, middle, right; the runtime numbers left, right, middle.
      int button = event.button.button;
      int index = button == SDL_BUTTON_LEFT ? 0 : button == SDL_BUTTON_RIGHT ? 1
                : button == SDL_BUTTON_MIDDLE ? 2 : button - 1;
      post(event.type == SDL_MOUSEBUTTONDOWN ? MessageKind::MouseButtonDown : MessageKind::MouseButtonUp,
           index, 0);
      break;
    }
    case SDL_MOUSEWHEEL: post(MessageKind::MouseWheel, event.wheel.y, 0); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      post(event.type == SDL_KEYDOWN ? MessageKind::KeyDown : MessageKind::KeyUp,
           event.key.keysym.scancode, event.key.keysym.sym);
      if (event.type == SDL_KEYDOWN && (event.key.keysym.mod & KMOD_ALT) &&
          (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER))
        post(MessageKind::SysChar, '\r', 0);
      break;
    default: break;
  }
}

bool SdlWindow::PeekMessage(Message& out, bool remove) {
  if (queue_.empty() && videoStarted_) {
    SDL_PumpEvents();
    SDL_Event events[16];
    int count = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int i = 0; i < count; ++i) Translate(events[i]);
  }
  if (!queue_.empty()) {
    out = queue_.front();
    if (remove) queue_.pop_front();
    return true;
  }
  uint32_t now = clock_.Milliseconds();
  return timers_.Due(now, remove, out);
}

void SdlWindow::SetTimer(int id, int intervalMs) {
  timers_.Set(id, intervalMs, clock_.Milliseconds());
}

bool SdlWindow::EnsureRenderer() {
  if (!renderer_ && window_) {
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  }
  return renderer_ != nullptr;
}

bool SdlWindow::Present(const void* pixels, int pitch, PixelLayout layout, int width, int height,
                        const Rect* source, const Rect* destination) {
  if (!window_ || !EnsureRenderer()) return false;
  Uint32 format = layout == PixelLayout::X8R8G8B8 ? SDL_PIXELFORMAT_RGB888
                : layout == PixelLayout::R5G6B5 ? SDL_PIXELFORMAT_RGB565
                                                : SDL_PIXELFORMAT_RGB555;
  if (!texture_ || textureWidth_ != width || textureHeight_ != height || textureFormat_ != format) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    textureWidth_ = width;
    textureHeight_ = height;
    textureFormat_ = format;
    if (!texture_) return false;
  }
  if (SDL_UpdateTexture(texture_, nullptr, pixels, pitch) != 0) return false;
  SDL_Rect src{0, 0, width, height};
  if (source) src = SDL_Rect{source->left, source->top, source->Width(), source->Height()};
  int outputWidth = 0, outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0) return false;
  Rect place = destination ? *destination : FitInside(src.w, src.h, outputWidth, outputHeight);
  SDL_Rect dst{place.left, place.top, place.Width(), place.Height()};
  // Whole factors copy pixels exactly; any other scale is smoothed.
  bool whole = src.w > 0 && src.h > 0 && dst.w > 0 && dst.h > 0 && dst.w % src.w == 0 && dst.h % src.h == 0;
  SDL_SetTextureScaleMode(texture_, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);  // the bars around the picture
  SDL_RenderCopy(renderer_, texture_, &src, &dst);
  SDL_RenderPresent(renderer_);
  return true;
}

}  // namespace qr::platform
