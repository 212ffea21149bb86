// Trust on one host, seen from both ends with a real second local user:
// qzsld admits callers by the user who owns their connection, and the tool
// talks only to a service run by root or the service's account.

#include <algorithm>
#include <unistd.h>

#include "tests/harness.h"

namespace {

const std::string LEAVE_TO_SERVICE = "USE_KMTL = REQUIRED\n";
const std::string REFUSED = "qzsld: user daemon (uid 1) may not ";

struct CallRow {
  std::string name;
  std::string user;                // "": as the tests (root)
  Lines args;
  std::string out;
  std::string err = "";
  int status = STATUS_OK;
  std::string refusal = "";        // the journal's last FT line, "" when nothing was refused
};

void PrintTo(const CallRow &row, std::ostream *os) { *os << row.name; }

// A refusal of `what` to daemon: the command's own head, then the service's text.
CallRow refused(const std::string &name, const std::vector<std::string> &args, const std::string &head,
                const std::string &what) {
  return {name, "daemon", args, "", refusalText(head, REFUSED + what, STATUS_NOT_ALLOWED), STATUS_NOT_ALLOWED, what};
}

struct Trust : ::testing::TestWithParam<CallRow> {
  inline static Site site;
  static void SetUpTestSuite() {
    SiteOptions options;
    options.inventory = demoInventory();
    // nobody's primary group: nobody is a member, daemon is not. The tool's
    // own check leaves the decision to the service.
    options.confExtra = "QZSL_ADMIN_GROUP = nogroup\n" + LEAVE_TO_SERVICE;
    site = startSite(options);
    // Idle connections ahead of the tool's take up qzsld's threads per
    // connection, so that the rows' calls are served by its thread pool.
    for (int i = 0; i < 60; ++i) idle.push_back(loopbackSocket(site.port, true));
  }
  static void TearDownTestSuite() {
    for (int fd : idle) close(fd);
    stopSite(site);
  }
  inline static std::vector<int> idle;
};

// The debug log is made by the first run; one user's log cannot be another's.
RunResult runAs(const std::string &user, const Site &site, const Lines &args) {
  unlink(site.path("logs/admin/qzftconfig.log").c_str());
  return runTool(site, args, {{}, user});
}

TEST_P(Trust, CallsByUser) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as other users";
  const CallRow &row = GetParam();
  RunResult r = runAs(row.user, site, row.args);
  expectRun(r, row.out, row.err, row.status);
  std::vector<std::string> calls = ftCalls(site);
  ASSERT_FALSE(calls.empty());
  if (!row.refusal.empty()) {
    EXPECT_EQ(calls.back(), "refused " + REFUSED + row.refusal);
    EXPECT_NE(readFile(site.path("qzsld.out")).find(REFUSED + row.refusal + "\n"), std::string::npos);
  } else {
    EXPECT_EQ(calls.back().rfind("refused ", 0), std::string::npos) << calls.back();
  }
}

// A user who holds 32 connections gets no further one: the tool fails as on
// a lost connection, before any request, and qzsld says why.
TEST_F(Trust, OneUserIsServedOnAtMost32Connections) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as other users";
  // The kernel counts a connection for the user who made its socket.
  ASSERT_EQ(seteuid(1), 0);  // daemon
  std::vector<int> held;
  for (int i = 0; i < 32; ++i) held.push_back(loopbackSocket(site.port, true));
  ASSERT_EQ(seteuid(0), 0);
  ASSERT_EQ(std::count(held.begin(), held.end(), -1), 0);
  size_t calls = journal(site).size();
  RunResult r = runAs("daemon", site, {"-ls"});
  for (int fd : held) close(fd);
  expectRun(r, "", GENERIC_FAILURE, STATUS_INTERNAL);
  EXPECT_EQ(journal(site).size(), calls);
  EXPECT_NE(readFile(site.path("qzsld.out"))
                .find("qzsld: user daemon (uid 1) holds 32 connections already; refusing another\n"),
            std::string::npos);
}

