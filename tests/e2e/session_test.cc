// The service session seen from outside: where and for how long a run waits,
// and how each failure on the way ends the run.

#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "harness.h"

namespace {

const char *const ONE_SERVER = R"({"servers": [{"hostName": "media1", "masterServerName": "master1",
  "state": 1, "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}}]})";

struct SessionTest : ::testing::Test {
  Site site;
  void start(const std::string &faults = "", std::vector<std::string> qzsldArgs = {}, bool listening = true,
             const std::string &confExtra = "CONNECT_TIMEOUT = 5\nREQUEST_TIMEOUT = 5\n", bool defaultPort = false) {
    SiteOptions options;
    options.inventory = ONE_SERVER;
    options.faults = faults;
    options.qzsldArgs = qzsldArgs;
    options.startService = listening;
    options.confExtra = confExtra;
    options.defaultPort = defaultPort;
    site = startSite(options);
  }
  void TearDown() override { stopSite(site); }
};

std::string fault(const std::string &op, const std::string &rest) {
  return faultRules({R"({"op": ")" + op + R"(", )" + rest + "}"});
}

// With no QZSL_PORT in qz.conf the tool looks for QZSL on 7390. The test
// process, and the service and tool it starts, get a network of their own,
// where 7390 is always free.
TEST_F(SessionTest, DefaultPort) {
  ASSERT_EQ(unshare(CLONE_NEWNET), 0) << "a private network needs root";
  ASSERT_EQ(system("ip link set lo up"), 0);
  start("", {}, true, "", true);
  expectRun(runTool(site, {"-listservers"}), "m media1  active 4\n\n", "", 0);
}

struct Case {
  const char *name;
  std::string faults;
  std::vector<std::string> qzsldArgs;
  const char *logText;
  bool listening;
  std::string err = GENERIC_FAILURE;
  int status = 130;
  std::vector<std::string> args = {"-listservers"};
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class GenericFailure : public SessionTest, public ::testing::WithParamInterface<Case> {};

// Bounded by the connect time-out: a run that hung would be killed (137).
TEST_P(GenericFailure, EndsWithItsStatusAndLogsItsOwnText) {
  const Case &c = GetParam();
  start(c.faults, c.qzsldArgs, c.listening);
  RunResult r = runTool(site, c.args, {}, 60);
  expectRun(r, "", c.err, c.status);
  std::string log = debugLog(site);
  EXPECT_NE(log.find(std::string(c.logText) + ":"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Session, GenericFailure,
    ::testing::Values(
        Case{"NotListening", "", {}, "Failed to get QZSL object", false},
        Case{"NoFactory", "", {"--factory", "missing"}, "NIL object returned by HSFactory", true},
        Case{"WrongTypeFactory", "", {"--factory", "wrongtype"}, "Couldn't narrow to HSFactory", true},
        // The narrow asks the service whether the object is a factory.
        Case{"TypeCheckFails", fault("_is_a", R"("action": "system", "exception": "COMM_FAILURE")"), {},
             "CORBA Exception caught as IDL:omg.org/CORBA/COMM_FAILURE", true, CORBA_FAILURE},
        Case{"ServiceDiesAtTypeCheck", fault("_is_a", R"("action": "die")"), {},
             "CORBA Exception caught as IDL:omg.org/CORBA/COMM_FAILURE", true, CORBA_FAILURE},
        Case{"NilServiceManager", fault("getFATServiceManager", R"("action": "nil")"), {},
             "Got invalid FATService pointer", true},
        Case{"WrongQueryFacet", fault("aqueryFacet", R"("action": "wrongtype")"), {},
             "Got invalid QueryableFacet instance", true},
        Case{"ModifyFacetFails", fault("amodifyFacet", R"("action": "system", "exception": "INTERNAL")"), {},
             "Failed to get ModifyableFacet instance", true, GENERIC_FAILURE, 130, {"-deleteserver", "media1"}},
        Case{"ServiceManagerRefused", fault("getFATServiceManager", R"("action": "raise", "errors": [{"errorCode": 42,
                 "localizedMsg": "FT service is not licensed", "additionalMsg": "see the license"}])"), {},
             "getFATService() failed", true, "getFATService() failed\n\nEXIT error: FT service is not licensed\n"
             "EXIT status = 42\nsee the license\n", 42}),
    rowName<Case>);

// The request time-out bounds the connection, against a port that accepts
// and never answers; the connect time-out bounds every later call. Crossed,
// either run would wait a million seconds. The clock runs a hundred times
// faster: 300 s take 3.
TEST_F(SessionTest, RequestTimeoutBoundsTheConnectionConnectTimeoutEveryLaterCall) {
  start("", {}, false, "CONNECT_TIMEOUT = 1000000\nREQUEST_TIMEOUT = 300\n");
  int silent = loopbackSocket(site.port);
  ASSERT_GE(silent, 0);
  ASSERT_EQ(listen(silent, 8), 0);
  RunResult r = runTool(site, {"-listservers"}, fastClock(), 60);
  close(silent);
  expectRun(r, "", GENERIC_FAILURE, 130);
  EXPECT_NE(debugLog(site).find("TIMEOUT:1.0"), std::string::npos) << debugLog(site);
  EXPECT_NE(debugLog(site).find("Failed to get QZSL object:"), std::string::npos) << debugLog(site);

  stopSite(site);
  start(fault("getFATServerList", R"("action": "hang")"), {}, true, "CONNECT_TIMEOUT = 300\nREQUEST_TIMEOUT = 1000000\n");
  r = runTool(site, {"-listservers"}, fastClock(), 60);
  expectRun(r, "", CORBA_FAILURE, 130);
  EXPECT_NE(debugLog(site).find("CORBA Exception caught as IDL:omg.org/CORBA/TIMEOUT:1.0"), std::string::npos);
  // A destroy of the session would have waited as long again.
  EXPECT_EQ(journal(site).back(), "getFATServerList \"\"");
}

// A run killed while its destroy hangs has written its listing already; a
// reader that went away ends the run before the session is closed.
TEST_F(SessionTest, OutputIsFlushedBeforeTheSessionIsClosed) {
  start(fault("destroy", R"("action": "hang")"));
  expectRun(runTool(site, {"-listservers"}, {}, 1), "m media1  active 4\n\n", "", 128 + SIGKILL);
  expectRun(runToolInto(site, {"-listservers"}, GONE_READER), "", "", 128 + SIGPIPE);
  EXPECT_EQ(journal(site).back(), "getFATServerList \"\"");
}

// 4294968 s is more milliseconds than 32 bits hold; cut to 32 bits it would
// be a time-out of 0.7 s and the delayed call would fail.
TEST_F(SessionTest, TimeoutsBeyondTheOrbsRangeDoNotWrap) {
  start(fault("getFATServerList", R"("action": "delay", "ms": 1500)"), {}, true,
        "CONNECT_TIMEOUT = 4294968\nREQUEST_TIMEOUT = 4294968\n");
  expectRun(runTool(site, {"-listservers"}, {}, 60), "m media1  active 4\n\n", "", 0);
}

}  // namespace
