// "-setconfig" and "-getconfig": what is sent, what is stored, what is shown.
#include "changes_site.h"

namespace {

using Lines = std::vector<std::string>;

const char *const SET_OK = "Defaults configured successfully\n\n";
const char *const KEYS =
    R"([{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"","isClient":false},)"
    R"({"confName":"FT_MAX_CLIENTS_PER_PORT","confValue":"","isClient":false}])";

struct DefaultsTest : ChangesTest {};

TEST_F(DefaultsTest, PortSettingsGoInTwoCallsAsTypedAndStay) {
  start();
  RunResult r = run({"-setconfig", "-np", "04", "-ncp", "3"});
  EXPECT_EQ(r.out, SET_OK);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(),
            (Lines{R"(updateFTConfigInfoSeq "master1" QZSL_QZU_MASTER [{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"04","isClient":false}])",
                   R"(updateFTConfigInfoSeq "master1" QZSL_QZU_MASTER [{"confName":"FT_MAX_CLIENTS_PER_PORT","confValue":"3","isClient":false}])"}));
  EXPECT_TRUE(logged("4 Defaults configured successfully:master1"));

  clearJournal(site);
  r = run({"-getconfig"});
  EXPECT_EQ(r.out, "u master1 04 3 preferred 15 5\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(getUsageInfo "master1" QZSL_QZU_MASTER)",
                            std::string(R"(getFTConfigInfoSeq "master1" "master1" QZSL_QZU_MASTER )") + KEYS}));
  EXPECT_EQ(count("aqueryFacet"), 1);

  restartSite(site);
  r = run({"-getconfig", "-verbose"});
  EXPECT_EQ(r.out,
            "Master Server      : master1\n"
            "Client Ports/Server: 04\n"
            "Clients/Target port: 3\n"
            "FT Preference      : preferred\n"
            "Backup Wait Time   : 15\n"
            "Restore Wait Time  : 5\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(DefaultsTest, PreferredSendsBothWaitPeriods) {
  start();
  RunResult r = run({"-setconfig", "-ftpref", "preferred", "-ftwait", "30", "-ftrwait", "45"});
  EXPECT_EQ(r.out, SET_OK);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(setUsageInfo "master1" QZSL_QZU_MASTER {"usagePref":"Preferred","waitPeriod":{"backupWaitPeriod":30,"restoreWaitPeriod":45},"isClientUsageInfo":false})"}));
  restartSite(site);
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 4 preferred 30 45\n");
}

// A master server without a preference of its own refuses the replacement;
// the preference is then added.
TEST_F(DefaultsTest, FailOnAnotherMasterFallsBackToAdd) {
  start();
  RunResult r = run({"-setconfig", "-M", "m2", "-ftpref", "fail"});
  EXPECT_EQ(r.out, SET_OK);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  const std::string usage =
      R"({"usagePref":"FailIfNoFT","waitPeriod":{"backupWaitPeriod":0,"restoreWaitPeriod":0},"isClientUsageInfo":false})";
  EXPECT_EQ(calls(), (Lines{R"(setUsageInfo "m2" QZSL_QZU_MASTER )" + usage,
                            R"(addUsageInfo "m2" QZSL_QZU_MASTER )" + usage}));
  EXPECT_EQ(run({"-getconfig", "-M", "m2"}).out, "u m2 2 2 fail 0 0\n");
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 4 preferred 15 5\n");
}

TEST_F(DefaultsTest, AlwaysAndNeverAreSentByTheirWireTexts) {
  start();
  EXPECT_EQ(run({"-setconfig", "-ftpref", "always"}).status, 0);
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 4 always 0 0\n");
  EXPECT_EQ(run({"-setconfig", "-ftpref", "never"}).status, 0);
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 4 never 0 0\n");
  Lines sent = calls();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_NE(sent[0].find(R"("usagePref":"Always")"), std::string::npos) << sent[0];
  EXPECT_NE(sent[3].find(R"("usagePref":"Never")"), std::string::npos) << sent[3];
}

