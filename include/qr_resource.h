// Resources compiled into a program (the window icon): cmake's qr_add_resource(target id file)
// generates a source that registers the file's bytes under its number with this class.
#pragma once

#include <cstddef>

namespace qr {

class ResourceRegistration {
 public:
  ResourceRegistration(int id, const unsigned char* data, size_t size);
};

}  // namespace qr
