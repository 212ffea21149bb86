// One rescan request: "-rescanclient" and the worker threads of
// "-rescanallclients".
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <pthread.h>
#include <unistd.h>

#include "changes/changes.h"
#include "changes/common.h"
#include "platform/debuglog.h"
#include "platform/messages.h"
#include "run/globals.h"
#include "run/status.h"
#include "session/session.h"

// The signal a worker caught during its request; each worker has its own.
static thread_local volatile sig_atomic_t caught_Signal = 0;

// The request of entry `index`, on a thread that may not end the run: the
// status, and in `end` what a failure other than a refusal brings.
static int requestRescan(int index, run_end_t &end) {
  thread_table_entry_t &entry = active_threads[index];
  // No exception may leave the thread: it would end the process by terminate().
  try {
    end = fetchControlFacet(index);
    if (end.kind != run_end_t::NONE) return end.status;
    entry.control_facet->startClientDiscovery(entry.client.c_str());
  } catch (const QZSLOpException &e) {
    return refusalStatus(e);
  } catch (...) {
    end = exceptionEnd();
    return end.status;
  }
  return STATUS_OK;
}

// The entry's client and control facet are read here without the lock: the
// main thread leaves an entry alone while it is THREAD_RUNNING. A worker's
// refusal and failure are shown when the main thread collects its entry.
int rescanSANClient(int index, bool quiet, bool inThread) {
  thread_table_entry_t &entry = active_threads[index];
  if (inThread) {
    run_end_t met;
    int status = requestRescan(index, met);
    // A refusal of the service met while the call connected is in the entry
    // already, and tells more than the failed call that it left behind.
    if (entry.end.kind == run_end_t::NONE) entry.end = met;
    return status;
  }
  const char *client = entry.client.c_str();
  getControlFacetInstance(index);
  guardedCall([&] { entry.control_facet->startClientDiscovery(client); },
              [&](const QZSLOpException &e) {
                QZ_LOOKUP("ZrtFtc0044N", "Failed to rescan the SAN client : %s", client);
                reportInfo(e, LOG_ERROR, "Failed to rescan the SAN client", false, client);
              });
  if (quiet) return STATUS_OK;
  return reportSuccess("ZrtFtc0045N", "SAN client rescan is successful", client);
}

// Where a worker's own fault leaves its request: back in its start routine.
static thread_local sigjmp_buf fault_exit;
static thread_local volatile sig_atomic_t fault_exit_set = 0;

// The worker's end after a fault in its own code: its result line says it
// all. The fault may have come inside the ORB, so the session is not closed.
static int faulted(thread_table_entry_t &entry) {
  entry.end = run_end_t();
  entry.end.kind = run_end_t::QUIET;
  entry.end.status = STATUS_RESCAN_FAULTED;
  entry.end.unsound = true;
  return STATUS_RESCAN_FAULTED;
}

void *rescan_thread(void *index) {
  int row = static_cast<int>(reinterpret_cast<intptr_t>(index));
  thread_table_entry_t &entry = active_threads[row];
  worker_entry = &entry;
  caught_Signal = 0;
  struct sigaction saved = {};
  watchForFaults(&saved);

  int result = STATUS_OK;
  bool left = true;  // the request left the ORB in order
  if (sigsetjmp(fault_exit, 1) == 0) {
    fault_exit_set = 1;
    result = rescanSANClient(row, true, true);
    if (result == 0 && caught_Signal != 0) result = STATUS_RESCAN_FAULTED;
  } else {
    result = faulted(entry);
    left = false;
  }
  fault_exit_set = 0;

  sigaction(SIGSEGV, &saved, nullptr);
  pthread_mutex_lock(&thread_table_lock);
  entry.state = THREAD_DONE;
  entry.status = result;
  pthread_mutex_unlock(&thread_table_lock);
  // Nothing of the ORB or of the process's static objects is used from here
  // on. A fault may have left the ORB halfway through a call, its locks
  // held: the worker then stays counted, so that the end of the run does not
  // destroy the ORB's static objects either.
  if (left) --rescan_workers_running;
  pthread_exit(nullptr);
}

// Before a session exists there is nothing to report the fault to.
void SIGSEGV_handler(int signal) {
  if (CORBA::is_nil(m_hostSession)) _exit(signal);
  caught_Signal = signal;
}

// A fault raised by the thread's own instruction (si_code > 0) cannot be
// returned into: the instruction would fault again, forever. A worker leaves
// its request for its start routine; any other thread faults again under
// the default disposition and dies of it.
static void onSegv(int signal, siginfo_t *info, void *) {
  if (info->si_code <= 0 || CORBA::is_nil(m_hostSession)) return SIGSEGV_handler(signal);
  if (fault_exit_set) siglongjmp(fault_exit, 1);
  ::signal(SIGSEGV, SIG_DFL);
}

void watchForFaults(struct sigaction *saved) {
  struct sigaction handler = {};
  handler.sa_sigaction = onSegv;
  handler.sa_flags = SA_SIGINFO;
  sigemptyset(&handler.sa_mask);
  sigaction(SIGSEGV, &handler, saved);
}
