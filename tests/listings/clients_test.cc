// "-listclients" and "-list_telemetry" on small sites and against a service
// that refuses, fails or answers with null elements.
#include "listing_site.h"

namespace {

std::string portsQuery(const std::string &client, const std::string &master) {
  return "getFTConfigInfoSeq \"" + client + "\" \"" + master + "\" QZSL_QZU_CLIENT " +
         R"([{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"","isClient":false}])";
}

std::string device(const char *state, const char *server, const char *serverState, int port,
                   const char *mode, int lun) {
  return std::string("\tSAN Client Device State: ") + state + "\n\tMedia Server Name      : " + server +
         "\n\tMedia Sever State      : " + serverState + "\n\tMedia Server HBA Port  : " +
         std::to_string(port) + "\n\tMedia Server Port Mode : " + mode +
         "\n\tMedia Server LUN       : " + std::to_string(lun) + "\n\n";
}

// A device without an HBA port never shares the port header.
const std::string C3_VERBOSE = "SAN Client Name      : c3\nSAN Client Version   : 8.3\n"
                               "SAN Client State     : active\nMaster Server Name   : master2\n"
                               "FT Server Connections: 2\nClient Ports/Server  : 2\n"
                               "Usage Preference     : never\nSAN Client HBA Port  : -1\n" +
                               device("active", "ghost", "disabled", 3, "PTP", 7) +
                               "SAN Client HBA Port  : -1\n" + device("active", "ghost", "disabled", 3, "PTP", 8) +
                               "SAN Client HBA Port  : 2\n" +
                               device("active", "media1", "active", -1, "UNASSIGNED", -1);

const std::string NULL_CLIENTS = faultRules(
    {replyRule("getSANClientList",
           R"([null, {"fatClientInfo": {"hostName": "n1", "masterServerName": "m", "serviceVersion": "1", "state": 1,
                "hostDevices": [null, {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 4}}, null]},
               "afatUsageInfo": {"usagePref": "FailIfNoFT", "waitPeriod": null}},
              {"fatClientInfo": null, "afatUsageInfo": null}, null])"),
     replyRule("getFTConfigInfoSeq", "[null]")});
const std::string NO_CLIENT_RECORDS =
    faultRules({replyRule("getSANClientList", R"([null, {"fatClientInfo": null}])"),
                replyRule("getSANClientInfo", R"({"fatClientInfo": null})", "bare")});
const std::string C1_REFUSALS = faultRules(
    {R"({"op": "getMediaServersCountOfClient", "arg": "c1", "action": "raise", "errors": [{"errorCode": 9}]})",
     R"({"op": "getFTConfigInfoSeq", "arg": "c1", "action": "raise", "errors": [{"errorCode": 9}]})",
     R"({"op": "getFATServerInfo", "arg": "media1", "call": 2, "action": "raise", "errors": [{"errorCode": 9}]})"});
const std::string TELEMETRY_SITE =
    R"({"servers": [{"hostName": "media2", "masterServerName": "master1", "serviceVersion": "8.3"}],
        "clients": [{"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "serviceVersion": "9.0"},
                     "afatUsageInfo": {"usagePref": "Never"}}]})";
// A service that tries to rewrite the terminal or forge a listing line.
const std::string FORGING_SITE =
    R"({"clients": [{"fatClientInfo": {"hostName": "c\u001b[2J\r\nc x", "masterServerName": "m\t1",
                                       "serviceVersion": "9\u007f"}}]})";
const char *const C1_COMPACT = "c c1 9.1 active master1 2 4 preferred 15 5\n"
                               "d 0 active media1 active 1 FABRIC 0\n"
                               "d 0 disabled media1 active 1 FABRIC 1\n";

