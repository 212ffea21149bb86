// "-listservers" and "-listtargets" on the layout site and against a service
// that refuses, fails or answers oddly.
#include <algorithm>

#include "layout_site.h"
#include "listing_site.h"

namespace {

using Lines = std::vector<std::string>;

// A server whose device and pipe lists hold null elements.
const char *const SPARSE_SERVER =
    R"({"hostName": "sparse", "serviceVersion": "7", "state": 1, "config": {"numberOfPipes": 3, "maxNumberOfPipes": 5},
        "devices": [null, {"lun": 6, "status": 1, "devicePort": {"portNumber": 0, "mode": 1, "status": -65536,
                    "portWWN": "w0", "model": "m0", "vendor": "v0"}}, null],
        "pipes": [null, {"status": 2, "device": {"lun": 6}}, {"status": 2, "device": null}, null]})";

struct ServerListing : ListingTest {};

TEST_F(ServerListing, CompactLayout) {
  start(LAYOUT_SITE);
  RunResult r = run({"-listservers"});
  // LUN 3 counts both active pipes on LUN 3, whatever their port.
  EXPECT_EQ(r.out, "m media1 9.1 active 8\n"
                   "d 1 FABRIC active 0 1 21:00:00:24:ff:00:00:01 QLE2562 8\n"
                   "d 1 FABRIC disabled 1 0 21:00:00:24:ff:00:00:01 QLE2562 8\n"
                   "d 2 UNASSIGNED unknown 2 0 21:00:00:24:ff:00:00:02 QLE2562 0\n"
                   "d 1 FABRIC missing 3 2 21:00:00:24:ff:00:00:01 QLE2562 8\n"
                   "d -1 UNASSIGNED active 4 0 <unknown> <unknown> 0\n"
                   "d -1 UNASSIGNED active 5 0 <unknown> <unknown> 0\n"
                   "m media2 8.3 disabled 0\n"
                   "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  // Everything printed comes from the list itself.
  EXPECT_EQ(calls(), (Lines{"getFATServerList \"\""}));
}

TEST_F(ServerListing, VerboseLayoutStartsANewPortOnEveryChange) {
  start(LAYOUT_SITE);
  RunResult r = run({"-listservers", "-verbose"});
  const std::string port1 = "FT Server HBA Port  : 1\n"
                            "FT Server Port Mode : FABRIC\n"
                            "FT Server Port Speed: 8 gBits/s\n"
                            "FT Server Port WWN  : 21:00:00:24:ff:00:00:01\n"
                            "FT Server Port Model: QLE2562\n";
  const std::string noPort = "FT Server HBA Port  : -1\n"
                             "FT Server Port Mode : UNASSIGNED\n"
                             "FT Server Port Speed: Unknown\n"
                             "FT Server Port WWN  : <unknown>\n"
                             "FT Server Port Model: <unknown>\n";
  auto lun = [](const char *state, int lun, int active) {
    return std::string("\tFT Server Device State   : ") + state + "\n" +
           "\tAssociated LUN           : " + std::to_string(lun) + "\n" +
           "\tActive Connections on LUN: " + std::to_string(active) + "\n\n";
  };
  EXPECT_EQ(r.out, "FT Server Name     : media1\n"
                   "FT Server Version  : 9.1\n"
                   "FT Server State    : active\n"
                   "Connection Limit   : 8\n"
                   "Maximum Limit      : 16\n" +
                       port1 + lun("active", 0, 1) + lun("disabled", 1, 0) +
                       "FT Server HBA Port  : 2\n"
                       "FT Server Port Mode : UNASSIGNED\n"
                       "FT Server Port Speed: Unknown\n"
                       "FT Server Port WWN  : 21:00:00:24:ff:00:00:02\n"
                       "FT Server Port Model: QLE2562\n" +
                       lun("unknown", 2, 0) + port1 + lun("missing", 3, 2) + noPort +
                       lun("active", 4, 0) + noPort + lun("active", 5, 0) +
                       "FT Server Name     : media2\n"
                       "FT Server Version  : 8.3\n"
                       "FT Server State    : disabled\n"
                       "Connection Limit   : 0\n"
                       "Maximum Limit      : 0\n"
                       "\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ServerListing, JsonPortObjectsFollowThePortChanges) {
  start(LAYOUT_SITE);
  RunResult r = run({"-listservers", "-Me", "media1", "-json_compact"});
  auto port = [](int number, const char *mode, const char *speed, const char *wwn, const char *model) {
    return std::string(R"({"FT Server HBA Port":)") + std::to_string(number) +
           R"(,"FT Server Port Mode":")" + mode + R"(","FT Server Port Speed":")" + speed +
           R"(","FT Server Port WWN":")" + wwn + R"(","FT Server Port Model":")" + model +
           R"(","LUN List":[)";
  };
  auto lun = [](const char *state, int lun, int active) {
    return std::string(R"({"FT Server Device State":")") + state + R"(","Associated LUN":)" +
           std::to_string(lun) + R"(,"Active Connections on LUN":)" + std::to_string(active) + "}";
  };
  const std::string wwn1 = "21:00:00:24:ff:00:00:01";
  EXPECT_EQ(r.out, R"({"FT Server Name":"media1","FT Server Version":"9.1","FT Server State":"active",)"
                   R"("Connection Limit":8,"Maximum Limit":16,"FT Server Target HBA List":[)" +
                       port(1, "FABRIC", "8 gBits/s", wwn1.c_str(), "QLE2562") + lun("active", 0, 1) +
                       "," + lun("disabled", 1, 0) + "]}," +
                       port(2, "UNASSIGNED", "Unknown", "21:00:00:24:ff:00:00:02", "QLE2562") +
                       lun("unknown", 2, 0) + "]}," +
                       port(1, "FABRIC", "8 gBits/s", wwn1.c_str(), "QLE2562") + lun("missing", 3, 2) +
                       "]}," + port(-1, "UNASSIGNED", "Unknown", "<unknown>", "<unknown>") +
                       lun("active", 4, 0) + "]}," +
                       port(-1, "UNASSIGNED", "Unknown", "<unknown>", "<unknown>") +
                       lun("active", 5, 0) + "]}]}\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{"getFATServerInfo \"media1\""}));
}

