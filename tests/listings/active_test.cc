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
    {replyRule("getServerPipeList", R"([null, {"status": 1, "pipeId": 1}, null])", "inactive")});
const char *const NONE_ACTIVE = "No active connections found\n\n";
INSTANTIATE_TEST_SUITE_P(
    Active, Listing,
    ::testing::Values(
        ListingCase{"OneClient", {"-listactive", "-C", "c1"}, C1_PIPES, Lines{"getClientPipeList \"c1\""}},
        ListingCase{"OneServer", {"-la", "-Me", "media1"}, std::string(MEDIA1_PIPES) + "\n",
                    Lines{"getServerPipeList \"media1\""}},
        ListingCase{"ClientWithoutPipes", {"-listactive", "-C", "c2"}, NONE_ACTIVE},
        // The report names the server in the log when it had pipes, none active.
        faulted(NULL_PIPES, {"ServerWithoutActivePipes", {"-listactive", "-Me", "inactive"}, NONE_ACTIVE,
                             std::nullopt, Lines{logged(LOG_INFO, "No active connections found:inactive")}}),
        // The walk ends with the result of the last server, media2: none active.
        ending(STATUS_OUT_OF_RANGE, "", {"Walk", {"-listactive"}, std::string(C1_PIPES) + MEDIA1_PIPES}),
        // 252 is a complete walk, never one that could not be written.
        ending(STATUS_INTERNAL, OUTPUT_FULL, {"WalkIntoAFullDevice", {"-listactive"}, ""}, "/dev/full"),
        // Refused client lists are skipped silently, and the walk adds no
        // empty line after a server's pipes.
        faulted(faultRules({replyRule("getFATServerList", R"([{"hostName": "media2"}, null, {"hostName": "media1"}])"),
                            refusalRule("getClientPipeList", CODE_UNAVAILABLE, "refused")}),
                {"WalkEndingOnAnActiveServer", {"-listactive"}, MEDIA1_PIPES, std::nullopt, Lines{}}),
        faulted(faultRules({refusalRule("getSANClientList", CODE_UNAVAILABLE, "no"),
                            refusalRule("getFATServerList", CODE_UNAVAILABLE, "no")}),
                {"WalkWithBothListsRefused", {"-listactive"}, NONE_ACTIVE}),
        ending(CODE_SERVER_DOWN, refusalText("Failed to get active connection details", "server unreachable", CODE_SERVER_DOWN, "try again"),
               faulted(faultRules({refusalRule("getServerPipeList", CODE_SERVER_DOWN, "server unreachable", "", "try again")}),
                       {"RefusedForOneHost", {"-listactive", "-Me", "media1"}, ""}))),
    rowName<ListingCase>);

}  // namespace
