#include "platform/sdl/x11_full_screen.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace qr::platform::x11 {

void CoverDisplay(SDL_Window* window) {
  if (!window) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  SDL_Rect bounds{};
  int display = SDL_GetWindowDisplayIndex(window);
  if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0) return;
  Display* x = info.info.x11.display;
  ::Window w = info.info.x11.window;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(x, w, &attributes)) return;
  if (attributes.x == bounds.x && attributes.y == bounds.y && attributes.width == bounds.w &&
      attributes.height == bounds.h)
    return;
  XMoveResizeWindow(x, w, bounds.x, bounds.y, unsigned(bounds.w), unsigned(bounds.h));
  XRaiseWindow(x, w);
  XSync(x, False);
}

}  // namespace qr::platform::x11
