// "-listclients" (and the client half of "-list_telemetry") on the layout site
// and against a service that refuses, fails or answers oddly.
#include <algorithm>

#include "layout_site.h"
#include "listing_site.h"

namespace {

using Lines = std::vector<std::string>;

const char *const PORTS_KEY =
    R"([{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"","isClient":false}])";

std::string portsQuery(const std::string &client, const std::string &master) {
  return "getFTConfigInfoSeq \"" + client + "\" \"" + master + "\" QZSL_QZU_CLIENT " + PORTS_KEY;
}

struct ClientListing : ListingTest {};

TEST_F(ClientListing, CompactLayoutAndTheCallsBehindIt) {
  start(LAYOUT_SITE);
  RunResult r = run({"-listclients"});
  EXPECT_EQ(r.out,
            "c c1 9.1 active master1 2 4 preferred 15 5\n"
            "d 0 active media1 active 1 FABRIC 0\n"
            "d 0 disabled media1 active 1 FABRIC 1\n"
            "d 1 unknown media2 disabled 2 LOOP 2\n"
            "d 0 missing media1 active 1 DISCONNECTED 3\n"
            "c c2 9.0 disabled master1 0 2 always 3 4\n"
            "\n"
            "c c3 8.3 active master2 2 2 never 0 0\n"
            "d -1 active ghost disabled 3 PTP 7\n"
            "d -1 active ghost disabled 3 PTP 8\n"
            "d 2 active media1 active -1 UNASSIGNED -1\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  // Per client two calls and one per device, nothing cached; the ports query
  // names the client first and its master server second.
  EXPECT_EQ(calls(), (Lines{"getSANClientList \"\" \"\"",
                            "getMediaServersCountOfClient \"c1\"", portsQuery("c1", "master1"),
                            "getFATServerInfo \"media1\"", "getFATServerInfo \"media1\"",
                            "getFATServerInfo \"media2\"", "getFATServerInfo \"media1\"",
                            "getMediaServersCountOfClient \"c2\"", portsQuery("c2", "master1"),
                            "getMediaServersCountOfClient \"c3\"", portsQuery("c3", "master2"),
                            "getFATServerInfo \"ghost\"", "getFATServerInfo \"ghost\"",
                            "getFATServerInfo \"media1\""}));
  EXPECT_EQ(journal(site).back(), "destroy");
}

TEST_F(ClientListing, VerboseLayoutGroupsDevicesByClientPort) {
  start(LAYOUT_SITE);
  RunResult r = run({"-listclients", "-verbose"});
  EXPECT_EQ(r.out,
            "SAN Client Name      : c1\n"
            "SAN Client Version   : 9.1\n"
            "SAN Client State     : active\n"
            "Master Server Name   : master1\n"
            "FT Server Connections: 2\n"
            "Client Ports/Server  : 4\n"
            "Usage Preference     : preferred\n"
            "Backup Wait Time     : 15\n"
            "Restore Wait Time    : 5\n"
            "SAN Client HBA Port  : 0\n"
            "\tSAN Client Device State: active\n"
            "\tMedia Server Name      : media1\n"
            "\tMedia Sever State      : active\n"
            "\tMedia Server HBA Port  : 1\n"
            "\tMedia Server Port Mode : FABRIC\n"
            "\tMedia Server LUN       : 0\n"
            "\n"
            "\tSAN Client Device State: disabled\n"
            "\tMedia Server Name      : media1\n"
            "\tMedia Sever State      : active\n"
            "\tMedia Server HBA Port  : 1\n"
            "\tMedia Server Port Mode : FABRIC\n"
            "\tMedia Server LUN       : 1\n"
            "\n"
            "SAN Client HBA Port  : 1\n"
            "\tSAN Client Device State: unknown\n"
            "\tMedia Server Name      : media2\n"
            "\tMedia Sever State      : disabled\n"
            "\tMedia Server HBA Port  : 2\n"
            "\tMedia Server Port Mode : LOOP\n"
            "\tMedia Server LUN       : 2\n"
            "\n"
            "SAN Client HBA Port  : 0\n"
            "\tSAN Client Device State: missing\n"
            "\tMedia Server Name      : media1\n"
            "\tMedia Sever State      : active\n"
            "\tMedia Server HBA Port  : 1\n"
            "\tMedia Server Port Mode : DISCONNECTED\n"
            "\tMedia Server LUN       : 3\n"
            "\n"
            "SAN Client Name      : c2\n"
            "SAN Client Version   : 9.0\n"
            "SAN Client State     : disabled\n"
            "Master Server Name   : master1\n"
            "FT Server Connections: 0\n"
            "Client Ports/Server  : 2\n"
            "Usage Preference     : always\n"
            "\n"
            "SAN Client Name      : c3\n"
            "SAN Client Version   : 8.3\n"
            "SAN Client State     : active\n"
            "Master Server Name   : master2\n"
            "FT Server Connections: 2\n"
            "Client Ports/Server  : 2\n"
            "Usage Preference     : never\n"
            "SAN Client HBA Port  : -1\n"
            "\tSAN Client Device State: active\n"
            "\tMedia Server Name      : ghost\n"
            "\tMedia Sever State      : disabled\n"
            "\tMedia Server HBA Port  : 3\n"
            "\tMedia Server Port Mode : PTP\n"
            "\tMedia Server LUN       : 7\n"
            "\n"
            "SAN Client HBA Port  : -1\n"
            "\tSAN Client Device State: active\n"
            "\tMedia Server Name      : ghost\n"
            "\tMedia Sever State      : disabled\n"
            "\tMedia Server HBA Port  : 3\n"
            "\tMedia Server Port Mode : PTP\n"
            "\tMedia Server LUN       : 8\n"
            "\n"
            "SAN Client HBA Port  : 2\n"
            "\tSAN Client Device State: active\n"
            "\tMedia Server Name      : media1\n"
            "\tMedia Sever State      : active\n"
            "\tMedia Server HBA Port  : -1\n"
            "\tMedia Server Port Mode : UNASSIGNED\n"
            "\tMedia Server LUN       : -1\n"
            "\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ClientListing, JsonForms) {
  start(LAYOUT_SITE);
  // One client: the bare object, compact, keys in the order they were set.
  RunResult one = run({"-listclients", "-C", "c3", "-json_compact"});
  EXPECT_EQ(one.out,
            R"({"hostName":"c3","serviceVersion":"8.3","clientState":"active",)"
            R"("masterServerName":"master2","mediacount":2,"upref":"never","backupWaitPeriod":0,)"
            R"("restoreWaitPeriod":0,"clientDevList":[)"
            R"({"clientHBA":-1,"deviceState":"active","deviceServerName":"ghost",)"
            R"("serverState":"disabled","pdPortNumber":3,"pdPortMode":"PTP","pdLun":7},)"
            R"({"clientHBA":-1,"deviceState":"active","deviceServerName":"ghost",)"
            R"("serverState":"disabled","pdPortNumber":3,"pdPortMode":"PTP","pdLun":8},)"
            R"({"clientHBA":2,"deviceState":"active","deviceServerName":"media1",)"
            R"("serverState":"active","pdPortNumber":-1,"pdPortMode":"UNASSIGNED","pdLun":-1}]})"
            "\n");
  EXPECT_EQ(one.status, 0);

  // A list filtered by media server, indented with sorted keys.
  clearJournal(site);
  RunResult list = run({"-listclients", "-Me", "media2", "-json"});
  EXPECT_EQ(list.out, "{\n"
                      "  \"SANClientList\": [\n"
                      "    {\n"
                      "      \"backupWaitPeriod\": 15,\n"
                      "      \"clientDevList\": [\n"
                      "        {\n"
                      "          \"clientHBA\": 0,\n"
                      "          \"deviceServerName\": \"media1\",\n"
                      "          \"deviceState\": \"active\",\n"
                      "          \"pdLun\": 0,\n"
                      "          \"pdPortMode\": \"FABRIC\",\n"
                      "          \"pdPortNumber\": 1,\n"
                      "          \"serverState\": \"active\"\n"
                      "        },\n"
                      "        {\n"
                      "          \"clientHBA\": 0,\n"
                      "          \"deviceServerName\": \"media1\",\n"
                      "          \"deviceState\": \"disabled\",\n"
                      "          \"pdLun\": 1,\n"
                      "          \"pdPortMode\": \"FABRIC\",\n"
                      "          \"pdPortNumber\": 1,\n"
                      "          \"serverState\": \"active\"\n"
                      "        },\n"
                      "        {\n"
                      "          \"clientHBA\": 1,\n"
                      "          \"deviceServerName\": \"media2\",\n"
                      "          \"deviceState\": \"unknown\",\n"
                      "          \"pdLun\": 2,\n"
                      "          \"pdPortMode\": \"LOOP\",\n"
                      "          \"pdPortNumber\": 2,\n"
                      "          \"serverState\": \"disabled\"\n"
                      "        },\n"
                      "        {\n"
                      "          \"clientHBA\": 0,\n"
                      "          \"deviceServerName\": \"media1\",\n"
                      "          \"deviceState\": \"missing\",\n"
                      "          \"pdLun\": 3,\n"
                      "          \"pdPortMode\": \"DISCONNECTED\",\n"
                      "          \"pdPortNumber\": 1,\n"
                      "          \"serverState\": \"active\"\n"
                      "        }\n"
                      "      ],\n"
                      "      \"clientState\": \"active\",\n"
                      "      \"hostName\": \"c1\",\n"
                      "      \"masterServerName\": \"master1\",\n"
                      "      \"mediacount\": 2,\n"
                      "      \"restoreWaitPeriod\": 5,\n"
                      "      \"serviceVersion\": \"9.1\",\n"
                      "      \"upref\": \"preferred\"\n"
                      "    }\n"
                      "  ]\n"
                      "}\n");
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(calls().at(0), "getSANClientList \"master1\" \"media2\"");
}

TEST_F(ClientListing, VerboseWinsOverJsonForTheFields) {
  start(LAYOUT_SITE);
  RunResult r = run({"-verbose", "-listclients", "-M", "master2", "-json"});
  EXPECT_EQ(r.out.substr(0, r.out.find("SAN Client HBA Port")),
            "SAN Client Name      : c3\n"
            "SAN Client Version   : 8.3\n"
            "SAN Client State     : active\n"
            "Master Server Name   : master2\n"
            "FT Server Connections: 2\n"
            "Client Ports/Server  : 2\n"
            "Usage Preference     : never\n");
  const std::string tail = "\tMedia Server LUN       : -1\n"
                           "\n"
                           "{\n"
                           "  \"SANClientList\": [\n"
                           "    {\n"
                           "      \"clientDevList\": []\n"
                           "    }\n"
                           "  ]\n"
                           "}\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(r.status, 0);
}

TEST_F(ClientListing, NullElementsAreSkippedEverywhere) {
  const std::string client =
      R"({"fatClientInfo": {"hostName": "n1", "masterServerName": "m", "serviceVersion": "1", "state": 1,
           "hostDevices": [null, {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 4}}, null]},
          "afatUsageInfo": {"usagePref": "FailIfNoFT", "waitPeriod": null}})";
  start(LAYOUT_SITE,
        faultRules({reply("getSANClientList",
                          "[null, " + client + R"(, {"fatClientInfo": null, "afatUsageInfo": null}, null])"),
                    reply("getFTConfigInfoSeq", "[null]")}));
  RunResult text = run({"-listclients"});
  EXPECT_EQ(text.out, "c n1 1 active m 0 2 fail 0 0\n"
                      "d 4 active media1 active -1 UNASSIGNED -1\n");
  EXPECT_EQ(text.status, 0);

  RunResult json = run({"-listclients", "-json_compact"});
  EXPECT_EQ(json.out,
            R"({"SANClientList":[{"hostName":"n1","serviceVersion":"1","clientState":"active",)"
            R"("masterServerName":"m","mediacount":0,"upref":"fail","backupWaitPeriod":0,)"
            R"("restoreWaitPeriod":0,"clientDevList":[{"clientHBA":4,"deviceState":"active",)"
            R"("deviceServerName":"media1","serverState":"active","pdPortNumber":-1,)"
            R"("pdPortMode":"UNASSIGNED","pdLun":-1}]}]})"
            "\n");
}

