// End-to-end harness: a live qzsld on a free loopback port with a private
// TESSARK_HOME, and runs of qzftconfig against it with exact output captured.
#pragma once
#include <gtest/gtest.h>
#include <csignal>
#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/shared.h"

using Lines = std::vector<std::string>;
// What the tool prints on stderr for a failure that only the log explains.
const char *const GENERIC_FAILURE = "Encountered with an error, check the log for details\n\n";
const char *const CORBA_FAILURE = "Got Corba Exception, see log for details\n\n";

struct SiteOptions {
  std::string inventory;              // inventory JSON text ("" = empty site)
  std::string faults;                 // fault rules JSON text ("" = none)
  std::string confExtra;              // more qz.conf lines, e.g. "CONNECT_TIMEOUT = 5\n"
  bool startService = true;           // false: a site whose QZSL is not running
  std::vector<std::string> qzsldArgs; // more qzsld options, e.g. {"--discovery-ms", "50"}
  bool portFromConf = false;          // qzsld without --port: it reads QZSL_PORT of qz.conf
  bool defaultPort = false;           // qzsld on 7390, and no QZSL_PORT in qz.conf
  std::string serviceUser;            // qzsld run as this local user ("" = as the tests)
};

struct Site {
  std::string home;  // private TESSARK_HOME, kept after a failed run
  int port = 0;      // QZSL_PORT
  pid_t pid = -1;    // qzsld, or -1
  SiteOptions options;
};

// Makes the home, writes qz.conf and starts qzsld (waiting until it listens).
Site startSite(const SiteOptions &options);
// Sends `signal` to qzsld and waits up to 10 s; its wait status, or -1 when it
// had to be killed (or was not running).
int signalSite(Site &site, int signal);
inline void stopSite(Site &site) { signalSite(site, SIGTERM); }
// Starts qzsld again on the same database and port, without re-importing.
void restartSite(Site &site);

// A TCP socket bound to 127.0.0.1:`port` (0: a free one), or connected to
// it; -1 when the port is taken or nothing listens there.
int loopbackSocket(int port, bool connected = false);

// Runs qzsld with `args` (and TESSARK_HOME=`home` when given) to completion.
RunResult runService(const std::vector<std::string> &args, const std::string &home = "");
// Runs qzftconfig with `args` against the site in the C locale, `env` adding
// NAME=value pairs; killed after `timeoutSeconds`.
RunResult runTool(const Site &site, const std::vector<std::string> &args,
                  const std::vector<std::string> &env = {}, int timeoutSeconds = 120);
// The same with standard output on the file `out` ("/dev/full"), or for
// GONE_READER on a pipe that nobody reads any more; `out` of the result is "".
const char *const GONE_READER = "";
RunResult runToolInto(const Site &site, const std::vector<std::string> &args, const std::string &out);
// The same as the local user `user` (primary group only), through setpriv.
RunResult runToolAs(const std::string &user, const Site &site, const std::vector<std::string> &args);
// Environment for a tool run whose clock goes a hundred times faster.
std::vector<std::string> fastClock();

// The operations qzsld received, one line each.
std::vector<std::string> journal(const Site &site);
// The FT operations in the journal, without the session's own calls.
std::vector<std::string> ftCalls(const Site &site);
// The tool's debug log ("" when there is none).
std::string debugLog(const Site &site);
// The debug log as "<level> <text>" lines, without the trace lines of start-up.
std::vector<std::string> logLines(const Site &site);

// The demo inventory shipped with qzsld.
std::string demoInventory();

// A fault-rule document from rule objects written as JSON text.
std::string faultRules(std::initializer_list<std::string> rules);
// A rule refusing `op` (for `arg` only, when given) with one error record.
std::string refusalRule(const std::string &op, int code, const std::string &message,
                        const std::string &arg = "", const std::string &extra = "");
// A rule answering `op` (for `arg` only, when given) with `result`, a JSON text.
std::string replyRule(const std::string &op, const std::string &result, const std::string &arg = "");

// What the tool prints on stderr for a refusal reported with `message`.
inline std::string refusalText(const std::string &message, const std::string &reason, int code,
                               const std::string &extra = "") {
  return message + "\n\nEXIT error: " + reason + "\nEXIT status = " + std::to_string(code) + "\n" +
         (extra.empty() ? "" : extra + "\n");
}

// Names each test of a table after its row.
template <typename Row> std::string rowName(const ::testing::TestParamInfo<Row> &info) {
  return info.param.name;
}
