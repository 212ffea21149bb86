// "-listservers" and "-listtargets" on the layout site and against a service
// that refuses, fails or answers with null elements.
#include "listing_site.h"

namespace {

std::string serverPort(int port, const char *mode, const char *speed, const char *wwn, const char *model) {
  return "FT Server HBA Port  : " + std::to_string(port) + "\nFT Server Port Mode : " + mode +
         "\nFT Server Port Speed: " + speed + "\nFT Server Port WWN  : " + wwn +
         "\nFT Server Port Model: " + model + "\n";
}

// Ports 1, 1, 2, 1 give three headers; a LUN without a port has one of its
// own. LUN 3 counts both active pipes on LUN 3, whatever their port.
const std::string PORT1 = serverPort(1, "FABRIC", "8 gBits/s", "wwn1", "QLE2562");
const std::string NO_PORT = serverPort(-1, "UNASSIGNED", "Unknown", "<unknown>", "<unknown>");
const std::string MEDIA1_VERBOSE =
    "FT Server Name     : media1\nFT Server Version  : 9.1\nFT Server State    : active\n"
    "Connection Limit   : 8\nMaximum Limit      : 16\n" +
    PORT1 + lunBlock("active", 0, 1) + lunBlock("disabled", 1, 0) +
    serverPort(2, "UNASSIGNED", "Unknown", "wwn2", "QLE2562") + lunBlock("unknown", 2, 0) + PORT1 +
    lunBlock("missing", 3, 2) + NO_PORT + lunBlock("active", 4, 0) + NO_PORT + lunBlock("active", 5, 0);
std::string targetPort(int port, const char *wwn, const char *mode, const char *model, const char *vendor) {
  return "FT Server HBA Port   : " + std::to_string(port) + "\nFT Server Port WWN   : " + wwn +
         "\nFT Server Port Mode  : " + mode + "\nFT Server Port Model : " + model +
         "\nFT Server Port Vendor: " + vendor + "\n";
}
const std::string TPORT1 = targetPort(1, "wwn1", "FABRIC", "QLE2562", "QLogic");
const std::string TNO_PORT = targetPort(-1, "<unknown>", "UNASSIGNED", "<unknown>", "<unknown>");
// A server without devices ends with one more empty line.
const std::string TARGETS_VERBOSE =
    "FT Server Name   : media1\n\n" + TPORT1 + lunBlock("active", 0, 1) + lunBlock("disabled", 1, 0) +
    targetPort(2, "wwn2", "UNASSIGNED", "QLE2562", "QLogic") + lunBlock("unknown", 2, 0) + TPORT1 +
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

INSTANTIATE_TEST_SUITE_P(
    Servers, Listing,
    ::testing::Values(
        // Everything printed comes from the list itself.
        ListingCase{"Compact", LAYOUT_SITE, "", {"-listservers"},
                    "m media1 9.1 active 8\nd 1 FABRIC active 0 1 wwn1 QLE2562 8\n"
                    "d 1 FABRIC disabled 1 0 wwn1 QLE2562 8\nd 2 UNASSIGNED unknown 2 0 wwn2 QLE2562 0\n"
                    "d 1 FABRIC missing 3 2 wwn1 QLE2562 8\nd -1 UNASSIGNED active 4 0 <unknown> <unknown> 0\n"
                    "d -1 UNASSIGNED active 5 0 <unknown> <unknown> 0\nm media2 8.3 disabled 0\n\n",
                    "", 0, Lines{"getFATServerList \"\""}},
        // The verbose text wins; the document keeps only the port lists.
        ListingCase{"VerboseWithJson", LAYOUT_SITE, "", {"-verbose", "-listservers", "-json", "-M", "master1"},
                    MEDIA1_VERBOSE + MEDIA2_VERBOSE +
                        "{\n  \"FT Server List\": [\n    {\n      \"FT Server Target HBA List\": []\n    },\n"
                        "    {\n      \"FT Server Target HBA List\": []\n    }\n  ]\n}\n",
                    "", 0, Lines{"getFATServerList \"master1\""}},
        ListingCase{"NullElements", LAYOUT_SITE, SPARSE_SERVERS, {"-listservers"},
                    "m sparse 7 active 3\nd 0 PTP active 6 1 w0 m0 -1\n", "", 0},
        ListingCase{"NullElementsTargets", LAYOUT_SITE, SPARSE_SERVERS, {"-listtargets"},
                    "m sparse\nd 0 6 w w0 active PTP m0 v0\n", "", 0},
        ListingCase{"EmptySiteJson", "", "", {"-listservers", "-json"}, "No FT servers found\n\n", "", 0},
        ListingCase{"UnknownServer", "", "", {"-listservers", "-Me", "nowhere"}, "FT server not found\n\n", "", 0},
        // Telemetry stops at the servers: no client is asked for.
        ListingCase{"EmptySiteTelemetry", "", "", {"-list_telemetry", "-json"}, "No FT servers found\n\n", "", 0,
                    Lines{"getFATServerList \"\""}},
        // 255 is the last status that leaves as it is; those above leave as 252.
        ListingCase{"RefusedList", LAYOUT_SITE, REFUSALS, {"-listservers"}, "",
                    "Failed to get FT server details\n\nEXIT error: no such master server\nEXIT status = 255\n", 255},
        ListingCase{"RefusedTargetOverflow", LAYOUT_SITE, REFUSALS, {"-listtargets", "-Me", "media1"}, "",
                    "Failed to get FT server details\n\nEXIT error: too busy\nEXIT status = 300\n", 252},
        ListingCase{"TargetsCompact", LAYOUT_SITE, "", {"-listtargets"},
                    "m media1\nd 1 0 w wwn1 active FABRIC QLE2562 QLogic\n"
                    "d 1 1 w wwn1 disabled FABRIC QLE2562 QLogic\nd 2 2 w wwn2 unknown UNASSIGNED QLE2562 QLogic\n"
                    "d 1 3 w wwn1 missing FABRIC QLE2562 QLogic\nd -1 4 w <unknown> active UNASSIGNED <unknown> <unknown>\n"
                    "d -1 5 w <unknown> active UNASSIGNED <unknown> <unknown>\nm media2\n\n",
                    "", 0},
        ListingCase{"TargetsVerbose", LAYOUT_SITE, "", {"-verbose", "-lt"}, TARGETS_VERBOSE, "", 0}),
    rowName<ListingCase>);

}  // namespace
