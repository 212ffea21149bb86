// Process-wide state of a qzftconfig run: set up by start-up and the parsers,
// read by the commands.
#pragma once
#include <atomic>
#include <pthread.h>
#include <string>

#include "ftservice.hh"
#include "run/runend.h"

// Rescan worker table states.
enum { THREAD_RUNNING = 0, THREAD_DONE = 1, THREAD_FREE = 2 };
enum { RESCAN_TABLE_SIZE = 5 };

struct thread_table_entry_t {
  int state;
  int status;
  std::string client;
  Corvane::Tessark::SL::FATServiceMgmt::FATServiceControlFacet_var control_facet;
  std::string shown;  // `client` as the terminal shows it
  // What the worker met that ends the run; the main thread reports it when
  // it collects the entry.
  run_end_t end;
};

extern const char *progname;
extern bool vbose;
extern bool gJson;
extern bool gJson_compact;
extern bool show_help;
extern int conn_timeout;
extern int rqst_timeout;
extern int debugFD;
extern char lc_messages[256], lc_ctype[256], lc_time[256], lc_collate[256], lc_numeric[256];
extern char localizedMsg[8192];
extern char englishMsg[8192];

// Allocated once and never freed: rescan workers that timed out may still be
// inside their call while the process ends.
extern thread_table_entry_t (&active_threads)[RESCAN_TABLE_SIZE];
extern pthread_mutex_t thread_table_lock;
// Rescan workers started and not yet finished: they may be inside the ORB.
extern std::atomic<int> rescan_workers_running;
// The entry of the rescan worker that runs on this thread; null elsewhere.
extern thread_local thread_table_entry_t *worker_entry;

extern const char *const DFLT_NP_STR_VAL;
extern const char *const DFLT_NCP_STR_VAL;

// Run options, filled once by parsing.
extern std::string client_name;
extern std::string media_server;
extern std::string master_server;
extern std::string ftpreference;
extern int ftwait;
extern int ftrwait;
extern std::string num_ports;
extern std::string num_clients_per_port;
extern int pipelimit;
extern std::string state;

// Looks `id` up into localizedMsg (and englishMsg, in the "C" locale) with the
// English default `format`.
#define QZ_LOOKUP(id, ...) \
  lookupMessage((id), lc_messages, sizeof localizedMsg, localizedMsg, "C", sizeof englishMsg, \
                englishMsg, __VA_ARGS__)
