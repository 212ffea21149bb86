// Readiness and stop notices to the service manager (systemd's Type=notify),
// written by hand so that qzsld needs no libsystemd.
#pragma once

// Sends `state` (e.g. "READY=1") as one datagram to $NOTIFY_SOCKET; does
// nothing when qzsld does not run under a service manager. A notice that
// cannot be sent is reported on standard error and otherwise ignored.
void notifyServiceManager(const char *state);
