// "-listservers" and "-listtargets" on the layout site and against a service
// that refuses, fails or answers with null elements.
#include "listing_site.h"

namespace {

// The verbose lines of one LUN of an FT server.
std::string lunBlock(const char *state, int lun, int active) {
  return std::string("\tFT Server Device State   : ") + state + "\n\tAssociated LUN           : " +
         std::to_string(lun) + "\n\tActive Connections on LUN: " + std::to_string(active) + "\n\n";
}

// One HBA port's header: each label with its value.
std::string portHeader(const Lines &labels, const Lines &values) {
  std::string text;
  for (size_t i = 0; i < labels.size(); ++i) text += labels[i] + values[i] + "\n";
  return text;
}
const Lines SERVER_PORT = {"FT Server HBA Port  : ", "FT Server Port Mode : ", "FT Server Port Speed: ",
                           "FT Server Port WWN  : ", "FT Server Port Model: "};
const Lines TARGET_PORT = {"FT Server HBA Port   : ", "FT Server Port WWN   : ", "FT Server Port Mode  : ",
                           "FT Server Port Model : ", "FT Server Port Vendor: "};

// Ports 1, 1, 2, 1 give three headers; a LUN without a port has one of its
// own. LUN 3 counts both active pipes on LUN 3, whatever their port.
const std::string PORT1 = portHeader(SERVER_PORT, {"1", "FABRIC", "8 gBits/s", "wwn1", "QLE2562"});
const std::string NO_PORT = portHeader(SERVER_PORT, {"-1", "UNASSIGNED", "Unknown", "<unknown>", "<unknown>"});
const std::string MEDIA1_VERBOSE =
    "FT Server Name     : media1\nFT Server Version  : 9.1\nFT Server State    : active\n"
    "Connection Limit   : 8\nMaximum Limit      : 16\n" +
    PORT1 + lunBlock("active", 0, 1) + lunBlock("disabled", 1, 0) +
    portHeader(SERVER_PORT, {"2", "UNASSIGNED", "Unknown", "wwn2", "QLE2562"}) + lunBlock("unknown", 2, 0) + PORT1 +
    lunBlock("missing", 3, 2) + NO_PORT + lunBlock("active", 4, 0) + NO_PORT + lunBlock("active", 5, 0);
const std::string TPORT1 = portHeader(TARGET_PORT, {"1", "wwn1", "FABRIC", "QLE2562", "QLogic"});
const std::string TNO_PORT = portHeader(TARGET_PORT, {"-1", "<unknown>", "UNASSIGNED", "<unknown>", "<unknown>"});
// A server without devices ends with one more empty line.
const std::string TARGETS_VERBOSE =
    "FT Server Name   : media1\n\n" + TPORT1 + lunBlock("active", 0, 1) + lunBlock("disabled", 1, 0) +
    portHeader(TARGET_PORT, {"2", "wwn2", "UNASSIGNED", "QLE2562", "QLogic"}) + lunBlock("unknown", 2, 0) + TPORT1 +
    lunBlock("missing", 3, 2) + TNO_PORT + lunBlock("active", 4, 0) + TNO_PORT + lunBlock("active", 5, 0) +
    "FT Server Name   : media2\n\n\n";
// Without a config both limits are 0.
const std::string MEDIA2_VERBOSE = "FT Server Name     : media2\nFT Server Version  : 8.3\n"
                                   "FT Server State    : disabled\nConnection Limit   : 0\n"
                                   "Maximum Limit      : 0\n";

// Status 0xFFFF0000 shifts to a speed of -1.
const std::string SPARSE_SERVERS = faultRules({replyRule("getFATServerList", R"([null,
    {"hostName": "sparse", "serviceVersion": "7", "state": 1, "config": {"numberOfPipes": 3, "maxNumberOfPipes": 5},
     "devices": [null, {"lun": 6, "status": 1, "devicePort": {"portNumber": 0, "mode": 1, "status": -65536,
                 "portWWN": "w0", "model": "m0", "vendor": "v0"}}, null],
     "pipes": [null, {"status": 2, "device": {"lun": 6}}, {"status": 2, "device": null}, null]}, null])")});
const std::string REFUSALS = faultRules(
    {refusalRule("getFATServerList", 255, "no such master server"), refusalRule("getFATServerInfo", 300, "too busy")});

const std::string FAILED = "Failed to get FT server details";

INSTANTIATE_TEST_SUITE_P(
    Servers, Listing,
    ::testing::Values(
        // Everything printed comes from the list itself.
        ListingCase{"Compact", {"-listservers"}, "m media1 9.1 active 8\nd 1 FABRIC active 0 1 wwn1 QLE2562 8\n"
                    "d 1 FABRIC disabled 1 0 wwn1 QLE2562 8\nd 2 UNASSIGNED unknown 2 0 wwn2 QLE2562 0\n"
                    "d 1 FABRIC missing 3 2 wwn1 QLE2562 8\nd -1 UNASSIGNED active 4 0 <unknown> <unknown> 0\n"
                    "d -1 UNASSIGNED active 5 0 <unknown> <unknown> 0\nm media2 8.3 disabled 0\n\n",
                    Lines{"getFATServerList \"\""}},
        // The verbose text wins; the document keeps only the port lists.
        ListingCase{"VerboseWithJson", {"-verbose", "-listservers", "-json", "-M", "master1"},
                    MEDIA1_VERBOSE + MEDIA2_VERBOSE +
                        "{\n  \"FT Server List\": [\n    {\n      \"FT Server Target HBA List\": []\n    },\n"
                        "    {\n      \"FT Server Target HBA List\": []\n    }\n  ]\n}\n",
                    Lines{"getFATServerList \"master1\""}},
        faulted(SPARSE_SERVERS, {"NullElements", {"-listservers"}, "m sparse 7 active 3\nd 0 PTP active 6 1 w0 m0 -1\n"}),
        faulted(SPARSE_SERVERS, {"NullElementsTargets", {"-listtargets"}, "m sparse\nd 0 6 w w0 active PTP m0 v0\n"}),
        on("", {"EmptySiteJson", {"-listservers", "-json"}, "No FT servers found\n\n"}),
        on("", {"UnknownServer", {"-listservers", "-Me", "nowhere"}, "FT server not found\n\n"}),
        // Telemetry stops at the servers: no client is asked for.
        on("", {"EmptySiteTelemetry", {"-list_telemetry", "-json"}, "No FT servers found\n\n", Lines{"getFATServerList \"\""}}),
        // 255 is the last status that leaves as it is; those above leave as 252.
        ending(255, refusalText(FAILED, "no such master server", 255), faulted(REFUSALS, {"RefusedList", {"-listservers"}, ""})),
        ending(STATUS_OUT_OF_RANGE, refusalText(FAILED, "too busy", 300),
               faulted(REFUSALS, {"RefusedTargetOverflow", {"-listtargets", "-Me", "media1"}, ""})),
        ListingCase{"TargetsCompact", {"-listtargets"}, "m media1\nd 1 0 w wwn1 active FABRIC QLE2562 QLogic\n"
                    "d 1 1 w wwn1 disabled FABRIC QLE2562 QLogic\nd 2 2 w wwn2 unknown UNASSIGNED QLE2562 QLogic\n"
                    "d 1 3 w wwn1 missing FABRIC QLE2562 QLogic\nd -1 4 w <unknown> active UNASSIGNED <unknown> <unknown>\n"
                    "d -1 5 w <unknown> active UNASSIGNED <unknown> <unknown>\nm media2\n\n"},
        ListingCase{"TargetsVerbose", {"-verbose", "-lt"}, TARGETS_VERBOSE}),
    rowName<ListingCase>);

}  // namespace
