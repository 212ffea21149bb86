// "-rescanallclients": a rescan of every SAN client of the master server,
// with up to RESCAN_TABLE_SIZE requests outstanding, each in a worker thread
// that owns one entry of active_threads.
#include <cstdint>
#include <cstdio>
#include <list>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "changes/changes.h"
#include "changes/common.h"
#include "platform/debuglog.h"
#include "platform/messages.h"
#include "platform/shown.h"
#include "run/globals.h"
#include "run/status.h"
#include "session/session.h"

namespace {

// A client waiting for its request.
struct rescan_client_record_t {
  std::string client;
  int status;  // WAITING until taken
  std::string shown;  // `client` as the terminal shows it
};
enum { WAITING = 2 };

// One-second polls after which a phase gives up, and the one from which the
// waiting clients are listed (every ten polls).
enum { POLL_LIMIT = 360, FIRST_WAITING_LIST = 37 };

struct rescan_run_t {
  int total = 0;
  int not_attempted = 0;
  int failed = 0;
  int result = 0;  // the first non-zero result collected
};

// Collects a finished entry; call with the lock held. A worker that met what
// ends the run has it reported here (after its result line when that says
// it all), and the run ends, the lock released.
void collect(rescan_run_t &run, int index) {
  const run_end_t &end = active_threads[index].end;
  if (end.kind == run_end_t::NONE || end.kind == run_end_t::QUIET) {
    int status = process_completed_thread(index, run.failed);
    if (run.result == 0) run.result = status;
  }
  if (end.kind == run_end_t::NONE) return;
  run_end_t ending = end;
  pthread_mutex_unlock(&thread_table_lock);
  endRun(ending);
}

// Within each poll, whatever a finished worker met that ends the run ends
// it, whichever entry the poll takes next.
void collectEnding(rescan_run_t &run) {
  for (int i = 0; i < RESCAN_TABLE_SIZE; ++i)
    if (active_threads[i].state == THREAD_DONE && active_threads[i].end.kind != run_end_t::NONE) collect(run, i);
}

void showWaitingAfter(int polls) {
  if (vbose && polls >= FIRST_WAITING_LIST && polls % 10 == 0) display_waiting_clients();
}

// The client names of the list, in the service's order; elements without
// client information are left out.
std::vector<std::string> listedClients() {
  getQueryableFacetInstance();
  FSM::SANClientInfoSeq_var clients;
  guardedCall([&] { clients = queryFacet_var->getSANClientList(master_server.c_str(), media_server.c_str()); },
              [](const QZSLOpException &e) {
                reportRefusal(e, "ZrtFtc0049N", "Failed to get SAN client details", "");
              });
  if (clients.operator->() == nullptr || clients->length() == 0) {
    lookup_fixed_message("ZrtFtc0051N", "No SAN clients found");
    reportInfo(LOG_INFO, "No SAN clients found", false, "");
  }
  std::vector<std::string> names;
  for (CORBA::ULong i = 0; i < clients->length(); ++i) {
    const FSM::SANClientInfo *info = clients[i];
    if (info == nullptr || info->fatClientInfo() == nullptr) continue;
    names.push_back(info->fatClientInfo()->hostName());
  }
  return names;
}

// The lowest entry that is free or finished, made THREAD_RUNNING for a new
// client (a finished one is collected first); -1 when all are running.
int takeEntry(rescan_run_t &run) {
  int taken = -1;
  pthread_mutex_lock(&thread_table_lock);
  collectEnding(run);
  for (int i = 0; i < RESCAN_TABLE_SIZE && taken < 0; ++i) {
    thread_table_entry_t &entry = active_threads[i];
    if (entry.state != THREAD_DONE && entry.state != THREAD_FREE) continue;
    if (entry.state == THREAD_DONE) collect(run, i);
    entry.state = THREAD_RUNNING;
    entry.status = 0;
    entry.client.clear();
    entry.shown.clear();
    entry.end = run_end_t();
    taken = i;
  }
  pthread_mutex_unlock(&thread_table_lock);
  return taken;
}

// Starts the worker of entry `index` for `record`. The thread is detached:
// a finished thread that nobody joins keeps its stack until the process
// ends, and a run over thousands of clients would run out of them.
void startRequest(int index, const rescan_client_record_t &record) {
  pthread_mutex_lock(&thread_table_lock);
  active_threads[index].client = record.client;
  active_threads[index].shown = record.shown;
  pthread_mutex_unlock(&thread_table_lock);
  QZ_LOOKUP("ZrtFtc0053N", "Request rescan for client : %s", record.shown.c_str());
  reportLine(LOG_INFO, localizedMsg, englishMsg, vbose ? LINE_PLAIN : LINE_LOG_ONLY);

  pthread_t thread;
  ++rescan_workers_running;
  int code = pthread_create(&thread, nullptr, rescan_thread,
                            reinterpret_cast<void *>(static_cast<intptr_t>(index)));
  if (code == 0) {
    pthread_detach(thread);
    return;
  }
  --rescan_workers_running;
  QZ_LOOKUP("ZrtFtc0072N", "Failed to launch rescan thread for client %s: status %d", record.shown.c_str(), code);
  reportInfo(LOG_ERROR, englishMsg, false, "", false);
  pthread_mutex_lock(&thread_table_lock);
  active_threads[index].state = THREAD_FREE;
  active_threads[index].status = 0;
  active_threads[index].client.clear();
  pthread_mutex_unlock(&thread_table_lock);
}

// Hands every pending client to a worker. Returns false when no entry came
// free for POLL_LIMIT polls; the clients not started are then left in
// `pending`.
bool launchAll(rescan_run_t &run, std::list<rescan_client_record_t> &pending) {
  int polls = 0;
  while (!pending.empty()) {
    if (polls >= POLL_LIMIT) return false;
    int index = takeEntry(run);
    if (index < 0) {
      showWaitingAfter(polls);
      sleep(1);
      ++polls;
      continue;
    }
    polls = 0;
    auto record = pending.begin();
    while (record->status != WAITING) ++record;
    record->status = 0;
    startRequest(index, *record);
    pending.erase(record);
  }
  return true;
}

void reportNotAttempted(rescan_run_t &run, const std::list<rescan_client_record_t> &pending) {
  run.not_attempted = static_cast<int>(pending.size());
  if (pending.empty()) return;
  QZ_LOOKUP("ZrtFtc0088N", "Rescan for the following clients was not attempted:");
  reportLine(LOG_ERROR, localizedMsg, englishMsg, LINE_HEADER);
  for (const rescan_client_record_t &record : pending)
    reportLine(LOG_ERROR, record.shown.c_str(), record.client.c_str());
}

// Collects results until every entry is free. Returns false when some were
// still running after POLL_LIMIT polls.
bool collectAll(rescan_run_t &run) {
  for (int polls = 0;;) {
    int free = 0;
    pthread_mutex_lock(&thread_table_lock);
    collectEnding(run);
    for (int i = 0; i < RESCAN_TABLE_SIZE; ++i) {
      thread_table_entry_t &entry = active_threads[i];
      if (entry.state == THREAD_DONE) {
        collect(run, i);
        entry.state = THREAD_FREE;
      }
      if (entry.state == THREAD_FREE) ++free;
    }
    pthread_mutex_unlock(&thread_table_lock);
    if (free == RESCAN_TABLE_SIZE) return true;
    showWaitingAfter(polls);
    sleep(1);
    if (++polls >= POLL_LIMIT) return false;
  }
}

// Lists the requests still running as timed out and collects those that
// finished meanwhile. A running entry is left as it is: its worker still
// owns it and will publish into it.
void reportTimedOut(rescan_run_t &run) {
  QZ_LOOKUP("ZrtFtc0068N", "Rescan for the following clients failed (timed out):");
  bool header = false;
  pthread_mutex_lock(&thread_table_lock);
  for (int i = 0; i < RESCAN_TABLE_SIZE; ++i) {
    const thread_table_entry_t &entry = active_threads[i];
    if (entry.state != THREAD_RUNNING) continue;
    if (!header) reportLine(LOG_ERROR, localizedMsg, englishMsg, LINE_HEADER);
    header = true;
    reportLine(LOG_ERROR, entry.shown.c_str(), entry.client.c_str());
    ++run.not_attempted;
  }
  for (int i = 0; i < RESCAN_TABLE_SIZE; ++i) {
    thread_table_entry_t &entry = active_threads[i];
    if (entry.state == THREAD_DONE) {
      collect(run, i);
      entry.state = THREAD_FREE;
    } else if (entry.state == THREAD_RUNNING && run.result == 0) {
      run.result = STATUS_RESCAN_TIMED_OUT;
    }
  }
  pthread_mutex_unlock(&thread_table_lock);
}

// The lock is destroyed only when no worker is left: one that timed out may
// still come back to publish its result while the process exits.
void releaseLock() {
  bool running = false;
  pthread_mutex_lock(&thread_table_lock);
  for (const thread_table_entry_t &entry : active_threads)
    running = running || entry.state == THREAD_RUNNING;
  pthread_mutex_unlock(&thread_table_lock);
  if (!running) pthread_mutex_destroy(&thread_table_lock);
}

}  // namespace

