#include "frontend/exit.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <unistd.h>

#include "frontend/globals.h"
#include "platform/debuglog.h"
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

// Standard output is checked once, here, for every command: a listing that
// could not be written must not look like a success.
static int checkStandardOutput(int status) {
  errno = 0;
  if (fflush(stdout) == 0 && !ferror(stdout)) return status;
  int error = errno != 0 ? errno : EIO;
  std::string line = std::string("cannot write standard output: ") + strerror(error);
  fprintf(stderr, "%s: %s\n", progname ? progname : "qzftconfig", line.c_str());
  logmsg(LOG_ERROR, line.c_str(), progname);
  return status == 0 ? 130 : status;
}

void qzftconfig_exit(int status) {
  enter_run_end();
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
  status = checkStandardOutput(static_cast<unsigned>(status) <= 255 ? status : 252);
  fflush(stderr);
  // Rescan workers may still be inside their calls: the process ends without
  // running the exit handlers under them.
  _exit(status);
}
