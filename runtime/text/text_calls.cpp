// The game-facing text calls. No font engine is connected to the runtime yet, so there is never
// a default font: the settings are kept, and drawing answers as it does for a font handle that
// is not valid.
#include <cstdarg>

#include "qr.h"

namespace {

struct DefaultFontSettings {
  int size = 16;
  int type = 0;
};

DefaultFontSettings& DefaultFont() {
  static DefaultFontSettings settings;
  return settings;
}

}  // namespace

int SetDefaultFontSize(int size) {
  DefaultFont().size = size == -1 ? 16 : size;
  return 0;
}

int SetDefaultFontType(int type) {
  DefaultFont().type = type == -1 ? 0 : type;
  return 0;
}

int DrawTextLine(int, int, const char*, int, int) { return WriteLog("フォントハンドル値が異常です\n"); }

int DrawTextFormat(int, int, int, const char*, ...) { return WriteLog("フォントハンドル値が異常です\n"); }
