// The lock around RuntimeInit, RuntimeEnd and PumpMessages: re-entrant for its owner, and handed
// to waiting threads in the order they arrived.
#pragma once

namespace qr::core {

void EnterRuntimeCall();
void LeaveRuntimeCall();
// Drops the guard's objects when nobody holds or waits for it; the next call makes them anew.
void CloseRuntimeCallGuard();
bool RuntimeCallGuardExists();
// How many threads wait for the guard now.
int RuntimeCallGuardWaiting();

}  // namespace qr::core
