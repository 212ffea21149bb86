#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#include "platform/debuglog.h"

// The operator's options come first; those that exist only to try clients
// against failures and delays made on purpose stand under a heading of their
// own, so that an operator never mistakes them for settings. A new operator
// option goes on the first line of USAGE and before -h in HELP.
const char *const USAGE =
    "usage: qzsld [--port N] [--db FILE] [--inventory FILE] [--export FILE]\n"
    "             [--journal FILE] [--ready-file FILE] [--admin-group GROUP] [--open-reads]\n"
    "             [--faults FILE] [--factory normal|missing|wrongtype] [--discovery-ms N]\n"
    "       qzsld -h|--help | -V|--version\n";

const char *const HELP =
    "qzsld serves the QZSL management service's FT facets over CORBA from an SQLite\n"
    "inventory, at corbaloc:iiop:1.2@127.0.0.1:<port>/qzsl/HSFactory.\n"
    "\n"
    "Options:\n"
    "  --port N            TCP port on 127.0.0.1 to serve on (default: QZSL_PORT of\n"
    "                      $TESSARK_HOME/qz.conf, 7390 when it has none)\n"
    "  --db FILE           the SQLite database, created with its schema when missing\n"
    "                      (default $TESSARK_HOME/var/qzsld.db; TESSARK_HOME defaults to\n"
    "                      /usr/vandor/tessark)\n"
    "  --inventory FILE    replace the whole inventory with this JSON file before serving\n"
    "                      (format: qzsld/INVENTORY.md)\n"
    "  --export FILE       write the database's inventory as JSON (the --inventory format)\n"
    "                      and exit without serving\n"
    "  --journal FILE      append one line per operation received\n"
    "  --ready-file FILE   write the process id to FILE once the service listens\n"
    "  --admin-group GROUP its members may call every operation, as root may\n"
    "                      (default: QZSL_ADMIN_GROUP of qz.conf; none without it)\n"
    "  --open-reads        every local user may read the inventory (default: NO, or\n"
    "                      QZSL_OPEN_READS of qz.conf); other users are refused\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "\n"
    "Testing options (failures and delays on purpose, to try clients against them;\n"
    "never needed in operation):\n"
    "  --faults FILE       fault rules: calls to fail, answer oddly, delay or hang\n"
    "                      (format: qzsld/README.md)\n"
    "  --factory MODE      normal: publish the host-session factory; missing: publish\n"
    "                      nothing under qzsl/HSFactory; wrongtype: publish an object of\n"
    "                      another interface there\n"
    "  --discovery-ms N    how long startClientDiscovery takes per client (default 200)\n"
    "\n"
    "Once it listens, qzsld says so on standard error and tells systemd (Type=notify).\n"
    "SIGTERM or SIGINT stops the service; it exits 0. A bad command line exits 2, a\n"
    "failure to start (configuration, database, inventory, faults, journal, port) exits 1.\n";

static bool number(const char *text, long low, long high, int &value) {
  char *end = nullptr;
  errno = 0;
  long parsed = strtol(text, &end, 10);
  if (errno || !*text || *end || parsed < low || parsed > high)
    return false;
  value = (int)parsed;
  return true;
}

enum { PORT = 1000, DB, INVENTORY, FAULTS, JOURNAL, READY_FILE, DISCOVERY_MS, EXPORT, FACTORY, ADMIN_GROUP,
       OPEN_READS };

static const option LONG_OPTIONS[] = {
    {"port", required_argument, nullptr, PORT},
    {"db", required_argument, nullptr, DB},
    {"inventory", required_argument, nullptr, INVENTORY},
    {"faults", required_argument, nullptr, FAULTS},
    {"journal", required_argument, nullptr, JOURNAL},
    {"ready-file", required_argument, nullptr, READY_FILE},
    {"discovery-ms", required_argument, nullptr, DISCOVERY_MS},
    {"export", required_argument, nullptr, EXPORT},
    {"factory", required_argument, nullptr, FACTORY},
    {"admin-group", required_argument, nullptr, ADMIN_GROUP},
    {"open-reads", no_argument, nullptr, OPEN_READS},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0}};

static std::string *textOption(Options &options, int code) {
  switch (code) {
  case DB: return &options.db;
  case INVENTORY: return &options.inventory;
  case FAULTS: return &options.faults;
  case JOURNAL: return &options.journal;
  case READY_FILE: return &options.readyFile;
  case EXPORT: return &options.exportFile;
  case FACTORY: return &options.factory;
  case ADMIN_GROUP: return &options.adminGroup;
  default: return nullptr;
  }
}

// The option as the user wrote it, without an "=value".
static std::string written(char **argv) {
  std::string text = argv[optind - 1];
  return text.substr(0, text.find('='));
}

// One option with its value; false with the reason in `error`.
static bool takeOption(int code, char **argv, Options &options, std::string &error) {
  if (code == 'h' || code == 'V') {
    (code == 'h' ? options.help : options.version) = true;
    return true;
  }
  if (code == OPEN_READS) {
    options.openReads = true;
    return true;
  }
  if (code == '?') {
    error = optopt ? "unknown option -" + std::string(1, (char)optopt) : "unknown option " + written(argv);
    return false;
  }
  if (code == ':' || !*optarg) {
    error = written(argv) + " needs a value";
    return false;
  }
  if (code == PORT && !number(optarg, 1, 65535, options.port)) {
    error = "--port needs a port number from 1 to 65535, not \"" + std::string(optarg) + "\"";
    return false;
  }
  if (code == DISCOVERY_MS && !number(optarg, 0, 3600000, options.discoveryMs)) {
    error = "--discovery-ms needs a number of milliseconds, not \"" + std::string(optarg) + "\"";
    return false;
  }
  if (std::string *text = textOption(options, code))
    *text = optarg;
  return true;
}

bool parseOptions(int argc, char **argv, Options &options, std::string &error) {
  opterr = 0;
  optind = 1;
  for (int code; (code = getopt_long(argc, argv, "+:hV", LONG_OPTIONS, nullptr)) != -1;)
    if (!takeOption(code, argv, options, error))
      return false;
  if (optind < argc) {
    error = "unexpected argument " + std::string(argv[optind]);
    return false;
  }
  if (options.help || options.version)
    return true;
  if (options.factory != "normal" && options.factory != "missing" && options.factory != "wrongtype") {
    error = "--factory must be normal, missing or wrongtype";
    return false;
  }
  if (options.db.empty())
    options.db = std::string(tessark_home()) + "/var/qzsld.db";
  return true;
}