const std::string CHANGED = "FT server settings changed successfully\n\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, Trust,
    ::testing::Values(
        refused("ChangeRefused", {"-cs", "-Me", "ftmedia02", "-l", "4", "-state", "disabled"},
                "Failed to change FT server settings", "change FT servers"),
        refused("DeleteRefused", {"-deleteserver", "ftmedia02"}, "Failed to delete the FT server", "delete FT servers"),
        refused("RescanRefused", {"-rescanclient", "sanclient01"}, "Failed to rescan the SAN client : sanclient01",
                "rescan SAN clients"),
        refused("SetconfigRefused", {"-setconfig", "-np", "3"}, "Failed to configure defaults", "change FT settings"),
        refused("ReadRefused", {"-ls"}, "Failed to get FT server details", "read the FT inventory"),
        CallRow{"MemberChanges", "nobody", {"-cs", "-Me", "ftmedia02", "-l", "4", "-state", "active"}, CHANGED},
        CallRow{"RootChanges", "", {"-cs", "-Me", "ftmedia02", "-l", "6", "-state", "disabled"}, CHANGED}),
    rowName<CallRow>);

struct ServiceRow {
  std::string name;
  Lines args;
  std::string serviceUser;   // "": qzsld as the tests (root)
  std::string confExtra;
  std::string err = "";      // with "<port>" for the service's; a refusal when not ""
  std::string toolUser = "";
  Lines qzsldArgs = {};
};
// The tool of `toolUser` served, as root is.
ServiceRow served(const char *name, const Lines &args, const std::string &toolUser, const std::string &confExtra,
                  const Lines &qzsldArgs = {}) {
  return {name, args, "", confExtra, "", toolUser, qzsldArgs};
}

void PrintTo(const ServiceRow &row, std::ostream *os) { *os << row.name; }

// The operator opens reads; a service run by another user is refused before
// any request unless qz.conf names that user as the service's account.
struct TrustedService : ::testing::TestWithParam<ServiceRow> {};

TEST_P(TrustedService, Runs) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as other users";
  const ServiceRow &row = GetParam();
  SiteOptions options;
  options.inventory = demoInventory();
  options.qzsldArgs = row.qzsldArgs;
  options.serviceUser = row.serviceUser;
  options.confExtra = row.confExtra + LEAVE_TO_SERVICE;
  Site site = startSite(options);
  RunResult r = runAs(row.toolUser, site, row.args);
  if (row.err.empty()) {
    RunResult root = runAs("", site, row.args);
    EXPECT_EQ(root.status, STATUS_OK);
    expectRun(r, root.out, "", STATUS_OK);
  } else {
    std::string err = row.err;
    err.replace(err.find("<port>"), 6, std::to_string(site.port));
    expectRun(r, "", err + "\n", STATUS_INTERNAL);
    EXPECT_EQ(journal(site), Lines{});
    EXPECT_NE(site.debugLog().find(" " + logged(LOG_ERROR, "qzftconfig: ") + err + "\n"), std::string::npos)
        << site.debugLog();
  }
  stopSite(site);
}

const std::string IMPOSTOR = "qzftconfig: the service on 127.0.0.1:<port> is run by nobody (uid 65534), not by "
                             "root or ";

INSTANTIATE_TEST_SUITE_P(
    Rows, TrustedService,
    ::testing::Values(
        served("OpenReadsByOption", {"-ls"}, "daemon", "", {"--open-reads"}),
        served("OpenReadsByConf", {"-lc", "-verbose"}, "daemon", "QZSL_OPEN_READS = YES\n"),
        ServiceRow{"ImpostorRefused", {"-ls"}, "nobody", "", IMPOSTOR + "qzsl; refusing to use it"},
        ServiceRow{"ImpostorRefusedChange", {"-deleteserver", "ftmedia01"}, "nobody", "QZSL_ACCOUNT = daemon\n",
                   IMPOSTOR + "daemon; refusing to use it"},
        ServiceRow{"NamedAccountTrusted", {"-ls"}, "nobody", "QZSL_ACCOUNT = nobody\n"}),
    rowName<ServiceRow>);

}  // namespace
