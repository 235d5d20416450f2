#include "platform/sdl/x11_pointer.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include <cstring>

namespace qr::platform::x11 {

namespace {

// A connection of our own, opened on first use while SDL's video runs on X11.
Display* Connection() {
  static Display* display = nullptr;
  static bool tried = false;
  if (tried) return display;
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
  if (!driver) return nullptr;  // try again once video runs
  tried = true;
  if (std::strcmp(driver, "x11") == 0) display = XOpenDisplay(nullptr);
  return display;
}

}  // namespace

bool QueryPointer(int& x, int& y, uint32_t& sdlButtons) {
  Display* display = Connection();
  if (!display) return false;
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX,
                     &windowY, &mask))
    return false;
  x = rootX;
  y = rootY;
  sdlButtons = 0;
  if (mask & Button1Mask) sdlButtons |= SDL_BUTTON_LMASK;
  if (mask & Button2Mask) sdlButtons |= SDL_BUTTON_MMASK;
  if (mask & Button3Mask) sdlButtons |= SDL_BUTTON_RMASK;
  return true;
}

}  // namespace qr::platform::x11
