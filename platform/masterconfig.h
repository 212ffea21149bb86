// The local master-server configuration, $TESSARK_HOME/qz.conf.
//
// One "KEY = value" per line (blanks around "=" optional), keys matched
// without regard to case; "#" starts a comment that runs to the end of the
// line; blank lines are skipped. Keys:
//   SERVER           host name; repeatable, the first one is the master server
//   CONNECT_TIMEOUT  seconds, positive integer (default 300)
//   REQUEST_TIMEOUT  seconds, positive integer (default 300)
//   USE_KMTL         REQUIRED | PROHIBITED | AUTOMATIC (default AUTOMATIC)
//   QZSL_PORT        1..65535 (0 when absent)
//   VERBOSE          non-negative integer (default 0)
//   QZSL_ACCOUNT     the account that runs qzsld; the tool talks only to a
//                    service run by root or by it (default qzsl)
//   QZSL_ADMIN_GROUP the group whose members qzsld admits as root (default none)
//   QZSL_OPEN_READS  YES | NO: qzsld answers reads to every local user (default NO)
// A key given twice (other than SERVER) keeps its last value; unknown keys
// are ignored.
#pragma once
#include <string>
#include <vector>

// The port of the local QZSL when QZSL_PORT is absent.
const int DEFAULT_QZSL_PORT = 7390;
// The account of qzsld when QZSL_ACCOUNT is absent; the packages create it.
const char *const DEFAULT_QZSL_ACCOUNT = "qzsl";

enum { USE_KMTL_REQUIRED = 1, USE_KMTL_PROHIBITED = 2, USE_KMTL_AUTOMATIC = 3 };

struct master_config_t {
  std::vector<std::string> servers;  // the first is the master server
  int connect_timeout;               // seconds
  int request_timeout;               // seconds
  int use_kmtl;                      // USE_KMTL_*
  int qzsl_port;                     // TCP port of the local QZSL
  int verbose;                       // VERBOSE key, 0 when absent
  std::string qzsl_account = DEFAULT_QZSL_ACCOUNT;
  std::string admin_group;           // "" when none is named
  bool open_reads = false;
};

// Reads the file; 0 on success, otherwise an errno-style code (the reason is
// in the debug log): ENOENT missing, EACCES (or the open's errno) unreadable,
// EISDIR a directory, EINVAL a malformed line. Unknown keys are ignored.
int QZ_read_master_config();

// Why the last read failed, as written to the debug log.
const char *master_config_error();

// The configuration of the last successful read, or null. A failed read
// leaves the earlier result in place.
const master_config_t *get_master_config_ptr();

// The configured verbosity of `program`: the VERBOSE key of the configuration
// last read successfully (0 when none is configured).
int get_configured_verbose(const char *program, const char *name);
