// Start and end of the sound system (called by RuntimeInit and RuntimeEnd).
#pragma once

namespace qr::sound {

// 0, or -1 when no sound output opens (the runtime then goes on silently).
int InitSound();
// 0, or -1 when the sound system is not started.
int EndSound();

}  // namespace qr::sound