TEST_F(ServerListing, VerboseWithJsonLeavesThePortListEmpty) {
  start(LAYOUT_SITE);
  RunResult r = run({"-verbose", "-listservers", "-json", "-M", "master1"});
  const std::string tail = "Maximum Limit      : 0\n"
                           "{\n"
                           "  \"FT Server List\": [\n"
                           "    {\n"
                           "      \"FT Server Target HBA List\": []\n"
                           "    },\n"
                           "    {\n"
                           "      \"FT Server Target HBA List\": []\n"
                           "    }\n"
                           "  ]\n"
                           "}\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_EQ(r.out.rfind("FT Server Name     : media1\n", 0), 0u);
  EXPECT_EQ(calls(), (Lines{"getFATServerList \"master1\""}));
}

TEST_F(ServerListing, NullElementsAndANegativePortStatus) {
  start(LAYOUT_SITE, faultRules({reply("getFATServerList", std::string("[null, ") + SPARSE_SERVER + ", null]")}));
  // Status 0xFFFF0000 shifts to a speed of -1, which is not "unknown".
  EXPECT_EQ(run({"-listservers"}).out, "m sparse 7 active 3\n"
                                       "d 0 PTP active 6 1 w0 m0 -1\n");
  std::string json = run({"-listservers", "-json"}).out;
  EXPECT_NE(json.find("\"FT Server Port Speed\": \"-1 gBits/s\""), std::string::npos) << json;
  EXPECT_EQ(run({"-listtargets"}).out, "m sparse\n"
                                       "d 0 6 w w0 active PTP m0 v0\n");
}

TEST_F(ServerListing, OnlyNullServersMeanNoServers) {
  start(LAYOUT_SITE, faultRules({reply("getFATServerList", "[null, null]")}));
  RunResult text = run({"-listservers"});
  EXPECT_EQ(text.out, "No FT servers found\n\n");
  EXPECT_EQ(text.status, 0);
  // In JSON mode the (empty) document comes first, then the report.
  RunResult json = run({"-listservers", "-json"});
  EXPECT_EQ(json.out, "{\n  \"FT Server List\": []\n}\nNo FT servers found\n\n");
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(run({"-listtargets"}).out, "No FT servers found\n\n");
}

