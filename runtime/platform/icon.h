// Window icons from resources compiled into the program: PNG pictures.
#pragma once

#include <optional>

#include "platform/system.h"
#include "platform/window.h"

namespace qr::platform {

// The icon of that resource number, or nothing when there is none or it does not decode.
std::optional<IconImage> LoadIconResource(System& system, int id);

}  // namespace qr::platform
