// A full-screen window on an X server without a window manager: nobody acts on the full-screen
// request there, so the window is moved over the display by hand.
#pragma once

struct SDL_Window;

namespace qr::platform::x11 {

// Makes the X window of a full-screen SDL window cover its display's bounds, when it does not
// yet. Nothing on other video drivers.
void CoverDisplay(SDL_Window* window);

}  // namespace qr::platform::x11
