#include "run/output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/debuglog.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/status.h"

// Why the first failed write failed; later writes only fail again, and the
// stream forgets what it could not write.
static int output_error = 0;

static void noteFailure(int error) {
  if (output_error == 0) output_error = error != 0 ? error : EIO;
}

// Checked once: the flush per record costs a call only where a reader on the
// other end may leave.
static bool outputIsPipe() {
  static const bool pipe = [] {
    struct stat st;
    return fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
  }();
  return pipe;
}

void endRunIfOutputFailed(bool flush) {
  int error = errno;
  if ((flush || outputIsPipe()) && fflush(stdout) != 0) error = errno;
  if (!ferror(stdout)) return;
  noteFailure(error);
  qzftconfig_exit(STATUS_INTERNAL);
}

int flushStandardOutput(int status) {
  errno = 0;
  if (fflush(stdout) != 0 || ferror(stdout)) noteFailure(errno);
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

// The ORB ignores SIGPIPE for its sockets, so the write only failed; the
// signal is given its default again and raised, so that the shell sees the
// end that it expects of a filter.
void endIfReaderGone() {
  if (output_error != EPIPE) return;
  signal(SIGPIPE, SIG_DFL);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  raise(SIGPIPE);
}
