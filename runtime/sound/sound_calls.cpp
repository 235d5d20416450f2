// The game-facing sound calls. No sound device is connected to the runtime yet, so the calls
// answer as they do on a machine without one: nothing loads, and every handle is invalid.
#include "qr.h"

int LoadSoundFile(const char*, int, int) { return -1; }
int PlaySoundHandle(int, int, int) { return -1; }
int StopSoundHandle(int) { return -1; }
int SetSoundVolume(int, int) { return -1; }
