// "-listclients" and "-list_telemetry" on small sites and against a service
// that refuses, fails or answers with null elements.
#include "listing_site.h"

namespace {

std::string device(const char *state, const char *server, const char *serverState, int port,
                   const char *mode, int lun) {
  return std::string("\tSAN Client Device State: ") + state + "\n\tMedia Server Name      : " + server +
         "\n\tMedia Sever State      : " + serverState + "\n\tMedia Server HBA Port  : " +
         std::to_string(port) + "\n\tMedia Server Port Mode : " + mode +
         "\n\tMedia Server LUN       : " + std::to_string(lun) + "\n\n";
}

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
    {refusalRule("getMediaServersCountOfClient", CODE_REFUSED, "", "c1"), refusalRule("getFTConfigInfoSeq", CODE_REFUSED, "", "c1"),
     R"({"op": "getFATServerInfo", "arg": "media1", "call": 2, "action": "raise", "errors": [{"errorCode": )" +
         std::to_string(CODE_REFUSED) + "}]}"});
const std::string TELEMETRY_SITE =
    R"({"servers": [{"hostName": "media2", "masterServerName": "master1", "serviceVersion": "8.3"}],
        "clients": [{"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "serviceVersion": "9.0"},
                     "afatUsageInfo": {"usagePref": "Never"}}]})";
// A service that tries to rewrite the terminal (C0, DEL, C1 with the CSI),
// reorder a line (bidi controls) or forge one; "é" and CJK are plain text.
const std::string FORGING_SITE =
    R"({"clients": [{"fatClientInfo": {"hostName": "c\u001b[2J\r\nc x\u009b\u202e", "masterServerName": "m\t1\u2066é",
                                       "serviceVersion": "9\u007f\u0085中"}}]})";
// More clients, each with a device, than one buffer of output holds.
std::string manyClients() {
  std::string clients;
  for (int i = 0; i < 300; ++i) clients += R"({"fatClientInfo": {"hostName": "c)" + std::to_string(i) + R"(", "hostDevices": [{}]}},)";
  return R"({"clients": [)" + clients + R"({"fatClientInfo": {"hostName": "last"}}]})";
}
const char *const C1_COMPACT = "c c1 9.1 active master1 2 4 preferred 15 5\n"
                               "d 0 active media1 active 1 FABRIC 0\n"
                               "d 0 disabled media1 active 1 FABRIC 1\n";

const char *const FAILED = "Failed to get SAN client details";
const char *const NO_CLIENTS = "No SAN clients found\n\n";

