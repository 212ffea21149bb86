// The single way out of the process once a command has started.
#pragma once

// The closing step of the run (the host session's destroy), registered by
// the part that opened what it closes; the end of the run calls it last.
void closeAtRunEnd(void (*closing)());
// The run ends without its closing step: a call failed in the ORB, and the
// closing would only wait on the same connection before the run could end.
void skipRunClosing();

// Keeps exit() from destroying the ORB's static objects under rescan workers
// still inside their calls. Call it first thing in main, so that it runs
// after the exit handlers registered during the run.
void guardStaticsAtExit();

// Records that a write of standard output failed with `error`; the first
// failure is the one that the end of the run tells.
void noteOutputFailure(int error);

// Ends the run, on the main thread only: flushes standard output, ends as by
// SIGPIPE when its reader went away, runs the closing step and exits through
// exit(), so that the exit handlers run, with `status` when it lies in
// 0..255 and with 252 otherwise. After a failed write of standard output it
// ends with 130, whatever the status, and tells why on standard error.
[[noreturn]] void qzftconfig_exit(int status);
