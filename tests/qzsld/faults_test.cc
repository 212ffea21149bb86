// Fault rules and the journal: what a test site can make the service do, and
// what it records of each call.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "qzsld_harness.h"

namespace {

const char *const SITE = R"({"servers": [{"hostName": "media1", "masterServerName": "master1", "state": 1},
                                         {"hostName": "media2", "masterServerName": "master1"}],
                             "clients": [{"fatClientInfo": {"hostName": "c1", "masterServerName": "master1"}}]})";

std::string rules(const std::string &list) { return "{\"rules\": [" + list + "]}"; }

double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Faults : ::testing::Test {
  Qzsld service;
  void start(const std::string &ruleList) { service = startQzsld(SITE, rules(ruleList)); }
  void TearDown() override {
    if (service.pid > 0)
      EXPECT_EQ(stopQzsld(service), 0);
  }
};

TEST_F(Faults, RaiseCarriesEveryErrorRecordWithItsWideTexts) {
  start(R"({"op": "getSANClientList", "action": "raise", "domain": 9, "when": 1700000000, "hostName": "h",
            "errors": [{"errorCode": 5, "recIndex": 0, "localizedMsg": "Dienst nicht verfügbar ✓",
                        "additionalMsg": "日本語 𝄞"},
                       {"errorCode": 77, "recIndex": 1, "localizedMsg": "second"}]})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  try {
    FT::SANClientInfoSeq_var list = query->getSANClientList("", "");
    FAIL() << "no exception";
  } catch (const SL::QZSLOpException &e) {
    EXPECT_EQ(e.domain, 9);
    EXPECT_EQ(e.when, 1700000000);
    EXPECT_STREQ(e.hostName, "h");
    ASSERT_EQ(e.errRecSeq.length(), 2u);
    EXPECT_EQ(e.errRecSeq[0].errorCode, 5);
    EXPECT_EQ(utf8(e.errRecSeq[0].localizedMsg), "Dienst nicht verfügbar ✓");
    EXPECT_EQ(utf8(e.errRecSeq[0].additionalMsg), "日本語 𝄞");
    // Wide texts travel as UTF-16: beyond the basic plane as a surrogate pair.
    EXPECT_EQ(e.errRecSeq[0].additionalMsg[4], (CORBA::WChar)0xD834);
    EXPECT_EQ(e.errRecSeq[0].additionalMsg[5], (CORBA::WChar)0xDD1E);
    EXPECT_EQ(e.errRecSeq[1].errorCode, 77);
    EXPECT_EQ(e.errRecSeq[1].recIndex, 1);
    EXPECT_EQ(utf8(e.errRecSeq[1].localizedMsg), "second");
    ASSERT_NE(e.errRecSeq[1].additionalMsg.in(), nullptr);
    EXPECT_EQ(utf8(e.errRecSeq[1].additionalMsg), "");
  }
}

TEST_F(Faults, RaiseOnTheFactoryIsActionFailed) {
  start(R"({"op": "getHostSession", "action": "raise", "errors": [{"errorCode": 3, "localizedMsg": "no session"}]})");
  BT::HostSessionFactory_var factory = factoryOf(service);
  try {
    BT::HostSession_var session = factory->getHostSession("h", "C");
    FAIL() << "no exception";
  } catch (const BT::ActionFailedException &e) {
    ASSERT_EQ(e.eventSeq.length(), 1u);
    EXPECT_EQ(e.eventSeq[0].code, 3);
    EXPECT_STREQ(e.eventSeq[0].text, "no session");
  }
}

TEST_F(Faults, RaiseWhereNoServiceExceptionIsDeclaredIsUnknown) {
  start(R"({"op": "destroy", "action": "raise", "errors": [{"errorCode": 3}]})");
  BT::HostSession_var session = sessionOf(service);
  EXPECT_EQ(refusal([&] { session->destroy(); }), "UNKNOWN");
}

TEST_F(Faults, NilGivesNullRecordsAndNilObjects) {
  start(R"({"op": "getFATServerInfo", "action": "nil"}, {"op": "getFATServiceManager", "call": 2, "action": "nil"},
           {"op": "acontrolFacet", "action": "nil"})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  SV::FATServerInfo_var server = query->getFATServerInfo("media1");
  EXPECT_EQ(server.in(), nullptr);
  BT::HostSession_var session = sessionOf(service);
  FT::FATServiceManager_var manager = session->getFATServiceManager();
  EXPECT_TRUE(CORBA::is_nil(manager));
  manager = session->getFATServiceManager();
  SL::ControlFacet_var control = manager->acontrolFacet();
  EXPECT_TRUE(CORBA::is_nil(control));
}

