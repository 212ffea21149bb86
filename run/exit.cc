#include "run/exit.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <unistd.h>

#include "platform/debuglog.h"
#include "run/globals.h"
#include "run/status.h"

static void (*run_closing)() = nullptr;
static int exit_status = 0;

// Why the first failed write failed; later writes only fail again, and the
// stream forgets what it could not write.
static int output_error = 0;

// exit() runs the handlers registered during the run, then this one, then
// the destructors of the static objects, the ORB's among them: its stub
// factories and its own locks. A rescan worker still inside its call (timed
// out, or busy when another worker's failure ended the run) would find them
// gone and fail inside the ORB, so with workers left the process ends here,
// its own handlers run and its streams flushed.
static void endBeforeStaticsWithWorkersLeft() {
  if (rescan_workers_running.load() == 0) return;
  fflush(nullptr);
  _exit(exit_status);
}

void guardStaticsAtExit() { atexit(endBeforeStaticsWithWorkersLeft); }

void closeAtRunEnd(void (*closing)()) { run_closing = closing; }

void skipRunClosing() { run_closing = nullptr; }

void noteOutputFailure(int error) {
  if (output_error == 0) output_error = error != 0 ? error : EIO;
}

// Flushes standard output and gives the status to end with.
static int flushStandardOutput(int status) {
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout)) noteOutputFailure(errno);
  if (output_error == 0) return status;
  std::string line = std::string("cannot write standard output: ") + strerror(output_error);
  // Whoever read the output has all they wanted, as with any filter.
  if (output_error == EPIPE) {
    logmsg(LOG_INFO, line.c_str(), progname);
    return status;
  }
  fprintf(stderr, "%s: %s\n", progname ? progname : "qzftconfig", line.c_str());
  logmsg(LOG_ERROR, line.c_str(), progname);
  // Whatever the command found, its output is incomplete: a listing's own
  // status must not pass for that of a listing that was written.
  return STATUS_INTERNAL;
}

// Ends the process as a filter ends whose reader went away: killed by
// SIGPIPE. The ORB ignores SIGPIPE for its sockets, so the write only failed;
// the signal is given its default again and raised, so that the shell sees
// the end that it expects of a filter.
static void endIfReaderGone() {
  if (output_error != EPIPE) return;
  signal(SIGPIPE, SIG_DFL);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  raise(SIGPIPE);
}

void qzftconfig_exit(int status) {
  // Whatever was printed reaches its reader before the session is closed,
  // however long that takes; a reader that left gets no further request.
  status = flushStandardOutput(static_cast<unsigned>(status) <= 255 ? status : STATUS_OUT_OF_RANGE);
  fflush(stderr);
  endIfReaderGone();
  // Taken first, so that a failure inside the closing cannot lead back here
  // to a second one.
  void (*closing)() = run_closing;
  run_closing = nullptr;
  if (closing != nullptr) closing();
  exit_status = status;
  exit(status);
}
