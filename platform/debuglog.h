// The debug log: $TESSARK_HOME/logs/<name>/<program>.log, one line per entry.
#pragma once

enum { LOG_TRACE = 2, LOG_INFO = 4, LOG_WARNING = 8, LOG_ERROR = 16 };

// Opens (creating with `mode` under the current umask) the log file of
// `program` in directory `dir`/`name`. Returns the descriptor, or -1 with
// *errorOut set to the errno.
int open_debug_log(const char *dir, const char *name, const char *program, int mode, int *errorOut);

// One log line; does nothing when no log is open. Safe from several threads.
void logmsg(int level, const char *text, const char *tag);

// Records the command line at trace level.
void logparams(int argc, char **argv);

// The configured verbosity of `program` (0 when none is configured).
int get_configured_verbose(const char *program, const char *name);

// Install root: $TESSARK_HOME, default /usr/vandor/tessark.
const char *tessark_home();
