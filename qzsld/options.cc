#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char *const USAGE =
    "usage: qzsld --port N [--db FILE] [--inventory FILE] [--faults FILE] [--journal FILE]\n"
    "             [--ready-file FILE] [--discovery-ms N] [--export FILE]\n"
    "             [--factory normal|missing|wrongtype] [--help]\n";

const char *const HELP =
    "qzsld serves the QZSL management service's FT facets over CORBA from an SQLite\n"
    "inventory, at corbaloc:iiop:1.2@127.0.0.1:<port>/qzsl/HSFactory.\n"
    "\n"
    "  --port N            TCP port on 127.0.0.1 to serve on (required unless --export)\n"
    "  --db FILE           the SQLite database, created with its schema when missing\n"
    "                      (default $TESSARK_HOME/var/qzsld.db; TESSARK_HOME defaults to\n"
    "                      /usr/vandor/tessark)\n"
    "  --inventory FILE    replace the whole inventory with this JSON file before serving\n"
    "                      (format: qzsld/INVENTORY.md)\n"
    "  --export FILE       write the database's inventory as JSON (the --inventory format)\n"
    "                      and exit without serving\n"
    "  --faults FILE       fault rules: calls to fail, answer oddly, delay or hang\n"
    "                      (format: qzsld/README.md)\n"
    "  --journal FILE      append one line per operation received\n"
    "  --ready-file FILE   write the process id to FILE once the service listens\n"
    "  --discovery-ms N    how long startClientDiscovery takes per client (default 200)\n"
    "  --factory MODE      normal: publish the host-session factory; missing: publish\n"
    "                      nothing under qzsl/HSFactory; wrongtype: publish an object of\n"
    "                      another interface there\n"
    "  --help              show this text\n"
    "\n"
    "SIGTERM or SIGINT stops the service; it exits 0. A bad command line exits 2, a\n"
    "failure to start (database, inventory, faults, journal, port) exits 1.\n";

static bool number(const char *text, long low, long high, int &value) {
  char *end = nullptr;
  errno = 0;
  long parsed = strtol(text, &end, 10);
  if (errno || !*text || *end || parsed < low || parsed > high)
    return false;
  value = (int)parsed;
  return true;
}

bool parseOptions(int argc, char **argv, Options &options, std::string &error) {
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help") {
      options.help = true;
      continue;
    }
    std::string *file = option == "--db"           ? &options.db
                        : option == "--inventory"  ? &options.inventory
                        : option == "--faults"     ? &options.faults
                        : option == "--journal"    ? &options.journal
                        : option == "--ready-file" ? &options.readyFile
                        : option == "--export"     ? &options.exportFile
                        : option == "--factory"    ? &options.factory
                                                   : nullptr;
    bool numeric = option == "--port" || option == "--discovery-ms";
    if (!file && !numeric) {
      error = "unknown option " + option;
      return false;
    }
    if (i + 1 >= argc) {
      error = option + " needs a value";
      return false;
    }
    const char *value = argv[++i];
    if (option == "--port" && !number(value, 1, 65535, options.port)) {
      error = "--port needs a port number from 1 to 65535, not \"" + std::string(value) + "\"";
      return false;
    }
    if (option == "--discovery-ms" && !number(value, 0, 3600000, options.discoveryMs)) {
      error = "--discovery-ms needs a number of milliseconds, not \"" + std::string(value) + "\"";
      return false;
    }
    if (file) {
      if (!*value) {
        error = option + " needs a value";
        return false;
      }
      *file = value;
    }
  }
  if (options.help)
    return true;
  if (options.factory != "normal" && options.factory != "missing" && options.factory != "wrongtype") {
    error = "--factory must be normal, missing or wrongtype";
    return false;
  }
  if (options.port == 0 && options.exportFile.empty()) {
    error = "--port is required";
    return false;
  }
  if (options.db.empty()) {
    const char *home = getenv("TESSARK_HOME");
    options.db = std::string(home && *home ? home : "/usr/vandor/tessark") + "/var/qzsld.db";
  }
  return true;
}