int process_completed_thread(int index, int &failed) {
  const thread_table_entry_t &entry = active_threads[index];
  int status = entry.status;
  if (status != 0) ++failed;
  if (vbose || status != 0) {
    QZ_LOOKUP("ZrtFtc0085N", "Rescan result status for client %s = %d", entry.shown.c_str(), status);
    reportLine(status == 0 ? LOG_INFO : LOG_ERROR, localizedMsg, englishMsg);
  }
  return status;
}

void display_waiting_clients() {
  QZ_LOOKUP("ZrtFtc0087N", "Waiting for the following clients:");
  reportLine(LOG_INFO, localizedMsg, englishMsg, LINE_HEADER);
  pthread_mutex_lock(&thread_table_lock);
  for (const thread_table_entry_t &entry : active_threads)
    if (entry.state == THREAD_RUNNING) reportLine(LOG_INFO, entry.shown.c_str(), entry.client.c_str());
  pthread_mutex_unlock(&thread_table_lock);
}

int rescanAllSANClients() { return rescanClients(listedClients()); }

int rescanClients(const std::vector<std::string> &clients) {
  std::list<rescan_client_record_t> pending;
  for (const std::string &client : clients) pending.push_back({client, WAITING, shownText(client.c_str(), false)});
  rescan_run_t run;
  run.total = static_cast<int>(pending.size());
  // No worker exists yet, so the lock can be set up afresh.
  pthread_mutex_init(&thread_table_lock, nullptr);
  // The generated nil reference of a reference type is made on its first
  // use, unlocked on the fast path. Each worker's first control facet fetch
  // uses the generic facet's one, so it is made here, before any worker runs.
  Corvane::Tessark::SL::ControlFacet::_nil();

  bool launched = launchAll(run, pending);
  bool collected = launched && collectAll(run);
  if (!launched) reportNotAttempted(run, pending);
  if (!collected) reportTimedOut(run);
  releaseLock();
  pending.clear();

  QZ_LOOKUP("ZrtFtc0061N", "\nOf a total of %d clients, a rescan was successfully requested for %d",
            run.total, run.total - run.not_attempted - run.failed);
  reportInfo(LOG_INFO, englishMsg, false, "", false);
  return run.result;
}
