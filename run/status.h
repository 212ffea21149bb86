// The exit statuses of a run. Any other status is a service's error code (or,
// at start-up, a failed configuration read or roles query).
#pragma once
#include <climits>

enum {
  STATUS_OK = 0,
  STATUS_NO_DEBUG_LOG = 12,        // the debug log's folder exists, the log cannot be opened
  STATUS_USAGE = 20,               // usage shown: help asked for, or an argument error
  STATUS_NO_PROGRAM_NAME = 36,
  STATUS_RESCAN_TIMED_OUT = 47,
  STATUS_RESCAN_FAULTED = 63,
  STATUS_NO_MASTER_CONFIG = 110,
  STATUS_INTERNAL = 130,           // internal failure, ORB or other exception
  STATUS_NOT_ALLOWED = 140,
  STATUS_OUT_OF_RANGE = 252        // what a status outside 0..255 becomes
};

// What a command returns when its arguments asked for more than the service
// allows: the dispatcher shows the command's usage and ends with
// STATUS_USAGE. It lies far outside what a run ends with or a service's
// error code holds in practice.
enum { STATUS_SHOW_USAGE = INT_MIN };
