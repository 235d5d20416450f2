// SDL's keys in the runtime's terms: key codes (the keyboard's scan-code numbers) from SDL
// scancodes, for the keyboard device, and Windows-style virtual keys from SDL key codes, for the
// plain path. Both cover every key of a US and of a Japanese keyboard.
#pragma once

#include <cstdint>

namespace qr::platform::sdl_keys {

// The key code of an SDL scancode, 0 when the key has none. With a Japanese layout the keys
// labelled ^ @ [ ] : and 半角/全角, and the ろ key, read as the codes of those labels.
int KeyCodeForScancode(int scancode, bool japaneseLayout);

// The virtual key of an SDL key code (the scancode tells apart keys that share a key code), 0
// when there is none. japaneseLayout: the layout has a key of its own for ':'.
int VirtualKeyFor(int32_t keycode, int scancode, bool japaneseLayout);

}  // namespace qr::platform::sdl_keys
