// The pointer as the X server sees it now. SDL's global mouse state is only refreshed when SDL
// hears of pointer motion, which it does not on every X server; asking the server is exact.
#pragma once

#include <cstdint>

namespace qr::platform::x11 {

// Root-window position and button mask (bit 0 left, 1 middle, 2 right, as SDL numbers them).
// False when SDL does not run on X11 or the server cannot be reached.
bool QueryPointer(int& x, int& y, uint32_t& sdlButtons);

}  // namespace qr::platform::x11
