// One rescan request: "-rescanclient" and the worker threads of
// "-rescanallclients".
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

#include "changes/changes.h"
#include "changes/common.h"
#include "platform/debuglog.h"
#include "platform/messages.h"
#include "platform/shown.h"
#include "run/globals.h"
#include "run/status.h"
#include "session/session.h"

// The signal a worker caught during its request; each worker has its own.
static thread_local volatile sig_atomic_t caught_Signal = 0;

// The entry's client and control facet are read here without the lock: the
// main thread leaves an entry alone while it is THREAD_RUNNING.
int rescanSANClient(int index, bool quiet, bool inThread) {
  thread_table_entry_t &entry = active_threads[index];
  const char *client = entry.client.c_str();
  getControlFacetInstance(index);
  int result = 0;
  guardedCall([&] { entry.control_facet->startClientDiscovery(client); },
              [&](const QZSLOpException &e) {
                // A worker's refusal is shown when the main thread collects it.
                if (inThread) {
                  result = refusalStatus(e);
                  return;
                }
                QZ_LOOKUP("ZrtFtc0044N", "Failed to rescan the SAN client : %s", client);
                reportInfo(e, LOG_ERROR, "Failed to rescan the SAN client", false, client);
              });
  if (result != 0 || quiet || inThread) return result;
  reportSuccess("ZrtFtc0045N", "SAN client rescan is successful", client);
}

void *rescan_thread(void *index) {
  int row = static_cast<int>(reinterpret_cast<intptr_t>(index));
  in_rescan_worker = true;
  caught_Signal = 0;
  struct sigaction saved = {};
  watchForFaults(&saved, active_threads[row].client.c_str());

  int result = 0;
  // An exception must not leave a thread: it would end the process by terminate().
  try {
    result = rescanSANClient(row, true, true);
  } catch (...) {
    reportUnexpectedException();
  }
  if (result == 0 && caught_Signal != 0) result = STATUS_RESCAN_FAULTED;

  sigaction(SIGSEGV, &saved, nullptr);
  pthread_mutex_lock(&thread_table_lock);
  active_threads[row].state = THREAD_DONE;
  active_threads[row].status = result;
  pthread_mutex_unlock(&thread_table_lock);
  pthread_exit(nullptr);
}

// Before a session exists there is nothing to report the fault to.
void SIGSEGV_handler(int signal) {
  if (CORBA::is_nil(m_hostSession)) _exit(signal);
  caught_Signal = signal;
}

// What a worker writes when its own code faults, looked up before its
// request because the fault handler may only write it.
static thread_local char fault_report[sizeof localizedMsg + 1];

// A fault raised by the worker's own instruction (si_code > 0) cannot be
// returned into: the instruction would fault again, forever. The run ends
// here with the line the main thread would have printed; write() and
// _exit() are all a signal handler may use.
static void onSegv(int signal, siginfo_t *info, void *) {
  if (info->si_code <= 0 || CORBA::is_nil(m_hostSession)) return SIGSEGV_handler(signal);
  ssize_t written = write(STDERR_FILENO, fault_report, strnlen(fault_report, sizeof fault_report));
  (void)written;
  _exit(STATUS_RESCAN_FAULTED);
}

void watchForFaults(struct sigaction *saved, const char *client) {
  // Messages are looked up only under the lock while workers run.
  pthread_mutex_lock(&thread_table_lock);
  QZ_LOOKUP("ZrtFtc0085N", "Rescan result status for client %s = %d", shownText(client, false).c_str(),
            static_cast<int>(STATUS_RESCAN_FAULTED));
  snprintf(fault_report, sizeof fault_report, "%s\n", localizedMsg);
  pthread_mutex_unlock(&thread_table_lock);
  struct sigaction handler = {};
  handler.sa_sigaction = onSegv;
  handler.sa_flags = SA_SIGINFO;
  sigemptyset(&handler.sa_mask);
  sigaction(SIGSEGV, &handler, saved);
}
