#include "platform/resources.h"

#include <map>

namespace qr::platform {
namespace {
// Function-local so that registrations from other translation units may run in any order.
std::map<int, Resource>& Registry() {
  static std::map<int, Resource> registry;
  return registry;
}
}  // namespace

Resource FindCompiledResource(int id) {
  auto it = Registry().find(id);
  return it == Registry().end() ? Resource{} : it->second;
}

}  // namespace qr::platform

qr::ResourceRegistration::ResourceRegistration(int id, const unsigned char* data, size_t size) {
  platform::Registry()[id] = platform::Resource{data, size};
}
