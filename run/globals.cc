#include "run/globals.h"

const char *progname = nullptr;
bool vbose = false;
bool gJson = false;
bool gJson_compact = false;
bool show_help = false;
int conn_timeout = 300;
int rqst_timeout = 300;
int debugFD = 0;
char lc_messages[256], lc_ctype[256], lc_time[256], lc_collate[256], lc_numeric[256];
char localizedMsg[8192];
char englishMsg[8192];

thread_table_entry_t (&active_threads)[RESCAN_TABLE_SIZE] = *new thread_table_entry_t[1][RESCAN_TABLE_SIZE];
pthread_mutex_t thread_table_lock = PTHREAD_MUTEX_INITIALIZER;
std::atomic<int> rescan_workers_running{0};
thread_local thread_table_entry_t *worker_entry = nullptr;

const char *const DFLT_NP_STR_VAL = "2";
const char *const DFLT_NCP_STR_VAL = "2";

std::string client_name;
std::string media_server;
std::string master_server;
std::string ftpreference;
int ftwait = 0;
int ftrwait = 0;
std::string num_ports;
std::string num_clients_per_port;
int pipelimit = 0;
std::string state;