INSTANTIATE_TEST_SUITE_P(
    Clients, Listing,
    ::testing::Values(
        // Ports 0, 0, 1, 0: three headers.
        ListingCase{"VerbosePortHeaders", {"-listclients", "-Me", "media2", "-verbose"},
                    "SAN Client Name      : c1\nSAN Client Version   : 9.1\n"
                    "SAN Client State     : active\nMaster Server Name   : master1\n"
                    "FT Server Connections: 2\nClient Ports/Server  : 4\n"
                    "Usage Preference     : preferred\nBackup Wait Time     : 15\n"
                    "Restore Wait Time    : 5\nSAN Client HBA Port  : 0\n" +
                        device("active", "media1", "active", 1, "FABRIC", 0) +
                        device("disabled", "media1", "active", 1, "FABRIC", 1) + "SAN Client HBA Port  : 1\n" +
                        device("unknown", "media2", "disabled", 2, "LOOP", 2) + "SAN Client HBA Port  : 0\n" +
                        device("missing", "media1", "active", 1, "DISCONNECTED", 3)},
        // Devices behind a server the service does not know, and without an HBA port or a device.
        ListingCase{"DevicesWithoutPorts", {"-listclients", "-C", "c3"},
                    "c c3 8.3 active master2 2 2 never 0 0\nd -1 active ghost disabled 3 PTP 7\n"
                    "d -1 active ghost disabled 3 PTP 8\nd 2 active media1 active -1 UNASSIGNED -1\n"},
        faulted(NULL_CLIENTS, {"NullElements", {"-listclients"},
                               "c n1 1 active m 0 2 fail 0 0\nd 4 active media1 active -1 UNASSIGNED -1\n"}),
        faulted(NO_CLIENT_RECORDS, {"NoClientRecords", {"-listclients"}, NO_CLIENTS}),
        faulted(NO_CLIENT_RECORDS,
                {"OneClientWithoutRecord", {"-lc", "-C", "bare", "-json"}, NO_CLIENTS, Lines{"getSANClientInfo \"bare\""}}),
        ListingCase{"UnknownClient", {"-listclients", "-C", "nobody"}, "SAN client not found\n\n"},
        on("", {"EmptySite", {"-listclients", "-Me", "media2"}, NO_CLIENTS,
                Lines{"getSANClientList \"master1\" \"media2\""}, Lines{logged(LOG_INFO, "No SAN clients found:")}}),
        ending(CODE_UNAVAILABLE, refusalText(FAILED, "database is locked", CODE_UNAVAILABLE, "retry later"),
               faulted(faultRules({refusalRule("getSANClientList", CODE_UNAVAILABLE, "database is locked", "", "retry later")}),
                       {"RefusedList", {"-listclients", "-json"}, ""})),
        // A refused query about one client is a warning; the default stands in.
        faulted(C1_REFUSALS, {"RefusedPerClientQueries", {"-listclients", "-C", "c1"},
                              "c c1 9.1 active master1 0 2 preferred 15 5\n"
                              "d 0 active media1 active 1 FABRIC 0\nd 0 disabled media1 disabled 1 FABRIC 1\n"
                              "d 1 unknown media2 disabled 2 LOOP 2\nd 0 missing media1 active 1 DISCONNECTED 3\n",
                              std::nullopt,
                              Lines{logged(LOG_WARNING, "failed to get media server count for client: c1"),
                                    logged(LOG_WARNING, "failed to get number of client port per server: c1"),
                                    logged(LOG_WARNING, "Failed to get Media Server state information: media1")}}),
        // What was printed before the failure stays printed.
        ending(STATUS_INTERNAL, CORBA_FAILURE,
               faulted(faultRules({R"({"op": "getFATServerInfo", "call": 3, "action": "system", "exception": "TRANSIENT"})"}),
                       {"OrbFailureMidListing", {"-listclients"}, C1_COMPACT, std::nullopt,
                        Lines{logged(LOG_ERROR, "CORBA Exception caught as IDL:omg.org/CORBA/TRANSIENT:1.0"
                                                " (minor code 0x00000000, completed: NO)")}})),
        // A reader gone before the first record ends the run there, quietly,
        // as it ends a filter: no other client is asked about.
        ending(128 + SIGPIPE, "", on(manyClients(), {"ReaderGone", {"-listclients"}, "",
               Lines{"getSANClientList \"\" \"\"", "getMediaServersCountOfClient \"c0\"",
                     R"(getFTConfigInfoSeq "c0" "" QZSL_QZU_CLIENT [{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"","isClient":false}])"},
               Lines{logged(LOG_INFO, "cannot write standard output: Broken pipe")}}), GONE_READER),
        ending(STATUS_INTERNAL, OUTPUT_FULL, on(manyClients(), {"OutputFull", {"-listclients"}, "", std::nullopt,
               Lines{logged(LOG_ERROR, "cannot write standard output: No space left on device")}}), "/dev/full"),
        on(TELEMETRY_SITE, {"TelemetryText", {"-list_telemetry"},
                            "m media2 8.3 disabled 0\n\nc c2 9.0 disabled master1 0 2 never 0 0\n\n"}),
        // The debug log cleans the name as the listing does.
        on(FORGING_SITE, faulted(faultRules({refusalRule("getMediaServersCountOfClient", CODE_REFUSED, "no")}),
                                 {"ControlCharactersShownAsQuestionMarks", {"-listclients"},
                                  "c c?[2J??c x?? 9??中 disabled m?1?é 0 2 never 0 0\n\n", std::nullopt,
                                  Lines{logged(LOG_WARNING, "failed to get media server count for client: c?[2J  c x??")}})),
        on(FORGING_SITE, {"ControlCharactersEscapedInJson", {"-listclients", "-json_compact"},
            R"({"SANClientList":[{"hostName":"c\u001B[2J\r\nc x\u009B)" "\u202e" R"(","serviceVersion":"9\u007F\u0085中",)"
            R"("clientState":"disabled","masterServerName":"m\t1)" "\u2066" R"(é","mediacount":0,"upref":"never",)"
            R"("backupWaitPeriod":0,"restoreWaitPeriod":0,"clientDevList":[]}]})" "\n"})),
    rowName<ListingCase>);

}  // namespace
