#include "run/exit.h"

#include <cstdio>
#include <cstdlib>

#include "run/output.h"
#include "run/status.h"

static void (*run_closing)() = nullptr;

void closeAtRunEnd(void (*closing)()) { run_closing = closing; }

void skipRunClosing() { run_closing = nullptr; }

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
  // Rescan workers that timed out may still wait inside their calls: they
  // own nothing that an exit handler releases (their table and its lock are
  // never freed), so the handlers may run under them.
  exit(status);
}
