#include "platform/sdl/sdl_key_tables.h"

#include <SDL.h>

#include <array>

namespace qr::platform::sdl_keys {

namespace {

using Table = std::array<uint8_t, SDL_NUM_SCANCODES>;

// Key positions of a US keyboard, plus the keys only Japanese and other keyboards have.
Table BuildPositions() {
  Table t{};
  const uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                               0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                               0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; ++i) t[SDL_SCANCODE_A + i] = letters[i];
  for (int i = 0; i < 10; ++i) t[SDL_SCANCODE_1 + i] = uint8_t(0x02 + i);  // 1..9, then 0
  for (int i = 0; i < 10; ++i) t[SDL_SCANCODE_F1 + i] = uint8_t(0x3B + i);
  t[SDL_SCANCODE_F11] = 0x57;
  t[SDL_SCANCODE_F12] = 0x58;
  t[SDL_SCANCODE_F13] = 0x64;
  t[SDL_SCANCODE_F14] = 0x65;
  t[SDL_SCANCODE_F15] = 0x66;

  struct Pair {
    SDL_Scancode scancode;
    uint8_t code;
  };
  const Pair pairs[] = {
      {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_BACKSPACE, 0x0E},
      {SDL_SCANCODE_TAB, 0x0F}, {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_MINUS, 0x0C},
      {SDL_SCANCODE_EQUALS, 0x0D}, {SDL_SCANCODE_LEFTBRACKET, 0x1A},
      {SDL_SCANCODE_RIGHTBRACKET, 0x1B}, {SDL_SCANCODE_BACKSLASH, 0x2B},
      {SDL_SCANCODE_NONUSHASH, 0x2B}, {SDL_SCANCODE_SEMICOLON, 0x27},
      {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29}, {SDL_SCANCODE_COMMA, 0x33},
      {SDL_SCANCODE_PERIOD, 0x34}, {SDL_SCANCODE_SLASH, 0x35}, {SDL_SCANCODE_CAPSLOCK, 0x3A},
      {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_SCROLLLOCK, 0x46},
      {SDL_SCANCODE_PAUSE, 0xC5}, {SDL_SCANCODE_INSERT, 0xD2}, {SDL_SCANCODE_HOME, 0xC7},
      {SDL_SCANCODE_PAGEUP, 0xC9}, {SDL_SCANCODE_DELETE, 0xD3}, {SDL_SCANCODE_END, 0xCF},
      {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_LEFT, 0xCB},
      {SDL_SCANCODE_DOWN, 0xD0}, {SDL_SCANCODE_UP, 0xC8}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
      {SDL_SCANCODE_KP_DIVIDE, 0xB5}, {SDL_SCANCODE_KP_MULTIPLY, 0x37},
      {SDL_SCANCODE_KP_MINUS, 0x4A}, {SDL_SCANCODE_KP_PLUS, 0x4E},
      {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_KP_1, 0x4F}, {SDL_SCANCODE_KP_2, 0x50},
      {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_4, 0x4B}, {SDL_SCANCODE_KP_5, 0x4C},
      {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_7, 0x47}, {SDL_SCANCODE_KP_8, 0x48},
      {SDL_SCANCODE_KP_9, 0x49}, {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_KP_PERIOD, 0x53},
      {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, {SDL_SCANCODE_APPLICATION, 0xDD},
      {SDL_SCANCODE_POWER, 0xDE}, {SDL_SCANCODE_KP_EQUALS, 0x8D},
      {SDL_SCANCODE_KP_COMMA, 0xB3}, {SDL_SCANCODE_SYSREQ, 0xB7},
      // Japanese keyboard: ろ, カタカナひらがな, ¥, 変換, 無変換.
      {SDL_SCANCODE_INTERNATIONAL1, 0x73}, {SDL_SCANCODE_INTERNATIONAL2, 0x70},
      {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_INTERNATIONAL4, 0x79},
      {SDL_SCANCODE_INTERNATIONAL5, 0x7B},
      {SDL_SCANCODE_LCTRL, 0x1D}, {SDL_SCANCODE_LSHIFT, 0x2A}, {SDL_SCANCODE_LALT, 0x38},
      {SDL_SCANCODE_LGUI, 0xDB}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_RSHIFT, 0x36},
      {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_RGUI, 0xDC},
      // Media and browser keys.
      {SDL_SCANCODE_MUTE, 0xA0}, {SDL_SCANCODE_VOLUMEUP, 0xB0}, {SDL_SCANCODE_VOLUMEDOWN, 0xAE},
      {SDL_SCANCODE_AUDIONEXT, 0x99}, {SDL_SCANCODE_AUDIOPREV, 0x90},
      {SDL_SCANCODE_AUDIOSTOP, 0xA4}, {SDL_SCANCODE_AUDIOPLAY, 0xA2},
      {SDL_SCANCODE_AUDIOMUTE, 0xA0}, {SDL_SCANCODE_MEDIASELECT, 0xED},
      {SDL_SCANCODE_MAIL, 0xEC}, {SDL_SCANCODE_CALCULATOR, 0xA1},
      {SDL_SCANCODE_COMPUTER, 0xEB}, {SDL_SCANCODE_AC_SEARCH, 0xE5},
      {SDL_SCANCODE_AC_HOME, 0xB2}, {SDL_SCANCODE_AC_BACK, 0xEA},
      {SDL_SCANCODE_AC_FORWARD, 0xE9}, {SDL_SCANCODE_AC_STOP, 0xE8},
      {SDL_SCANCODE_AC_REFRESH, 0xE7}, {SDL_SCANCODE_AC_BOOKMARKS, 0xE6},
      {SDL_SCANCODE_SLEEP, 0xDF},
  };
  for (const Pair& p : pairs) t[p.scancode] = p.code;
  return t;
}

// On a Japanese layout the punctuation keys read as their labels.
Table BuildJapanese(const Table& us) {
  Table t = us;
  t[SDL_SCANCODE_EQUALS] = 0x90;        // ^
  t[SDL_SCANCODE_LEFTBRACKET] = 0x91;   // @
  t[SDL_SCANCODE_RIGHTBRACKET] = 0x1A;  // [
  t[SDL_SCANCODE_BACKSLASH] = 0x1B;     // ]
  t[SDL_SCANCODE_NONUSHASH] = 0x1B;
  t[SDL_SCANCODE_APOSTROPHE] = 0x92;    // :
  t[SDL_SCANCODE_GRAVE] = 0x94;         // 半角/全角
  t[SDL_SCANCODE_INTERNATIONAL1] = 0x2B;  // ろ, the backslash beside the right Shift
  return t;
}

const Table& UsTable() {
  static const Table table = BuildPositions();
  return table;
}

const Table& JapaneseTable() {
  static const Table table = BuildJapanese(UsTable());
  return table;
}

}  // namespace