TEST_F(ClientListing, NothingToList) {
  start(LAYOUT_SITE,
        faultRules({reply("getSANClientList", R"([null, {"fatClientInfo": null}])"),
                    R"({"op": "getSANClientInfo", "arg": "bare", "action": "reply", "result": {"fatClientInfo": null}})"}));
  RunResult none = run({"-listclients"});
  EXPECT_EQ(none.out, "No SAN clients found\n\n");
  EXPECT_EQ(none.err, "");
  EXPECT_EQ(none.status, 0);
  // JSON list mode never reports: the list is just empty.
  EXPECT_EQ(run({"-listclients", "-json"}).out, "{\n  \"SANClientList\": []\n}\n");

  RunResult unknown = run({"-listclients", "-C", "nobody"});
  EXPECT_EQ(unknown.out, "SAN client not found\n\n");
  EXPECT_EQ(unknown.status, 0);
  RunResult bare = run({"-listclients", "-C", "bare", "-json"});
  EXPECT_EQ(bare.out, "No SAN clients found\n\n");
  EXPECT_EQ(bare.status, 0);
  EXPECT_EQ(calls().back(), "getSANClientInfo \"bare\"");
}

TEST_F(ClientListing, EmptySiteHasNoClients) {
  start("");
  RunResult r = run({"-listclients", "-M", "master1"});
  EXPECT_EQ(r.out, "No SAN clients found\n\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{"getSANClientList \"master1\" \"\""}));
  Lines log = logLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "4 No SAN clients found:"), log.end());
}

