#include "graphics/screen_settings.h"

namespace qr::graphics {

ScreenSettings& Screen() {
  static ScreenSettings settings;
  return settings;
}

}  // namespace qr::graphics
