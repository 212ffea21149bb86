// The command line of qzsld.
#pragma once
#include <string>

struct Options {
  int port = 0;    // 0: QZSL_PORT of $TESSARK_HOME/qz.conf (7390 without one)
  std::string db;  // default: $TESSARK_HOME/var/qzsld.db
  std::string inventory, faults, journal, readyFile, exportFile;
  int discoveryMs = 200;
  std::string factory = "normal";
  std::string adminGroup;  // "": QZSL_ADMIN_GROUP of qz.conf, none without it
  bool openReads = false;  // false: QZSL_OPEN_READS of qz.conf
  bool help = false, version = false;
};

extern const char *const USAGE;
extern const char *const HELP;

// Fills `options` from argv (GNU syntax: "--port N" or "--port=N"); on a bad
// command line returns false with the reason in `error`.
bool parseOptions(int argc, char **argv, Options &options, std::string &error);

// The install root: $TESSARK_HOME, /usr/vandor/tessark when unset or empty.
