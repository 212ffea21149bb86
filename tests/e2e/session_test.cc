// The service session seen from outside: how a run connects, which facets it
// fetches, and how each failure on the way ends the run.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"

namespace {

const char *const GENERIC_FAILURE = "Encountered with an error, check the log for details\n\n";

const char *const ONE_SERVER = R"({"servers": [{"hostName": "media1", "masterServerName": "master1",
  "state": 1, "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}}]})";

struct SessionTest : ::testing::Test {
  Site site;
  void start(const std::string &faults = "", std::vector<std::string> qzsldArgs = {},
             const std::string &confExtra = "") {
    SiteOptions options;
    options.inventory = ONE_SERVER;
    options.faults = faults;
    options.qzsldArgs = qzsldArgs;
    options.confExtra = confExtra;
    site = startSite(options);
  }
  void TearDown() override { stopSite(site); }
  std::vector<std::string> calls() { return journal(site); }
  int count(const std::string &operation) {
    auto lines = calls();
    return std::count_if(lines.begin(), lines.end(), [&](const std::string &line) {
      return line == operation || line.rfind(operation + " ", 0) == 0;
    });
  }
};

std::string fault(const std::string &op, const std::string &rest) {
  return R"({"rules": [{"op": ")" + op + R"(", )" + rest + "}]}";
}

TEST_F(SessionTest, OneRunConnectsOnceAndFetchesAFacetPerRequest) {
  start();
  // The server change asks for the modifiable, the control and the query facet.
  RunResult r = runTool(site, {"-changeserver", "-Me", "media1", "-l", "6", "-state", "active"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "FT server settings changed successfully\n\n");
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> lines = calls();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("getHostSession ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[0].substr(lines[0].size() - 4), " \"C\"");
  EXPECT_EQ(lines[1], "getFATServiceManager");
  EXPECT_EQ(count("getHostSession"), 1);
  EXPECT_EQ(count("getFATServiceManager"), 1);
  EXPECT_EQ(count("amodifyFacet"), 1);
  EXPECT_EQ(count("acontrolFacet"), 1);
  EXPECT_EQ(count("aqueryFacet"), 1);
  EXPECT_EQ(lines.back(), "destroy");
}

TEST_F(SessionTest, EveryQueryRequestFetchesTheFacetAnew) {
  start();
  RunResult r = runTool(site, {"-listactive"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count("getHostSession"), 1);
  EXPECT_EQ(count("aqueryFacet"), 1);
  EXPECT_EQ(calls().back(), "destroy");
}

TEST(SessionFailure, ServiceNotListening) {
  SiteOptions options;
  options.startService = false;
  options.confExtra = "CONNECT_TIMEOUT = 5\nREQUEST_TIMEOUT = 5\n";
  Site site = startSite(options);
  RunResult r = runTool(site, {"-listservers"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, GENERIC_FAILURE);
  EXPECT_EQ(r.status, 130);
  std::string log = debugLog(site);
  EXPECT_NE(log.find("CORBA Exception caught as IDL:omg.org/CORBA/TRANSIENT:1.0"), std::string::npos)
      << log;
  EXPECT_NE(log.find("Failed to get QZSL object"), std::string::npos);
}

struct Case {
  const char *name;
  std::string faults;
  std::vector<std::string> qzsldArgs;
  const char *logText;
};

class GenericFailure : public SessionTest, public ::testing::WithParamInterface<Case> {};

TEST_P(GenericFailure, EndsWith130AndLogsItsOwnText) {
  const Case &c = GetParam();
  start(c.faults, c.qzsldArgs);
  RunResult r = runTool(site, {"-listservers"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, GENERIC_FAILURE);
  EXPECT_EQ(r.status, 130);
  std::string log = debugLog(site);
  EXPECT_NE(log.find(std::string(c.logText) + ":"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Session, GenericFailure,
    ::testing::Values(
        Case{"NoFactory", "", {"--factory", "missing"}, "NIL object returned by HSFactory"},
        Case{"WrongTypeFactory", "", {"--factory", "wrongtype"}, "Couldn't narrow to HSFactory"},
        Case{"HostSessionRefused",
             fault("getHostSession", R"("action": "raise", "errors": [{"errorCode": 3}])"),
             {},
             "getHostSession() failed"},
        Case{"NilHostSession", fault("getHostSession", R"("action": "nil")"), {},
             "Got invalid HostSession pointer"},
        Case{"NilServiceManager", fault("getFATServiceManager", R"("action": "nil")"), {},
             "Got invalid FATService pointer"},
        Case{"ServiceManagerCorbaFailure",
             fault("getFATServiceManager", R"("action": "system", "exception": "INTERNAL")"), {},
             "getFATService() failed"},
        Case{"NilQueryFacet", fault("aqueryFacet", R"("action": "nil")"), {},
             "Got invalid QueryableFacet pointer"},
        Case{"WrongQueryFacet", fault("aqueryFacet", R"("action": "wrongtype")"), {},
             "Got invalid QueryableFacet instance"}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

TEST_F(SessionTest, ServiceManagerRefusalEndsWithItsCode) {
  start(fault("getFATServiceManager",
              R"("action": "raise", "errors": [{"errorCode": 42, "localizedMsg": "FT service is not licensed", "additionalMsg": "see the license"}])"));
  RunResult r = runTool(site, {"-listservers"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "getFATService() failed\n\nEXIT error: FT service is not licensed\nEXIT status = 42\n"
            "see the license\n");
  EXPECT_EQ(r.status, 42);
  EXPECT_EQ(calls().back(), "destroy");
}

TEST_F(SessionTest, CorbaFailureOnAFacetDropsTheSession) {
  start(fault("amodifyFacet", R"("action": "system", "exception": "INTERNAL")"));
  RunResult r = runTool(site, {"-deleteserver", "media1"});
  EXPECT_EQ(r.err, GENERIC_FAILURE);
  EXPECT_EQ(r.status, 130);
  EXPECT_NE(debugLog(site).find("Failed to get ModifyableFacet instance:"), std::string::npos);
  EXPECT_EQ(count("destroy"), 0);
}

TEST_F(SessionTest, RefusedFacetKeepsTheSessionForDestroy) {
  start(fault("acontrolFacet",
              R"("action": "raise", "errors": [{"errorCode": 77, "localizedMsg": "control refused"}])"));
  RunResult r = runTool(site, {"-rescanclient", "client1"});
  EXPECT_EQ(r.err,
            "Failed to get ControlFacet instance\n\nEXIT error: control refused\nEXIT status = 77\n");
  EXPECT_EQ(r.status, 77);
  EXPECT_EQ(calls().back(), "destroy");
}

// The configured connect time-out bounds every call of the run and the request
// time-out only the connection: with the crossing wrong this would wait 300 s.
TEST_F(SessionTest, ConnectTimeoutBoundsEveryLaterCall) {
  start(fault("getFATServerList", R"("action": "hang")"), {},
        "CONNECT_TIMEOUT = 2\nREQUEST_TIMEOUT = 300\n");
  RunResult r = runTool(site, {"-listservers"}, {}, (uid_t)-1, 60);
  EXPECT_EQ(r.err, "Got Corba Exception, see log for details\n\n");
  EXPECT_EQ(r.status, 130);
  EXPECT_NE(debugLog(site).find("CORBA Exception caught as IDL:omg.org/CORBA/TIMEOUT:1.0"),
            std::string::npos);
}

}  // namespace
