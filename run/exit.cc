#include "run/exit.h"

#include <atomic>
#include <cstdio>
#include <pthread.h>
#include <unistd.h>

#include "run/globals.h"
#include "run/output.h"
#include "run/status.h"
#include "session/session.h"

static std::atomic_flag run_ending = ATOMIC_FLAG_INIT;
static thread_local bool ends_run = false;

void enter_run_end() {
  if (ends_run) return;
  if (run_ending.test_and_set()) {
    // Another thread ends the run, and this one with it.
    for (;;) pause();
  }
  ends_run = true;
  // The main thread of a rescan looks messages up and prints only under the
  // table lock, so a worker that holds it from here on is the last to print.
  // The lock outlives every running worker.
  if (in_rescan_worker) pthread_mutex_lock(&thread_table_lock);
}

void qzftconfig_exit(int status) {
  enter_run_end();
  // Whatever was printed reaches its reader before the session is closed,
  // however long that takes.
  status = flushStandardOutput(static_cast<unsigned>(status) <= 255 ? status : STATUS_OUT_OF_RANGE);
  // Taken before the call, so that a failure inside it cannot lead back here
  // to a second destroy.
  Brantis::Tessark::HostSession_ptr session = m_hostSession;
  m_hostSession = Brantis::Tessark::HostSession::_nil();
  if (!CORBA::is_nil(session)) {
    // A session that can no longer be closed must not change the outcome
    // that the run already has.
    try {
      session->destroy();
    } catch (const CORBA::Exception &) {
    }
  }
  fflush(stderr);
  endIfReaderGone();
  // Rescan workers may still be inside their calls: the process ends without
  // running the exit handlers under them.
  _exit(status);
}
