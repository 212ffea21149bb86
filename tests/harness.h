// The one harness of every test program: runs of qzftconfig, qzsld or a piece
// of either in a child process with exactly what they write captured, private
// installation roots, live qzsld sites on free loopback ports, and the texts,
// codes and fault rules the tests compare against.
#pragma once
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/debuglog.h"
#include "run/status.h"

using Lines = std::vector<std::string>;

struct RunResult {
  std::string out, err;  // standard output and error, exactly
  int status;            // exit status, or 128 + signal number
};

const int RETURNED = 199;  // the child's code came back instead of ending the process

// Runs `child` in a fork with its standard output and error captured; one
// that outlives `seconds` is killed.
RunResult capture(const std::function<void()> &child, int seconds = 60);

// Fails unless the run printed exactly `out` and `err` and ended with `status`.
inline void expectRun(const RunResult &r, const std::string &out, const std::string &err, int status) {
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, status);
}

// The file's bytes; "" when it cannot be read.
inline std::string readFile(const std::string &path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

inline void writeFile(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// What every qz.conf of the tests starts with.
const std::string BASE_CONF = "SERVER = master1\nUSE_KMTL = AUTOMATIC\n";

// A private TESSARK_HOME (mode 0755) holding qz.conf unless `conf` is "" (by
// default one whose QZSL is nowhere: nothing listens on port 1); removed at the
// end of a test program that passed, unless QZ_KEEP_SITES is set, and kept for
// inspection after one that failed.
struct TestHome {
  explicit TestHome(const std::string &conf = BASE_CONF + "QZSL_PORT = 1\n");
  std::string path(const std::string &relative) const { return dir + "/" + relative; }
  // The tool keeps a debug log only where logs/admin exists.
  void makeLogDir(mode_t mode = 0755) const;
  std::string debugLog() const { return readFile(path("logs/admin/qzftconfig.log")); }
  std::string dir;

protected:
  struct Later {};  // the folder is made when the site starts
  explicit TestHome(Later) {}
};

// How a program is run besides its arguments: always in the C locale, `env`
// adding NAME=value pairs; as the local user `user` (primary group only)
// through setpriv unless ""; killed after `seconds`; with standard output on
// the file `stdoutTo` ("/dev/full"), or for GONE_READER on a pipe that nobody
// reads any more (`out` of the result is "" then). An environment alone
// converts, as most calls that set anything set only that.
struct RunOptions {
  RunOptions(Lines env = {}, std::string user = "", int seconds = 120, const char *stdoutTo = nullptr)
      : env(std::move(env)), user(std::move(user)), seconds(seconds), stdoutTo(stdoutTo) {}
  Lines env;
  std::string user;
  int seconds;
  const char *stdoutTo;
};
const char *const GONE_READER = "";
// A run with standard output on `file` (null: captured).
inline RunOptions into(const char *file) { return {{}, "", 120, file}; }

RunResult runTool(const TestHome &home, const Lines &args, const RunOptions &how = {});
// qzsld with `args` (and TESSARK_HOME=`home` when given), to completion.
RunResult runService(const Lines &args, const std::string &home = "");
// Environment for a tool run whose clock goes a hundred times faster.
Lines fastClock();

// What the tool prints on stderr for a failure that only the log explains.
const char *const GENERIC_FAILURE = "Encountered with an error, check the log for details\n\n";
const char *const CORBA_FAILURE = "Got Corba Exception, see log for details\n\n";

// What the tool prints on stderr for a refusal reported with `message`.
inline std::string refusalText(const std::string &message, const std::string &reason, int code,
                               const std::string &extra = "") {
  return message + "\n\nEXIT error: " + reason + "\nEXIT status = " + std::to_string(code) + "\n" +
         (extra.empty() ? "" : extra + "\n");
}

// A debug-log line as logLines gives it: "<level> <text>".
inline std::string logged(int level, const std::string &text) { return std::to_string(level) + " " + text; }

struct SiteOptions {
  std::string inventory;              // inventory JSON text ("" = empty site)
  std::string faults;                 // fault rules JSON text ("" = none)
  std::string confExtra;              // more qz.conf lines, e.g. "CONNECT_TIMEOUT = 5\n"
  bool startService = true;           // false: a site whose QZSL is not running
  Lines qzsldArgs;                    // more qzsld options, e.g. {"--discovery-ms", "50"}
  bool portFromConf = false;          // qzsld without --port: it reads QZSL_PORT of qz.conf
  bool defaultPort = false;           // qzsld on 7390, and no QZSL_PORT in qz.conf
  std::string serviceUser;            // qzsld run as this local user ("" = as the tests)
};

// A home with the catalogs, the inventory and fault rules of `options`, and
// qzsld serving it.
struct Site : TestHome {
  Site() : TestHome(Later{}) {}
  int port = 0;    // QZSL_PORT
  pid_t pid = -1;  // qzsld, or -1
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

// The operations qzsld received, one line each.
Lines journal(const Site &site);
// The FT operations in the journal, without the session's own calls.
Lines ftCalls(const Site &site);
// The debug log as "<level> <text>" lines, without the trace lines of start-up.
Lines logLines(const TestHome &home);

// The demo inventory shipped with qzsld.
std::string demoInventory();

// Error codes that fault rules make qzsld raise: test data, clear of the
// tool's own statuses.
enum SeededCode { CODE_UNAVAILABLE = 5, CODE_REFUSED = 9, CODE_DISCOVERY_FAILED = 25, CODE_UNREADABLE = 31,
                  CODE_NO_CONTROL = 41, CODE_NOT_LICENSED = 42, CODE_SERVER_DOWN = 77 };

// A fault-rule document from rule objects written as JSON text.
std::string faultRules(std::initializer_list<std::string> rules);
// A rule refusing `op` (for `arg` only, when given) with one error record.
std::string refusalRule(const std::string &op, int code, const std::string &message,
                        const std::string &arg = "", const std::string &extra = "");
// A rule answering `op` (for `arg` only, when given) with `result`, a JSON text.
std::string replyRule(const std::string &op, const std::string &result, const std::string &arg = "");

// Names each test of a table after its row.
template <typename Row> std::string rowName(const ::testing::TestParamInfo<Row> &info) {
  return info.param.name;
}
