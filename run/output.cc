#include "run/output.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "run/exit.h"
#include "run/status.h"

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
  noteOutputFailure(error);
  qzftconfig_exit(STATUS_INTERNAL);
}
