// A hook for tools that drive the runtime from outside the program (the replay runner, tests):
// it hears when start-up has finished and when the program asks for its messages, which happens
// once per frame in a game loop. Never set by a game.
#pragma once

namespace qr::core {

enum class RuntimeEvent {
  Started,  // RuntimeInit has finished successfully
  Pumping,  // PumpMessages was called, before it dispatches anything
};

using RuntimeObserver = void (*)(RuntimeEvent event, void* context);

void SetRuntimeObserver(RuntimeObserver observer, void* context);
void NotifyRuntimeObserver(RuntimeEvent event);

}  // namespace qr::core