TEST_F(ServerListing, NothingFound) {
  start("");
  RunResult json = run({"-listservers", "-json"});
  EXPECT_EQ(json.out, "No FT servers found\n\n");
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(run({"-listtargets"}).out, "No FT servers found\n\n");
  RunResult unknown = run({"-listservers", "-Me", "nowhere"});
  EXPECT_EQ(unknown.out, "FT server not found\n\n");
  EXPECT_EQ(unknown.status, 0);
  EXPECT_EQ(run({"-listtargets", "-Me", "nowhere"}).out, "FT server not found\n\n");
  // Telemetry stops at the servers: no client is asked for, no document printed.
  clearJournal(site);
  RunResult telemetry = run({"-list_telemetry", "-json"});
  EXPECT_EQ(telemetry.out, "No FT servers found\n\n");
  EXPECT_EQ(calls(), (Lines{"getFATServerList \"\""}));
}

TEST_F(ServerListing, RefusalsEndWithTheServiceStatus) {
  start(LAYOUT_SITE, faultRules({refusal("getFATServerList", 227, "no such master server"),
                                 refusal("getFATServerInfo", 300, "too busy")}));
  const Lines commands[] = {{"-listservers"}, {"-listtargets"}};
  for (const Lines &args : commands) {
    RunResult r = run(args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Failed to get FT server details\n\n"
                     "EXIT error: no such master server\n"
                     "EXIT status = 227\n");
    EXPECT_EQ(r.status, 227);
  }
  // Statuses above 255 leave as 252.
  RunResult big = run({"-listtargets", "-Me", "media1"});
  EXPECT_EQ(big.err, "Failed to get FT server details\n\nEXIT error: too busy\nEXIT status = 300\n");
  EXPECT_EQ(big.status, 252);
}

TEST_F(ServerListing, OrbFailureEndsWith130) {
  start(LAYOUT_SITE, faultRules({systemFailure("getFATServerList", 1)}));
  RunResult r = run({"-listservers", "-json"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, CORBA_FAILURE);
  EXPECT_EQ(r.status, 130);
}

TEST_F(ServerListing, TargetLayouts) {
  start(LAYOUT_SITE);
  RunResult compact = run({"-listtargets"});
  EXPECT_EQ(compact.out, "m media1\n"
                         "d 1 0 w 21:00:00:24:ff:00:00:01 active FABRIC QLE2562 QLogic\n"
                         "d 1 1 w 21:00:00:24:ff:00:00:01 disabled FABRIC QLE2562 QLogic\n"
                         "d 2 2 w 21:00:00:24:ff:00:00:02 unknown UNASSIGNED QLE2562 QLogic\n"
                         "d 1 3 w 21:00:00:24:ff:00:00:01 missing FABRIC QLE2562 QLogic\n"
                         "d -1 4 w <unknown> active UNASSIGNED <unknown> <unknown>\n"
                         "d -1 5 w <unknown> active UNASSIGNED <unknown> <unknown>\n"
                         "m media2\n"
                         "\n");
  EXPECT_EQ(compact.status, 0);

  RunResult verbose = run({"-listtargets", "-Me", "media1", "-verbose"});
  const std::string port1 = "FT Server HBA Port   : 1\n"
                            "FT Server Port WWN   : 21:00:00:24:ff:00:00:01\n"
                            "FT Server Port Mode  : FABRIC\n"
                            "FT Server Port Model : QLE2562\n"
                            "FT Server Port Vendor: QLogic\n";
  const std::string noPort = "FT Server HBA Port   : -1\n"
                             "FT Server Port WWN   : <unknown>\n"
                             "FT Server Port Mode  : UNASSIGNED\n"
                             "FT Server Port Model : <unknown>\n"
                             "FT Server Port Vendor: <unknown>\n";
  auto lun = [](const char *state, int lun, int active) {
    return std::string("\tFT Server Device State   : ") + state + "\n" +
           "\tAssociated LUN           : " + std::to_string(lun) + "\n" +
           "\tActive Connections on LUN: " + std::to_string(active) + "\n\n";
  };
  EXPECT_EQ(verbose.out, "FT Server Name   : media1\n\n" + port1 + lun("active", 0, 1) +
                             lun("disabled", 1, 0) +
                             "FT Server HBA Port   : 2\n"
                             "FT Server Port WWN   : 21:00:00:24:ff:00:00:02\n"
                             "FT Server Port Mode  : UNASSIGNED\n"
                             "FT Server Port Model : QLE2562\n"
                             "FT Server Port Vendor: QLogic\n" +
                             lun("unknown", 2, 0) + port1 + lun("missing", 3, 2) + noPort +
                             lun("active", 4, 0) + noPort + lun("active", 5, 0));
  EXPECT_EQ(run({"-listtargets", "-Me", "media2", "-verbose"}).out, "FT Server Name   : media2\n\n\n");
}

}  // namespace
