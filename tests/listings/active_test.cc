// "-listactive" for one SAN client, one FT server and the walk over all hosts.
#include <algorithm>

#include "layout_site.h"
#include "listing_site.h"

namespace {

using Lines = std::vector<std::string>;

const char *const C1_PIPES = "c c1 0 media1 1 0 4711 101 backup\n"
                             "c c1 1 media2 2 2  102 restore\n"
                             "c c1 -1  -1 -1  103 unknown\n";
const char *const MEDIA1_PIPES = "m media1 2 3 11 backup\n"
                                 "m media1 1 3 12 restore\n"
                                 "m media1 -1 -1 14 closed\n"
                                 "m media1 1 0 15 unknown\n";

struct ActiveListing : ListingTest {};

TEST_F(ActiveListing, OneClientListsEveryPipeWhateverItsStatus) {
  start(LAYOUT_SITE);
  RunResult compact = run({"-listactive", "-C", "c1"});
  EXPECT_EQ(compact.out, C1_PIPES);
  EXPECT_EQ(compact.err, "");
  EXPECT_EQ(compact.status, 0);
  EXPECT_EQ(calls(), (Lines{"getClientPipeList \"c1\""}));

  RunResult verbose = run({"-verbose", "-la", "-C", "c1"});
  EXPECT_EQ(verbose.out, "\n"
                         "SAN Client Name : c1\n"
                         "SAN Client HBA  : 0\n"
                         "FT Server Name  : media1\n"
                         "FT Server HBA   : 1\n"
                         "FT Server LUN   : 0\n"
                         "Job Number      : 4711\n"
                         "FT Connection Id: 101\n"
                         "Direction       : backup\n"
                         "\n"
                         "SAN Client Name : c1\n"
                         "SAN Client HBA  : 1\n"
                         "FT Server Name  : media2\n"
                         "FT Server HBA   : 2\n"
                         "FT Server LUN   : 2\n"
                         "Job Number      : \n"
                         "FT Connection Id: 102\n"
                         "Direction       : restore\n"
                         "\n"
                         "SAN Client Name : c1\n"
                         "SAN Client HBA  : -1\n"
                         "FT Server Name  : \n"
                         "FT Server HBA   : -1\n"
                         "FT Server LUN   : -1\n"
                         "Job Number      : \n"
                         "FT Connection Id: 103\n"
                         "Direction       : unknown\n");
  EXPECT_EQ(verbose.status, 0);
}

TEST_F(ActiveListing, OneServerListsOnlyActivePipes) {
  start(LAYOUT_SITE);
  RunResult compact = run({"-listactive", "-Me", "media1"});
  EXPECT_EQ(compact.out, std::string(MEDIA1_PIPES) + "\n");
  EXPECT_EQ(compact.status, 0);

  RunResult verbose = run({"-listactive", "-Me", "media1", "-verbose"});
  EXPECT_EQ(verbose.out, "FT Server Name  : media1\n"
                         "FT Server HBA   : 2\n"
                         "FT Server LUN   : 3\n"
                         "FT Connection Id: 11\n"
                         "Direction       : backup\n"
                         "\n"
                         "FT Server Name  : media1\n"
                         "FT Server HBA   : 1\n"
                         "FT Server LUN   : 3\n"
                         "FT Connection Id: 12\n"
                         "Direction       : restore\n"
                         "\n"
                         "FT Server Name  : media1\n"
                         "FT Server HBA   : -1\n"
                         "FT Server LUN   : -1\n"
                         "FT Connection Id: 14\n"
                         "Direction       : closed\n"
                         "\n"
                         "FT Server Name  : media1\n"
                         "FT Server HBA   : 1\n"
                         "FT Server LUN   : 0\n"
                         "FT Connection Id: 15\n"
                         "Direction       : unknown\n"
                         "\n"
                         "\n");
  EXPECT_EQ(calls(), (Lines{"getServerPipeList \"media1\"", "getServerPipeList \"media1\""}));
}

TEST_F(ActiveListing, NothingActive) {
  start(LAYOUT_SITE,
        faultRules({R"({"op": "getServerPipeList", "arg": "inactive", "action": "reply", "result": [null, {"status": 1, "pipeId": 1}, null]})",
                    R"({"op": "getClientPipeList", "arg": "hollow", "action": "reply", "result": [null, null]})"}));
  RunResult empty = run({"-listactive", "-C", "c2"});
  EXPECT_EQ(empty.out, "No active connections found\n\n");
  EXPECT_EQ(empty.status, 0);
  RunResult inactive = run({"-listactive", "-Me", "inactive"});
  EXPECT_EQ(inactive.out, "No active connections found\n\n");
  EXPECT_EQ(inactive.status, 0);
  // The report names the server in the log when it had pipes, none active.
  Lines log = logLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "4 No active connections found:inactive"), log.end());
  // A list of null elements is not empty: nothing is printed, not even a report.
  RunResult hollow = run({"-listactive", "-C", "hollow"});
  EXPECT_EQ(hollow.out, "");
  EXPECT_EQ(hollow.err, "");
  EXPECT_EQ(hollow.status, 0);
}