TEST_F(ClientListing, RefusedListEndsWithTheServiceStatus) {
  start(LAYOUT_SITE, faultRules({refusal("getSANClientList", 5, "database is locked", "retry later")}));
  RunResult r = run({"-listclients", "-json"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Failed to get SAN client details\n\n"
                   "EXIT error: database is locked\n"
                   "EXIT status = 5\n"
                   "retry later\n");
  EXPECT_EQ(r.status, 5);
  Lines log = logLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "16 Failed to get SAN client details:"), log.end());
}

TEST_F(ClientListing, RefusedPerClientQueriesAreWarningsWithDefaults) {
  start(LAYOUT_SITE,
        faultRules({R"({"op": "getMediaServersCountOfClient", "arg": "c1", "action": "raise", "errors": [{"errorCode": 9}]})",
                    R"({"op": "getFTConfigInfoSeq", "arg": "c1", "action": "raise", "errors": [{"errorCode": 9}]})",
                    R"({"op": "getFATServerInfo", "arg": "media1", "call": 2, "action": "raise", "errors": [{"errorCode": 9}]})"}));
  RunResult r = run({"-listclients", "-C", "c1"});
  EXPECT_EQ(r.out, "c c1 9.1 active master1 0 2 preferred 15 5\n"
                   "d 0 active media1 active 1 FABRIC 0\n"
                   "d 0 disabled media1 disabled 1 FABRIC 1\n"
                   "d 1 unknown media2 disabled 2 LOOP 2\n"
                   "d 0 missing media1 active 1 DISCONNECTED 3\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(logLines(), (Lines{"8 failed to get media server count for client: c1",
                               "8 failed to get number of client port per server: c1",
                               "8 Failed to get Media Server state information: media1"}));
}

