// The single way out of the process once a command has started.
#pragma once

// The closing step of the run (the host session's destroy), registered by
// the part that opened what it closes; the end of the run calls it last.
void closeAtRunEnd(void (*closing)());
// The run ends without its closing step: a call failed in the ORB, and the
// closing would only wait on the same connection before the run could end.
void skipRunClosing();

// Ends the run, on the main thread only: flushes standard output, ends as by
// SIGPIPE when its reader went away, runs the closing step and exits through
// exit(), so that the exit handlers run, with `status` when it lies in
// 0..255 and with 252 otherwise; after a failed write of standard output,
// with 130.
[[noreturn]] void qzftconfig_exit(int status);