TEST_F(Faults, ReplyAnswersWithOddRecords) {
  start(R"({"op": "getSANClientList", "action": "reply", "result": [null, {"fatClientInfo": null, "afatUsageInfo": null},
             {"fatClientInfo": {"hostName": "odd", "hostDevices": [null, {"device": null}]}}]},
           {"op": "getMediaServersCountOfClient", "action": "reply", "result": 77},
           {"op": "isServiceConfigured", "action": "reply", "result": false},
           {"op": "getUsageInfo", "action": "reply", "result": {"usagePref": "Whenever", "waitPeriod": null}})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  FT::SANClientInfoSeq_var clients = query->getSANClientList("", "");
  ASSERT_EQ(clients->length(), 3u);
  EXPECT_EQ(clients[0].in(), nullptr);
  EXPECT_EQ(clients[1]->fatClientInfo(), nullptr);
  EXPECT_EQ(clients[1]->afatUsageInfo(), nullptr);
  EXPECT_STREQ(clients[2]->fatClientInfo()->hostName(), "odd");
  EXPECT_EQ(clients[2]->fatClientInfo()->hostDevices()[0].in(), nullptr);
  EXPECT_EQ(clients[2]->fatClientInfo()->hostDevices()[1]->device(), nullptr);
  EXPECT_EQ(query->getMediaServersCountOfClient("nosuch"), 77);
  FT::FATServiceManager_var manager = managerOf(service);
  EXPECT_FALSE(manager->isServiceConfigured());
  FT::FATUsageInfo_var usage = query->getUsageInfo("x", FT::QZSL_QZU_MASTER);
  EXPECT_STREQ(usage->usagePref(), "Whenever");
  EXPECT_EQ(usage->waitPeriod(), nullptr);
}