TEST_F(ClientListing, OrbFailureMidListingEndsWith130) {
  start(LAYOUT_SITE, faultRules({systemFailure("getFATServerInfo", 3)}));
  RunResult r = run({"-listclients"});
  // What was printed before the failure stays printed.
  EXPECT_EQ(r.out, "c c1 9.1 active master1 2 4 preferred 15 5\n"
                   "d 0 active media1 active 1 FABRIC 0\n"
                   "d 0 disabled media1 active 1 FABRIC 1\n");
  EXPECT_EQ(r.err, CORBA_FAILURE);
  EXPECT_EQ(r.status, 130);
  Lines ft = calls();
  EXPECT_EQ(ft.back(), "getFATServerInfo \"media2\"");
  Lines log = logLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("16 CORBA Exception caught as IDL:omg.org/CORBA/TRANSIENT:1.0", 0), 0u)
      << log.back();
}

TEST_F(ClientListing, PortsPerServerComesFromTheFirstSetting) {
  start(LAYOUT_SITE,
        faultRules({reply("getFTConfigInfoSeq",
                          R"([{"confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "7", "isClient": true}, null])")}));
  RunResult r = run({"-lc", "-C", "c2", "-verbose"});
  EXPECT_EQ(r.out, "SAN Client Name      : c2\n"
                   "SAN Client Version   : 9.0\n"
                   "SAN Client State     : disabled\n"
                   "Master Server Name   : master1\n"
                   "FT Server Connections: 0\n"
                   "Client Ports/Server  : 7\n"
                   "Usage Preference     : always\n"
                   "\n");
}

TEST_F(ClientListing, TelemetryPrintsASingleClientOnItsOwn) {
  start(R"({"servers": [{"hostName": "media2", "masterServerName": "master1", "serviceVersion": "8.3"}],
            "clients": [{"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "serviceVersion": "9.0"},
                         "afatUsageInfo": {"usagePref": "Never"}}]})");
  RunResult one = run({"-list_telemetry", "-C", "c2", "-json_compact"});
  EXPECT_EQ(one.out,
            R"({"hostName":"c2","serviceVersion":"9.0","clientState":"disabled","masterServerName":"master1",)"
            R"("mediacount":0,"upref":"never","backupWaitPeriod":0,"restoreWaitPeriod":0,"clientDevList":[]})"
            "\n"
            R"({"SAN Client Telemetry Data":[{"FT Server List":[{"FT Server Name":"media2",)"
            R"("FT Server Version":"8.3","FT Server State":"disabled","Connection Limit":0,)"
            R"("Maximum Limit":0,"FT Server Target HBA List":[]}]}]})"
            "\n");
  EXPECT_EQ(one.status, 0);

  RunResult server = run({"-list_telemetry", "-Me", "media2", "-json_compact"});
  EXPECT_EQ(server.out,
            R"({"FT Server Name":"media2","FT Server Version":"8.3","FT Server State":"disabled",)"
            R"("Connection Limit":0,"Maximum Limit":0,"FT Server Target HBA List":[]})"
            "\n"
            R"({"SAN Client Telemetry Data":[{"SANClientList":[]}]})"
            "\n");
  EXPECT_EQ(server.status, 0);

  RunResult text = run({"-list_telemetry"});
  EXPECT_EQ(text.out, "m media2 8.3 disabled 0\n\nc c2 9.0 disabled master1 0 2 never 0 0\n\n");
}

}  // namespace
