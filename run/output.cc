#include "run/output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/shown.h"
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

void printRow(const char *format, ...) {
  std::string row;
  va_list ap;
  va_start(ap, format);
  for (const char *p = format; *p != '\0'; ++p) {
    if (*p != '%' || p[1] == '\0') {
      row += *p;
    } else if (*++p == 's') {
      row += shownText(va_arg(ap, const char *), false);
    } else if (*p == 'd') {
      row += std::to_string(va_arg(ap, int));
    } else {
      row += *p;  // "%%"
    }
  }
  va_end(ap);
  fputs(row.c_str(), stdout);
  endRunIfOutputFailed(false);
}
