// The service session seen from outside: where and for how long a run waits,
// and how each failure on the way ends the run.

#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/harness.h"

namespace {

const char *const ONE_SERVER = R"({"servers": [{"hostName": "media1", "masterServerName": "master1",
  "state": 1, "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}}]})";
const char *const LISTED = "m media1  active 4\n\n";

// A site of one FT server.
SiteOptions oneServer(const std::string &faults = "",
                      const std::string &confExtra = "CONNECT_TIMEOUT = 5\nREQUEST_TIMEOUT = 5\n") {
  SiteOptions options;
  options.inventory = ONE_SERVER;
  options.faults = faults;
  options.confExtra = confExtra;
  return options;
}

std::string fault(const std::string &op, const std::string &rest) {
  return faultRules({R"({"op": ")" + op + R"(", )" + rest + "}"});
}

struct SessionTest : ::testing::Test {
  Site site;
  void TearDown() override { stopSite(site); }
};

// With no QZSL_PORT in qz.conf the tool looks for QZSL on 7390. The test
// process, and the service and tool it starts, get a network of their own,
// where 7390 is always free.
TEST_F(SessionTest, DefaultPort) {
  ASSERT_EQ(unshare(CLONE_NEWNET), 0) << "a private network needs root";
  ASSERT_EQ(system("ip link set lo up"), 0);
  SiteOptions options = oneServer();
  options.confExtra = "";
  options.defaultPort = true;
  site = startSite(options);
  expectRun(runTool(site, {"-listservers"}), LISTED, "", STATUS_OK);
}

struct Case {
  const char *name;
  const char *logText;
  SiteOptions options = oneServer();
  std::string err = GENERIC_FAILURE;
  int status = STATUS_INTERNAL;
  Lines args = {"-listservers"};
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

// A row whose site has the fault rule `op` + `rest`.
Case faulted(const char *name, const std::string &op, const std::string &rest, const char *logText,
             const std::string &err = GENERIC_FAILURE, Lines args = {"-listservers"}) {
  return {name, logText, oneServer(fault(op, rest)), err, STATUS_INTERNAL, args};
}
SiteOptions withQzsld(SiteOptions options, const Lines &qzsldArgs, bool listening = true) {
  options.qzsldArgs = qzsldArgs;
  options.startService = listening;
  return options;
}

class GenericFailure : public SessionTest, public ::testing::WithParamInterface<Case> {};

// Bounded by the connect time-out: a run that hung would be killed (137).
TEST_P(GenericFailure, EndsWithItsStatusAndLogsItsOwnText) {
  const Case &c = GetParam();
  site = startSite(c.options);
  expectRun(runTool(site, c.args, {{}, "", 60}), "", c.err, c.status);
  EXPECT_NE(site.debugLog().find(std::string(c.logText) + ":"), std::string::npos) << site.debugLog();
}

const char *const COMM_FAILURE = "CORBA Exception caught as IDL:omg.org/CORBA/COMM_FAILURE";

INSTANTIATE_TEST_SUITE_P(
    Session, GenericFailure,
    ::testing::Values(
        Case{"NotListening", "Failed to get QZSL object", withQzsld(oneServer(), {}, false)},
        Case{"NoFactory", "NIL object returned by HSFactory", withQzsld(oneServer(), {"--factory", "missing"})},
        Case{"WrongTypeFactory", "Couldn't narrow to HSFactory", withQzsld(oneServer(), {"--factory", "wrongtype"})},
        // The narrow asks the service whether the object is a factory.
        faulted("TypeCheckFails", "_is_a", R"("action": "system", "exception": "COMM_FAILURE")", COMM_FAILURE,
                CORBA_FAILURE),
        faulted("ServiceDiesAtTypeCheck", "_is_a", R"("action": "die")", COMM_FAILURE, CORBA_FAILURE),
        faulted("NilServiceManager", "getFATServiceManager", R"("action": "nil")", "Got invalid FATService pointer"),
        faulted("WrongQueryFacet", "aqueryFacet", R"("action": "wrongtype")", "Got invalid QueryableFacet instance"),
        faulted("ModifyFacetFails", "amodifyFacet", R"("action": "system", "exception": "INTERNAL")",
                "Failed to get ModifyableFacet instance", GENERIC_FAILURE, {"-deleteserver", "media1"}),
        Case{"ServiceManagerRefused", "getFATService() failed",
             oneServer(faultRules({refusalRule("getFATServiceManager", CODE_NOT_LICENSED, "FT service is not licensed",
                                               "", "see the license")})),
             refusalText("getFATService() failed", "FT service is not licensed", CODE_NOT_LICENSED, "see the license"),
             CODE_NOT_LICENSED}),
    rowName<Case>);

// The request time-out bounds the connection, against a port that accepts
// and never answers; the connect time-out bounds every later call. Crossed,
// either run would wait a million seconds. The clock runs a hundred times
// faster: 300 s take 3.
TEST_F(SessionTest, RequestTimeoutBoundsTheConnectionConnectTimeoutEveryLaterCall) {
  site = startSite(withQzsld(oneServer("", "CONNECT_TIMEOUT = 1000000\nREQUEST_TIMEOUT = 300\n"), {}, false));
  int silent = loopbackSocket(site.port);
  ASSERT_GE(silent, 0);
  ASSERT_EQ(listen(silent, 8), 0);
  RunResult r = runTool(site, {"-listservers"}, {fastClock(), "", 60});
  close(silent);
  expectRun(r, "", GENERIC_FAILURE, STATUS_INTERNAL);
  EXPECT_NE(site.debugLog().find("TIMEOUT:1.0"), std::string::npos) << site.debugLog();
  EXPECT_NE(site.debugLog().find("Failed to get QZSL object:"), std::string::npos) << site.debugLog();

  stopSite(site);
  site = startSite(oneServer(fault("getFATServerList", R"("action": "hang")"),
                             "CONNECT_TIMEOUT = 300\nREQUEST_TIMEOUT = 1000000\n"));
  r = runTool(site, {"-listservers"}, {fastClock(), "", 60});
  expectRun(r, "", CORBA_FAILURE, STATUS_INTERNAL);
  EXPECT_NE(site.debugLog().find("CORBA Exception caught as IDL:omg.org/CORBA/TIMEOUT:1.0"), std::string::npos);
  // A destroy of the session would have waited as long again.
  EXPECT_EQ(journal(site).back(), "getFATServerList \"\"");
}

// A run killed while its destroy hangs has written its listing already; a
// reader that went away ends the run before the session is closed.
TEST_F(SessionTest, OutputIsFlushedBeforeTheSessionIsClosed) {
  site = startSite(oneServer(fault("destroy", R"("action": "hang")")));
  expectRun(runTool(site, {"-listservers"}, {{}, "", 1}), LISTED, "", 128 + SIGKILL);
  expectRun(runTool(site, {"-listservers"}, into(GONE_READER)), "", "", 128 + SIGPIPE);
  EXPECT_EQ(journal(site).back(), "getFATServerList \"\"");
}

// 4294968 s is more milliseconds than 32 bits hold; cut to 32 bits it would
// be a time-out of 0.7 s and the delayed call would fail.
TEST_F(SessionTest, TimeoutsBeyondTheOrbsRangeDoNotWrap) {
  site = startSite(oneServer(fault("getFATServerList", R"("action": "delay", "ms": 1500)"),
                             "CONNECT_TIMEOUT = 4294968\nREQUEST_TIMEOUT = 4294968\n"));
  expectRun(runTool(site, {"-listservers"}, {{}, "", 60}), LISTED, "", STATUS_OK);
}

}  // namespace