INSTANTIATE_TEST_SUITE_P(
    Clients, Listing,
    ::testing::Values(
        // Per client two calls and one per device, nothing cached.
        ListingCase{"Compact", LAYOUT_SITE, "", {"-listclients"},
                    std::string(C1_COMPACT) + "d 1 unknown media2 disabled 2 LOOP 2\n"
                    "d 0 missing media1 active 1 DISCONNECTED 3\n"
                    "c c2 9.0 disabled master1 0 2 always 3 4\n\n"
                    "c c3 8.3 active master2 2 2 never 0 0\n"
                    "d -1 active ghost disabled 3 PTP 7\nd -1 active ghost disabled 3 PTP 8\n"
                    "d 2 active media1 active -1 UNASSIGNED -1\n", "", 0,
                    Lines{"getSANClientList \"\" \"\"", "getMediaServersCountOfClient \"c1\"",
                          portsQuery("c1", "master1"), "getFATServerInfo \"media1\"",
                          "getFATServerInfo \"media1\"", "getFATServerInfo \"media2\"",
                          "getFATServerInfo \"media1\"", "getMediaServersCountOfClient \"c2\"",
                          portsQuery("c2", "master1"), "getMediaServersCountOfClient \"c3\"",
                          portsQuery("c3", "master2"), "getFATServerInfo \"ghost\"",
                          "getFATServerInfo \"ghost\"", "getFATServerInfo \"media1\""}},
        // Ports 0, 0, 1, 0: three headers.
        ListingCase{"VerbosePortHeaders", LAYOUT_SITE, "", {"-listclients", "-Me", "media2", "-verbose"},
                    "SAN Client Name      : c1\nSAN Client Version   : 9.1\n"
                    "SAN Client State     : active\nMaster Server Name   : master1\n"
                    "FT Server Connections: 2\nClient Ports/Server  : 4\n"
                    "Usage Preference     : preferred\nBackup Wait Time     : 15\n"
                    "Restore Wait Time    : 5\nSAN Client HBA Port  : 0\n" +
                        device("active", "media1", "active", 1, "FABRIC", 0) +
                        device("disabled", "media1", "active", 1, "FABRIC", 1) + "SAN Client HBA Port  : 1\n" +
                        device("unknown", "media2", "disabled", 2, "LOOP", 2) + "SAN Client HBA Port  : 0\n" +
                        device("missing", "media1", "active", 1, "DISCONNECTED", 3),
                    "", 0},
        ListingCase{"VerboseNoHbaPort", LAYOUT_SITE, "", {"-lc", "-C", "c3", "-verbose"}, C3_VERBOSE, "", 0},
        // The verbose text wins; the document keeps only the device lists.
        ListingCase{"VerboseWithJson", LAYOUT_SITE, "", {"-verbose", "-listclients", "-M", "master2", "-json"},
                    C3_VERBOSE + "{\n  \"SANClientList\": [\n    {\n      \"clientDevList\": []\n    }\n  ]\n}\n",
                    "", 0},
        ListingCase{"JsonCompact", LAYOUT_SITE, "", {"-listclients", "-M", "master2", "-json_compact"},
                    R"({"SANClientList":[{"hostName":"c3","serviceVersion":"8.3","clientState":"active",)"
                    R"("masterServerName":"master2","mediacount":2,"upref":"never","backupWaitPeriod":0,)"
                    R"("restoreWaitPeriod":0,"clientDevList":[{"clientHBA":-1,"deviceState":"active",)"
                    R"("deviceServerName":"ghost","serverState":"disabled","pdPortNumber":3,"pdPortMode":"PTP",)"
                    R"("pdLun":7},{"clientHBA":-1,"deviceState":"active","deviceServerName":"ghost",)"
                    R"("serverState":"disabled","pdPortNumber":3,"pdPortMode":"PTP","pdLun":8},{"clientHBA":2,)"
                    R"("deviceState":"active","deviceServerName":"media1","serverState":"active",)"
                    R"("pdPortNumber":-1,"pdPortMode":"UNASSIGNED","pdLun":-1}]}]})" "\n", "", 0},
        ListingCase{"NullElements", LAYOUT_SITE, NULL_CLIENTS, {"-listclients"},
                    "c n1 1 active m 0 2 fail 0 0\nd 4 active media1 active -1 UNASSIGNED -1\n", "", 0},
        ListingCase{"NoClientRecords", LAYOUT_SITE, NO_CLIENT_RECORDS, {"-listclients"},
                    "No SAN clients found\n\n", "", 0},
        // JSON list mode never reports: the list is just empty.
        ListingCase{"NoClientRecordsJson", LAYOUT_SITE, NO_CLIENT_RECORDS, {"-listclients", "-json"},
                    "{\n  \"SANClientList\": []\n}\n", "", 0},
        ListingCase{"OneClientWithoutRecord", LAYOUT_SITE, NO_CLIENT_RECORDS, {"-lc", "-C", "bare", "-json"},
                    "No SAN clients found\n\n", "", 0, Lines{"getSANClientInfo \"bare\""}},
        ListingCase{"UnknownClient", LAYOUT_SITE, "", {"-listclients", "-C", "nobody"},
                    "SAN client not found\n\n", "", 0},
        ListingCase{"EmptySite", "", "", {"-listclients", "-Me", "media2"},
                    "No SAN clients found\n\n", "", 0, Lines{"getSANClientList \"master1\" \"media2\""},
                    Lines{"4 No SAN clients found:"}},
        ListingCase{"RefusedList", LAYOUT_SITE,
                    faultRules({refusalRule("getSANClientList", 5, "database is locked", "", "retry later")}),
                    {"-listclients", "-json"}, "",
                    "Failed to get SAN client details\n\nEXIT error: database is locked\n"
                    "EXIT status = 5\nretry later\n",
                    5, std::nullopt,
                    Lines{"16 Failed to get SAN client details:",
                          "16 EXIT error:status code not known to qzftconfig ; Additional info: retry later ; EXIT status: 5"}},
        // A refused query about one client is a warning; the default stands in.
        ListingCase{"RefusedPerClientQueries", LAYOUT_SITE, C1_REFUSALS, {"-listclients", "-C", "c1"},
                    "c c1 9.1 active master1 0 2 preferred 15 5\n"
                    "d 0 active media1 active 1 FABRIC 0\nd 0 disabled media1 disabled 1 FABRIC 1\n"
                    "d 1 unknown media2 disabled 2 LOOP 2\nd 0 missing media1 active 1 DISCONNECTED 3\n",
                    "", 0, std::nullopt,
                    Lines{"8 failed to get media server count for client: c1",
                          "8 failed to get number of client port per server: c1",
                          "8 Failed to get Media Server state information: media1"}},
        // What was printed before the failure stays printed.
        ListingCase{"OrbFailureMidListing", LAYOUT_SITE, faultRules({systemFailure("getFATServerInfo", 3)}),
                    {"-listclients"}, C1_COMPACT, CORBA_FAILURE, 130,
                    Lines{"getSANClientList \"\" \"\"", "getMediaServersCountOfClient \"c1\"",
                          portsQuery("c1", "master1"), "getFATServerInfo \"media1\"",
                          "getFATServerInfo \"media1\"", "getFATServerInfo \"media2\""},
                    Lines{"16 CORBA Exception caught as IDL:omg.org/CORBA/TRANSIENT:1.0 (minor code 0x00000000, completed: NO)"}},
        // A single host is printed on its own, before the other half's document.
        ListingCase{"TelemetryOneClient", TELEMETRY_SITE, "", {"-list_telemetry", "-C", "c2", "-json_compact"},
                    R"({"hostName":"c2","serviceVersion":"9.0","clientState":"disabled","masterServerName":"master1",)"
                    R"("mediacount":0,"upref":"never","backupWaitPeriod":0,"restoreWaitPeriod":0,"clientDevList":[]})" "\n"
                    R"({"SAN Client Telemetry Data":[{"FT Server List":[{"FT Server Name":"media2",)"
                    R"("FT Server Version":"8.3","FT Server State":"disabled","Connection Limit":0,)"
                    R"("Maximum Limit":0,"FT Server Target HBA List":[]}]}]})" "\n", "", 0},
        ListingCase{"TelemetryOneServer", TELEMETRY_SITE, "", {"-list_telemetry", "-Me", "media2", "-json_compact"},
                    R"({"FT Server Name":"media2","FT Server Version":"8.3","FT Server State":"disabled",)"
                    R"("Connection Limit":0,"Maximum Limit":0,"FT Server Target HBA List":[]})" "\n"
                    R"({"SAN Client Telemetry Data":[{"SANClientList":[]}]})" "\n", "", 0},
        ListingCase{"TelemetryText", TELEMETRY_SITE, "", {"-list_telemetry"},
                    "m media2 8.3 disabled 0\n\nc c2 9.0 disabled master1 0 2 never 0 0\n\n", "", 0},
        ListingCase{"ControlCharactersShownAsQuestionMarks", FORGING_SITE, "", {"-listclients"},
                    "c c?[2J??c x 9? disabled m?1 0 2 never 0 0\n\n", "", 0},
        ListingCase{"ControlCharactersKeptInJson", FORGING_SITE, "", {"-listclients", "-json_compact"},
                    R"({"SANClientList":[{"hostName":"c\u001B[2J\r\nc x","serviceVersion":"9)" "\x7f" R"(",)"
                    R"("clientState":"disabled","masterServerName":"m\t1","mediacount":0,"upref":"never",)"
                    R"("backupWaitPeriod":0,"restoreWaitPeriod":0,"clientDevList":[]}]})" "\n", "", 0}),
    rowName<ListingCase>);

}  // namespace