TEST_F(ActiveListing, WalkOverAllHostsEndsWithTheLastServersResult) {
  start(LAYOUT_SITE);
  RunResult r = run({"-listactive"});
  // media2, the last server, has no active pipe.
  EXPECT_EQ(r.out, std::string(C1_PIPES) + MEDIA1_PIPES);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 252);
  EXPECT_EQ(calls(), (Lines{"getSANClientList \"\" \"\"", "getClientPipeList \"c1\"",
                            "getClientPipeList \"c2\"", "getClientPipeList \"c3\"",
                            "getFATServerList \"\"", "getServerPipeList \"media1\"",
                            "getServerPipeList \"media2\""}));
}

TEST_F(ActiveListing, WalkEndingOnAnActiveServerEndsWithZero) {
  start(LAYOUT_SITE,
        faultRules({reply("getFATServerList", R"([{"hostName": "media2"}, null, {"hostName": "media1"}])"),
                    refusal("getClientPipeList", 5, "refused")}));
  RunResult r = run({"-listactive"});
  // Refused client lists are skipped silently, and the walk adds no empty
  // line after a server's pipes.
  EXPECT_EQ(r.out, MEDIA1_PIPES);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(logLines(), Lines{});
}

TEST_F(ActiveListing, WalkWithBothListsRefused) {
  start(LAYOUT_SITE, faultRules({refusal("getSANClientList", 5, "no"), refusal("getFATServerList", 5, "no")}));
  RunResult r = run({"-listactive"});
  EXPECT_EQ(r.out, "No active connections found\n\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(logLines(), (Lines{"16 No active client connections found",
                               "16 No active SAN client connections found",
                               "16 No active FT servers connections found",
                               "16 No active FT servers connections found",
                               "4 No active connections found:"}));
}

TEST_F(ActiveListing, RefusalForOneHostEndsWithTheServiceStatus) {
  start(LAYOUT_SITE, faultRules({refusal("getServerPipeList", 77, "server unreachable", "try again")}));
  RunResult r = run({"-listactive", "-Me", "media1"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Failed to get active connection details\n\n"
                   "EXIT error: server unreachable\n"
                   "EXIT status = 77\n"
                   "try again\n");
  EXPECT_EQ(r.status, 77);
}

TEST_F(ActiveListing, OrbFailureInTheWalkEndsWith130) {
  start(LAYOUT_SITE, faultRules({systemFailure("getClientPipeList", 2)}));
  RunResult r = run({"-listactive"});
  EXPECT_EQ(r.out, C1_PIPES);
  EXPECT_EQ(r.err, CORBA_FAILURE);
  EXPECT_EQ(r.status, 130);
}

TEST_F(ActiveListing, RecordsWithEveryOptionalPartStillList) {
  // Pipe statistics, job extras, buffers and expansion attributes need value
  // factories of their own on the tool's side.
  start(LAYOUT_SITE,
        faultRules({reply("getClientPipeList", R"([{
          "expansion": [{"name": "x-vendor"}],
          "devicePath": {"deviceServerName": "media1", "hbaPort": {"portNumber": 3, "expansion": [{"name": "a"}]},
                         "device": {"lun": 9, "devicePort": {"portNumber": 4}}},
          "status": 2, "direction": 2, "pipeId": 7,
          "buffer": {"shmId": 1, "shmSize": 8589934592, "multiplexed": true},
          "job": {"jobId": "J-1", "extraInfo": {"sqlServerInstanceID": "inst", "reserved": "r"}},
          "stats": {"numClientWait": 1, "numTotalBytes": 8589934593}}])")}));
  RunResult r = run({"-listactive", "-C", "c9"});
  EXPECT_EQ(r.out, "c c9 3 media1 4 9 J-1 7 restore\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
