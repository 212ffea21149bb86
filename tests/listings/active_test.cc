// "-listactive" for one SAN client, one FT server and the walk over all hosts.
#include "listing_site.h"

namespace {

// A client lists every pipe whatever its status, a server only active ones.
const char *const C1_PIPES = "c c1 0 media1 1 0 4711 101 backup\n"
                             "c c1 1 media2 2 2  102 restore\n"
                             "c c1 -1  -1 -1  103 unknown\n";
const char *const MEDIA1_PIPES = "m media1 2 3 11 backup\n"
                                 "m media1 1 3 12 restore\n"
                                 "m media1 -1 -1 14 closed\n"
                                 "m media1 1 0 15 unknown\n";

const std::string NULL_PIPES = faultRules(
    {replyRule("getServerPipeList", R"([null, {"status": 1, "pipeId": 1}, null])", "inactive"),
     replyRule("getClientPipeList", "[null, null]", "hollow")});
// Pipe statistics, job extras, buffers and expansion attributes need value
// factories of their own on the tool's side.
const std::string FULL_PIPE = faultRules({replyRule("getClientPipeList", R"([{
    "expansion": [{"name": "x-vendor"}],
    "devicePath": {"deviceServerName": "media1", "hbaPort": {"portNumber": 3, "expansion": [{"name": "a"}]},
                   "device": {"lun": 9, "devicePort": {"portNumber": 4}}},
    "status": 2, "direction": 2, "pipeId": 7,
    "buffer": {"shmId": 1, "shmSize": 8589934592, "multiplexed": true},
    "job": {"jobId": "J-1", "extraInfo": {"sqlServerInstanceID": "inst", "reserved": "r"}},
    "stats": {"numClientWait": 1, "numTotalBytes": 8589934593}}])")});

INSTANTIATE_TEST_SUITE_P(
    Active, Listing,
    ::testing::Values(
        ListingCase{"OneClient", LAYOUT_SITE, "", {"-listactive", "-C", "c1"}, C1_PIPES, "", 0,
                    Lines{"getClientPipeList \"c1\""}},
        ListingCase{"OneServer", LAYOUT_SITE, "", {"-la", "-Me", "media1"}, std::string(MEDIA1_PIPES) + "\n", "", 0,
                    Lines{"getServerPipeList \"media1\""}},
        ListingCase{"ClientWithoutPipes", LAYOUT_SITE, "", {"-listactive", "-C", "c2"},
                    "No active connections found\n\n", "", 0},
        // The report names the server in the log when it had pipes, none active.
        ListingCase{"ServerWithoutActivePipes", LAYOUT_SITE, NULL_PIPES, {"-listactive", "-Me", "inactive"},
                    "No active connections found\n\n", "", 0, std::nullopt,
                    Lines{"4 No active connections found:inactive"}},
        // A list of null elements is not empty: nothing is printed, not even a report.
        ListingCase{"ClientWithNullPipes", LAYOUT_SITE, NULL_PIPES, {"-listactive", "-C", "hollow"}, "", "", 0},
        ListingCase{"FullPipeRecord", LAYOUT_SITE, FULL_PIPE, {"-listactive", "-C", "c9"},
                    "c c9 3 media1 4 9 J-1 7 restore\n", "", 0},
        // The walk ends with the result of the last server, media2: none active.
        ListingCase{"Walk", LAYOUT_SITE, "", {"-listactive"}, std::string(C1_PIPES) + MEDIA1_PIPES, "", 252,
                    Lines{"getSANClientList \"\" \"\"", "getClientPipeList \"c1\"", "getClientPipeList \"c2\"",
                          "getClientPipeList \"c3\"", "getFATServerList \"\"", "getServerPipeList \"media1\"",
                          "getServerPipeList \"media2\""}},
        // Refused client lists are skipped silently, and the walk adds no
        // empty line after a server's pipes.
        ListingCase{"WalkEndingOnAnActiveServer", LAYOUT_SITE,
                    faultRules({replyRule("getFATServerList", R"([{"hostName": "media2"}, null, {"hostName": "media1"}])"),
                                refusalRule("getClientPipeList", 5, "refused")}),
                    {"-listactive"}, MEDIA1_PIPES, "", 0, std::nullopt, Lines{}},
        ListingCase{"WalkWithBothListsRefused", LAYOUT_SITE,
                    faultRules({refusalRule("getSANClientList", 5, "no"), refusalRule("getFATServerList", 5, "no")}),
                    {"-listactive"}, "No active connections found\n\n", "", 0, std::nullopt,
                    Lines{"16 No active client connections found", "16 No active SAN client connections found",
                          "16 No active FT servers connections found", "16 No active FT servers connections found",
                          "4 No active connections found:"}},
        ListingCase{"RefusedForOneHost", LAYOUT_SITE,
                    faultRules({refusalRule("getServerPipeList", 77, "server unreachable", "", "try again")}),
                    {"-listactive", "-Me", "media1"}, "",
                    "Failed to get active connection details\n\nEXIT error: server unreachable\n"
                    "EXIT status = 77\ntry again\n", 77},
        ListingCase{"OrbFailureInTheWalk", LAYOUT_SITE, faultRules({systemFailure("getClientPipeList", 2)}),
                    {"-listactive"}, C1_PIPES, CORBA_FAILURE, 130}),
    rowName<ListingCase>);

}  // namespace