TEST_F(DefaultsTest, RefusedPortSetting) {
  start(faultRules({refusal("updateFTConfigInfoSeq", 5, "settings are locked", "", "try later")}));
  RunResult r = run({"-setconfig", "-np", "4"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to configure defaults", "settings are locked", 5, "try later"));
  EXPECT_EQ(r.status, 5);
  EXPECT_TRUE(logged("16 Failed to configure defaults:master1"));
}

// With both port settings the first one stays when the second is refused.
TEST_F(DefaultsTest, SecondPortSettingRefused) {
  start(faultRules({R"({"op": "updateFTConfigInfoSeq", "call": 2, "action": "raise",
                        "errors": [{"errorCode": 9, "localizedMsg": "no"}]})"}));
  RunResult r = run({"-setconfig", "-np", "6", "-ncp", "5"});
  EXPECT_EQ(r.err, refusalText("Failed to configure defaults", "no", 9));
  EXPECT_EQ(r.status, 9);
  EXPECT_EQ(calls().size(), 2u);
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 6 4 preferred 15 5\n");
}

TEST_F(DefaultsTest, RefusedAddAfterRefusedSet) {
  start(faultRules({refusal("setUsageInfo", 227, "no preference"),
                    refusal("addUsageInfo", 228, "already there")}));
  RunResult r = run({"-setconfig", "-ftpref", "never"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to configure defaults", "already there", 228));
  EXPECT_EQ(r.status, 228);
  EXPECT_EQ(calls().size(), 2u);
}

TEST_F(DefaultsTest, TransportFailure) {
  start(faultRules({R"({"op": "setUsageInfo", "action": "system", "exception": "COMM_FAILURE"})"}));
  RunResult r = run({"-setconfig", "-ftpref", "always"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Got Corba Exception, see log for details\n\n");
  EXPECT_EQ(r.status, 130);
  // A transport failure is not a refusal: no fall-back to addUsageInfo.
  EXPECT_EQ(calls().size(), 1u);
  EXPECT_NE(debugLog(site).find("CORBA Exception caught as IDL:omg.org/CORBA/COMM_FAILURE:1.0"),
            std::string::npos);
}

TEST_F(DefaultsTest, GetconfigRefusals) {
  start(faultRules({refusal("getUsageInfo", 227, "no preference", "m2"),
                    refusal("getFTConfigInfoSeq", 31, "settings unreadable")}));
  RunResult r = run({"-getconfig", "-M", "m2"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to read default values", "no preference", 227));
  EXPECT_EQ(r.status, 227);
  EXPECT_TRUE(logged("16 Failed to read default values:m2"));

  r = run({"-getconfig"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to read FT config information", "settings unreadable", 31));
  EXPECT_EQ(r.status, 31);
}

// Without a usage record, or without its wait record, the master shows
// "never" and waits of 0.
TEST_F(DefaultsTest, GetconfigWithoutUsageRecord) {
  start(faultRules({R"({"op": "getUsageInfo", "call": 1, "action": "nil"})",
                    R"({"op": "getUsageInfo", "call": 2, "action": "reply",
                        "result": {"usagePref": "Always", "waitPeriod": null}})",
                    R"({"op": "getUsageInfo", "call": 3, "action": "reply",
                        "result": {"usagePref": "Sometimes",
                                   "waitPeriod": {"backupWaitPeriod": 7, "restoreWaitPeriod": 8}}})",
                    R"({"op": "getUsageInfo", "call": 4, "action": "reply",
                        "result": {"usagePref": "FailIfNoFT", "waitPeriod": null}})"}));
  RunResult r = run({"-getconfig"});
  EXPECT_EQ(r.out, "u master1 2 4 never 0 0\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 4 always 0 0\n");
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 4 never 7 8\n");
  r = run({"-getconfig", "-verbose"});
  EXPECT_EQ(r.out,
            "Master Server      : master1\n"
            "Client Ports/Server: 2\n"
            "Clients/Target port: 4\n"
            "FT Preference      : fail\n"
            "Backup Wait Time   : 0\n"
            "Restore Wait Time  : 0\n");
}

// Null elements and unknown names are passed over; a later duplicate wins.
TEST_F(DefaultsTest, GetconfigOddSettings) {
  start(faultRules({R"({"op": "getFTConfigInfoSeq", "call": 1, "action": "reply", "result": [
                          null,
                          {"confName": "FT_MAX_CLIENTS_PER_PORT", "confValue": "9"},
                          {"confName": "FT_OTHER", "confValue": "x"},
                          {"confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "5"},
                          {"confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "6"}]})",
                    R"({"op": "getFTConfigInfoSeq", "call": 2, "action": "reply", "result": []})"}));
  RunResult r = run({"-getconfig"});
  EXPECT_EQ(r.out, "u master1 6 9 preferred 15 5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(run({"-getconfig"}).out, "u master1 2 2 preferred 15 5\n");
}

}  // namespace
