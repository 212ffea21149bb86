// The service's stop: waits that a stop cuts short, so that a slow or hanging
// call never holds up the shutdown.
#pragma once

// Marks the service as stopping and wakes every wait.
void requestStop();
// Waits `ms` milliseconds; false when the wait was cut short by the stop.
bool pauseFor(int ms);
// Waits until the stop.
void waitForStop();