TEST_F(Faults, DelayAnswersNormallyButLater) {
  start(R"({"op": "getFATServerList", "action": "delay", "ms": 300})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  double begin = seconds();
  SV::FATServerInfoSeq_var servers = query->getFATServerList("");
  EXPECT_GE(seconds() - begin, 0.3);
  EXPECT_EQ(servers->length(), 2u);
}

TEST_F(Faults, HangNeverAnswersButOtherCallsGoOn) {
  start(R"({"op": "getFATServerList", "action": "hang"})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  omniORB::setClientCallTimeout(query, 500);
  EXPECT_EQ(refusal([&] { SV::FATServerInfoSeq_var s = query->getFATServerList(""); }), "TIMEOUT");
  FT::FATServiceQueryFacet_var other = queryOf(service);
  omniORB::setClientCallTimeout(other, 30000);
  std::string ending;
  std::thread hung([&] { ending = refusal([&] { SV::FATServerInfoSeq_var s = other->getFATServerList(""); }); });
  SV::FATServerInfo_var server = query->getFATServerInfo("media1");
  EXPECT_STREQ(server->hostName(), "media1");
  for (;;) {
    std::vector<std::string> lines = journalLines(service);
    if (std::count(lines.begin(), lines.end(), "getFATServerList \"\"") == 2)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Stopping does not wait for the hanging calls.
  double begin = seconds();
  EXPECT_EQ(stopQzsld(service), 0);
  hung.join();
  // The reply or the closing connection, whichever the caller sees first.
  EXPECT_TRUE(ending == "TRANSIENT" || ending == "COMM_FAILURE") << ending;
  std::printf("stop with two hanging calls: %.3f s\n", seconds() - begin);
}

TEST_F(Faults, SystemExceptionsByName) {
  start(R"({"op": "getFATServerInfo", "arg": "a", "action": "system", "exception": "TRANSIENT"},
           {"op": "getFATServerInfo", "arg": "b", "action": "system", "exception": "COMM_FAILURE"},
           {"op": "getFATServerInfo", "arg": "c", "action": "system", "exception": "INTERNAL"},
           {"op": "getFATServerInfo", "arg": "d", "action": "system", "exception": "NO_RESOURCES"},
           {"op": "getFATServerInfo", "arg": "e", "action": "system", "exception": "BAD_PARAM"})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  omniORB::setClientCallTimeout(query, 5000);
  std::string names;
  for (const char *arg : {"a", "b", "c", "d", "e"})
    names += refusal([&] { SV::FATServerInfo_var s = query->getFATServerInfo(arg); }) + " ";
  EXPECT_EQ(names, "TRANSIENT COMM_FAILURE INTERNAL NO_RESOURCES BAD_PARAM ");
}

TEST_F(Faults, WrongTypeFacetsDoNotNarrow) {
  start(R"({"op": "aqueryFacet", "action": "wrongtype"}, {"op": "amodifyFacet", "action": "wrongtype"},
           {"op": "acontrolFacet", "action": "wrongtype"})");
  FT::FATServiceManager_var manager = managerOf(service);
  SL::QueryableFacet_var query = manager->aqueryFacet();
  ASSERT_FALSE(CORBA::is_nil(query));
  EXPECT_TRUE(CORBA::is_nil(FT::FATServiceQueryFacet::_narrow(query)));
  SL::ModifiableFacet_var modify = manager->amodifyFacet();
  EXPECT_TRUE(CORBA::is_nil(FT::FATServiceModifiableFacet::_narrow(modify)));
  SL::ControlFacet_var control = manager->acontrolFacet();
  EXPECT_TRUE(CORBA::is_nil(FT::FATServiceControlFacet::_narrow(control)));
}

TEST_F(Faults, ArgAndCallSelectTheCallsAndTheFirstRuleWins) {
  start(R"({"op": "getFATServerInfo", "arg": "media2", "action": "nil"},
           {"op": "getFATServerInfo", "call": 3, "action": "raise", "errors": [{"errorCode": 8}]},
           {"op": "getFATServerInfo", "action": "raise", "errors": [{"errorCode": 9}]},
           {"op": "deleteServer", "call": 2, "action": "raise", "errors": [{"errorCode": 10}]})");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  EXPECT_EQ(refusal([&] { SV::FATServerInfo_var s = query->getFATServerInfo("media1"); }), "9:");
  SV::FATServerInfo_var nil = query->getFATServerInfo("media2");
  EXPECT_EQ(nil.in(), nullptr);
  // The third call of the operation, whatever its argument.
  EXPECT_EQ(refusal([&] { SV::FATServerInfo_var s = query->getFATServerInfo("media1"); }), "8:");
  EXPECT_EQ(refusal([&] { SV::FATServerInfo_var s = query->getFATServerInfo("media1"); }), "9:");
  FT::FATServiceModifiableFacet_var modify = modifyOf(service);
  EXPECT_EQ(refusal([&] { modify->deleteServer("nosuch"); }), "221:FT server nosuch is not known to the FT service");
  EXPECT_EQ(refusal([&] { modify->deleteServer("media1"); }), "10:");
  // The refused call changed nothing.
  modify->deleteServer("media1");
}

TEST_F(Faults, JournalRecordsEveryArgumentKind) {
  start("");
  FT::FATServiceQueryFacet_var query = queryOf(service);
  FT::FATServiceModifiableFacet_var modify = modifyOf(service);
  FT::FATServiceControlFacet_var control = controlOf(service);
  clearJournal(service);
  FT::FTConfigInfoSeq keys;
  keys.length(2);
  keys[0] = new OBV_FT::FTConfigInfo("FT_MAX_CLIENT_PORTS_PER_SERVER", "", false);
  FT::FTConfigInfoSeq_var found = query->getFTConfigInfoSeq("c1", "master1", FT::QZSL_QZU_CLIENT, keys);
  control->changeServerState("media1", false);
  refusal([&] { modify->setServerPipeLimit("media9", 6); });
  FT::FATUsageInfo_var usage =
      new OBV_FT::FATUsageInfo("Preferred", new OBV_FT::FATWaitPeriod(10, 20), true);
  refusal([&] { modify->setUsageInfo("c1", FT::QZSL_QZU_CLIENT, usage); });
  SV::FATServerInfo_var server = new OBV_SV::FATServerInfo;
  FW::ExpansionAttributeSeq expansion;
  expansion.length(1);
  expansion[0] = new OBV_FW::ExpansionAttribute("x");
  server->expansion(expansion);
  server->hostName("q\"uote");
  server->numberOfConnections(0);
  server->operatingSystem(0);
  server->state(0);
  refusal([&] { SV::FATPseudoDeviceInfoSeq_var devices = query->getServerDeviceList(server); });
  BT::HostSession_var session = sessionOf(service);
  session->destroy();
  std::vector<std::string> expected = {
      "getFTConfigInfoSeq \"c1\" \"master1\" QZSL_QZU_CLIENT "
      "[{\"confName\":\"FT_MAX_CLIENT_PORTS_PER_SERVER\",\"confValue\":\"\",\"isClient\":false},null]",
      "changeServerState \"media1\" false",
      "setServerPipeLimit \"media9\" 6",
      "setUsageInfo \"c1\" QZSL_QZU_CLIENT {\"usagePref\":\"Preferred\",\"waitPeriod\":"
      "{\"backupWaitPeriod\":10,\"restoreWaitPeriod\":20},\"isClientUsageInfo\":true}",
      "getServerDeviceList {\"expansion\":[{\"name\":\"x\"}],\"addresses\":[],\"devices\":[],"
      "\"numberOfConnections\":0,\"masterServerName\":\"\",\"operatingSystem\":0,\"config\":null,"
      "\"hostName\":\"q\\\"uote\",\"serviceName\":\"\",\"pipes\":[],\"state\":0,\"serviceVersion\":\"\"}",
      "getHostSession \"testhost\" \"C\"",
      "destroy"};
  EXPECT_EQ(journalLines(service), expected);
}

TEST_F(Faults, JournalLinesOfConcurrentCallsStayWhole) {
  start("");
  std::vector<std::thread> threads;
  for (int t = 0; t < 5; ++t)
    threads.emplace_back([&, t] {
      FT::FATServiceQueryFacet_var query = queryOf(service);
      std::string name = "client-" + std::string(200, 'a' + t);
      for (int i = 0; i < 40; ++i)
        SV::FATServerInfo_var s = query->getFATServerInfo(name.c_str());
    });
  for (std::thread &thread : threads)
    thread.join();
  std::regex whole("getFATServerInfo \"client-(a{200}|b{200}|c{200}|d{200}|e{200})\"");
  int calls = 0;
  for (const std::string &line : journalLines(service)) {
    if (line.rfind("getFATServerInfo", 0) != 0)
      continue;
    ++calls;
    EXPECT_TRUE(std::regex_match(line, whole)) << line;
  }
  EXPECT_EQ(calls, 200);
}

struct BadRules {
  const char *rules;
  const char *message;
};

class MalformedFaults : public ::testing::TestWithParam<BadRules> {};

TEST_P(MalformedFaults, StopTheStartWithTheRuleAndTheReason) {
  std::string dir = tempDir();
  writeText(dir + "/faults.json", GetParam().rules);
  Outcome run = runQzsld({"--port", "1", "--db", dir + "/db", "--faults", dir + "/faults.json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MalformedFaults,
    ::testing::Values(
        BadRules{R"({"rules": [{"op": "getFATServerLst", "action": "nil"}]})",
                 "rules[0]: unknown operation \"getFATServerLst\""},
        BadRules{R"({"rules": [{"op": "deleteServer", "action": "nil"}]})",
                 "rules[0]: \"nil\" needs an operation that returns a record or an object"},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "action": "wrongtype"}]})",
                 "rules[0]: \"wrongtype\" applies only to aqueryFacet, amodifyFacet and acontrolFacet"},
        BadRules{R"({"rules": [{"op": "getFATServerList", "action": "reply", "result": {"hostName": "x"}}]})",
                 "rules[0].result: expected an array"},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "action": "reply", "result": {"hostname": "x"}}]})",
                 "rules[0].result: unknown member \"hostname\""},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "action": "raise"}]})",
                 "rules[0]: \"raise\" needs a non-empty \"errors\" array"},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "action": "system", "exception": "TIMEOUT"}]})",
                 "rules[0]: unknown system exception \"TIMEOUT\""},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "action": "delay"}]})",
                 "rules[0]: \"delay\" needs \"ms\" of at least 0"},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "action": "explode"}]})",
                 "rules[0]: unknown action \"explode\""},
        BadRules{R"({"rules": [{"op": "getFATServerInfo", "call": 0, "action": "nil"}]})",
                 "rules[0]: \"call\" counts from 1"},
        BadRules{R"({"rule": []})", "expected {\"rules\": [...]}"}));

}  // namespace