int KeyCodeForScancode(int scancode, bool japaneseLayout) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return (japaneseLayout ? JapaneseTable() : UsTable())[size_t(scancode)];
}

int VirtualKeyFor(int32_t keycode, int scancode, bool japaneseLayout) {
  // Keys that only a Japanese keyboard has are known by position.
  switch (scancode) {
    case SDL_SCANCODE_INTERNATIONAL1: return 0xE2;  // ろ
    case SDL_SCANCODE_INTERNATIONAL2: return 0x15;  // カタカナひらがな
    case SDL_SCANCODE_INTERNATIONAL3: return 0xDC;  // ¥
    case SDL_SCANCODE_INTERNATIONAL4: return 0x1C;  // 変換
    case SDL_SCANCODE_INTERNATIONAL5: return 0x1D;  // 無変換
    case SDL_SCANCODE_NONUSBACKSLASH: return 0xE2;
    case SDL_SCANCODE_GRAVE:
      if (japaneseLayout) return 0xF4;  // 半角/全角
      break;
    default: break;
  }
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return '0' + (keycode - SDLK_0);
  if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return 0x70 + (keycode - SDLK_F1);
  if (keycode >= SDLK_F13 && keycode <= SDLK_F24) return 0x7C + (keycode - SDLK_F13);
  if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9) return 0x61 + (keycode - SDLK_KP_1);
  switch (keycode) {
    case SDLK_KP_0: return 0x60;
    case SDLK_RETURN: case SDLK_KP_ENTER: case SDLK_RETURN2: return 0x0D;
    case SDLK_ESCAPE: return 0x1B;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_SPACE: return 0x20;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_PRINTSCREEN: return 0x2C;
    case SDLK_SCROLLLOCK: return 0x91;
    case SDLK_PAUSE: return 0x13;
    case SDLK_CAPSLOCK: return 0x14;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_LSHIFT: return 0xA0;
    case SDLK_RSHIFT: return 0xA1;
    case SDLK_LCTRL: return 0xA2;
    case SDLK_RCTRL: return 0xA3;
    case SDLK_LALT: return 0xA4;
    case SDLK_RALT: return 0xA5;
    case SDLK_LGUI: return 0x5B;
    case SDLK_RGUI: return 0x5C;
    case SDLK_APPLICATION: return 0x5D;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_KP_COMMA: return 0x6C;
    // Punctuation: the virtual keys the key of that label has in the US or Japanese layout.
    case SDLK_SEMICOLON: return japaneseLayout ? 0xBB : 0xBA;
    case SDLK_EQUALS: return 0xBB;
    case SDLK_COLON: return 0xBA;
    case SDLK_COMMA: return 0xBC;
    case SDLK_MINUS: return 0xBD;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_SLASH: return 0xBF;
    case SDLK_BACKQUOTE: case SDLK_AT: return 0xC0;
    case SDLK_LEFTBRACKET: return 0xDB;
    case SDLK_BACKSLASH: return 0xDC;
    case SDLK_RIGHTBRACKET: return 0xDD;
    case SDLK_QUOTE: case SDLK_CARET: return 0xDE;
    default: return 0;
  }
}

}  // namespace qr::platform::sdl_keys
