// The debug log: $TESSARK_HOME/logs/<name>/<program>.log, one line per entry.
//
// Line format (local time, milliseconds, process id, kernel thread id, level
// as a number, tag, text):
//   YYYY-MM-DD HH:MM:SS.mmm [<pid>] [<tid>] <level> <tag>: <text>\n
// for example
//   2024-05-01 13:02:03.045 [4711] [4711] 16 qzftconfig: No SAN clients found
// Trailing newlines of the text are dropped and every other newline or
// carriage return inside it becomes a space, so an entry is always one line;
// the other controls, and bytes that are not UTF-8, are shown as '?' (tabs
// stay), as by shownText. A null tag or text is written as the empty string. Each line goes out with
// a single write() on a descriptor opened with O_APPEND, so lines of several
// threads or processes sharing the file never interleave.
#pragma once

enum { LOG_TRACE = 2, LOG_INFO = 4, LOG_WARNING = 8, LOG_ERROR = 16 };

// Opens (creating with `mode` under the current umask) the log file of
// `program` in directory `dir`/`name`; the directory must exist. Returns the
// descriptor, or -1 with *errorOut set to the errno. A second call replaces
// the log opened by the first. Only a regular file with a single link is
// opened: a symbolic link at the path fails with ELOOP (a dangling one is not
// created), a FIFO, device or other non-regular file with EINVAL (ENXIO for a
// FIFO without reader, EISDIR for a directory), a file with further hard
// links with EMLINK; the open never blocks.
int open_debug_log(const char *dir, const char *name, const char *program, int mode, int *errorOut);

// One log line; does nothing when no log is open. Safe from several threads.
void logmsg(int level, const char *text, const char *tag);

// Records the command line at trace level, tagged with the base name of
// argv[0]: "command line: <arg0> <arg1> ..."; an argument that is empty or
// holds a blank is shown in double quotes.
void logparams(int argc, char **argv);

// Install root: $TESSARK_HOME, default /usr/vandor/tessark.
const char *tessark_home();
