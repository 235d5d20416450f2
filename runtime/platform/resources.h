// Resources compiled into the program (see cmake/resources.cmake), found by their number.
#pragma once

#include "platform/system.h"
#include "qr_resource.h"

namespace qr::platform {

// The resource of that number among those compiled in, or an empty one.
Resource FindCompiledResource(int id);

}  // namespace qr::platform
