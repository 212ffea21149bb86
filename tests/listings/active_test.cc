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
        // The walk ends with the result of the last server, media2: none active.
        ListingCase{"Walk", LAYOUT_SITE, "", {"-listactive"}, std::string(C1_PIPES) + MEDIA1_PIPES, "", 252},
        // 252 is a complete walk, never one that could not be written.
        ListingCase{"WalkIntoAFullDevice", LAYOUT_SITE, "", {"-listactive"}, "", OUTPUT_FULL, 130, std::nullopt,
                    std::nullopt, "/dev/full"},
        // Refused client lists are skipped silently, and the walk adds no
        // empty line after a server's pipes.
        ListingCase{"WalkEndingOnAnActiveServer", LAYOUT_SITE,
                    faultRules({replyRule("getFATServerList", R"([{"hostName": "media2"}, null, {"hostName": "media1"}])"),
                                refusalRule("getClientPipeList", 5, "refused")}),
                    {"-listactive"}, MEDIA1_PIPES, "", 0, std::nullopt, Lines{}},
        ListingCase{"WalkWithBothListsRefused", LAYOUT_SITE,
                    faultRules({refusalRule("getSANClientList", 5, "no"), refusalRule("getFATServerList", 5, "no")}),
                    {"-listactive"}, "No active connections found\n\n", "", 0},
        ListingCase{"RefusedForOneHost", LAYOUT_SITE,
                    faultRules({refusalRule("getServerPipeList", 77, "server unreachable", "", "try again")}),
                    {"-listactive", "-Me", "media1"}, "",
                    "Failed to get active connection details\n\nEXIT error: server unreachable\n"
                    "EXIT status = 77\ntry again\n", 77}),
    rowName<ListingCase>);

}  // namespace
