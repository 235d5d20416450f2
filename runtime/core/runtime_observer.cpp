#include "core/runtime_observer.h"

namespace qr::core {
namespace {
RuntimeObserver observer = nullptr;
void* observerContext = nullptr;
}  // namespace

void SetRuntimeObserver(RuntimeObserver o, void* context) {
  observer = o;
  observerContext = context;
}

void NotifyRuntimeObserver(RuntimeEvent event) {
  if (observer) observer(event, observerContext);
}

}  // namespace qr::core
