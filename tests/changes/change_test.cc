// "-setconfig", "-getconfig", "-changeclient", "-deleteclient", "-changeserver"
// and "-deleteserver", one row per case: what is printed, sent and logged and,
// where something was stored, what is shown once qzsld has restarted.
#include "changes_site.h"

#include <iterator>

#include "qzsld/errors.h"

namespace {

// Master server master1 with Preferred 15/5 and 4 clients per port of its
// own; FT servers media1 (maximum 8) and media2 with a LUN each; SAN clients
// c1 (no records of its own), c2 (Never and 3 ports per server of its own)
// and c3 (a device on each LUN).
const char *const SITE = R"({"servers": [
  {"hostName": "media1", "masterServerName": "master1", "state": 1,
   "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}, "devices": [{"lun": 0, "status": 1, "devicePort": {"portNumber": 1, "mode": 2}}]},
  {"hostName": "media2", "masterServerName": "master1", "state": 1,
   "config": {"maxNumberOfPipes": 16, "numberOfPipes": 2}, "devices": [{"lun": 1, "status": 1, "devicePort": {"portNumber": 1, "mode": 2}}]}],
 "clients": [{"fatClientInfo": {"hostName": "c1", "masterServerName": "master1", "state": 1}},
  {"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "state": 1},
   "afatUsageInfo": {"usagePref": "Never", "waitPeriod": {"backupWaitPeriod": 0, "restoreWaitPeriod": 0}}},
  {"fatClientInfo": {"hostName": "c3", "masterServerName": "master1", "state": 1, "hostDevices": [
    {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 0}, "device": {"lun": 0, "status": 1, "devicePort": {"portNumber": 1, "mode": 2}}},
    {"deviceServerName": "media2", "status": 1, "hbaPort": {"portNumber": 0}, "device": {"lun": 1, "status": 1, "devicePort": {"portNumber": 1, "mode": 2}}}]}}],
 "usage": [{"host": "master1", "machineType": "QZSL_QZU_MASTER",
            "usage": {"usagePref": "Preferred", "waitPeriod": {"backupWaitPeriod": 15, "restoreWaitPeriod": 5}}}],
 "settings": [
  {"host": "master1", "machineType": "QZSL_QZU_MASTER", "confName": "FT_MAX_CLIENTS_PER_PORT", "confValue": "4"},
  {"host": "c2", "machineType": "QZSL_QZU_CLIENT", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "3"}]})";

struct Change {
  const char *name;
  Lines args;
  std::string out;
  Lines calls;               // the FT calls, in order
  Lines logged = {};         // debug-log lines that must be there
  Lines check = {};          // command lines run once qzsld has restarted ...
  std::string shown = "";    // ... and their exact output, one after the other
  std::string faults = "";   // fault rules
  std::string err = "";
  int status = STATUS_OK;
};

void PrintTo(const Change &row, std::ostream *os) { *os << row.name; }
using ChangeTest = SiteTest<Change>;

// Runs each command line of a row's check and joins what they print; before
// the change a check may fail (it shows what the change makes).
std::string shownBy(const Site &site, const Lines &check, bool mustSucceed = true) {
  std::string shown;
  for (const std::string &line : check) {
    std::istringstream words(line);
    RunResult r = runTool(site, Lines{std::istream_iterator<std::string>(words), {}});
    shown += r.out;
    if (mustSucceed) {
      EXPECT_EQ(r.status, STATUS_OK) << line << ": " << r.err;
    }
  }
  return shown;
}

TEST_P(ChangeTest, LeavesExactlyWhatTheRowSays) {
  const Change &c = GetParam();
  SiteOptions options;
  options.inventory = SITE;
  options.faults = c.faults;
  site = startSite(options);
  // Shown once before the change too (where no fault rule counts calls), so
  // that qzsld answers the check after it from an image the change made stale.
  bool before = !c.check.empty() && c.faults.empty();
  if (before) shownBy(site, c.check, false);
  size_t earlier = ftCalls(site).size();
  RunResult r = runTool(site, c.args);
  expectRun(r, c.out, c.err, c.status);
  Lines calls = ftCalls(site);
  EXPECT_EQ(Lines(calls.begin() + earlier, calls.end()), c.calls);
  expectLogged(site, c.logged);
  if (c.check.empty()) return;
  if (before) {
    EXPECT_EQ(shownBy(site, c.check), c.shown);
  }
  restartSite(site);
  EXPECT_EQ(shownBy(site, c.check), c.shown);
}

const char *const MASTER = "QZSL_QZU_MASTER", *const CLIENT = "QZSL_QZU_CLIENT";
const char *const PORTS = "FT_MAX_CLIENT_PORTS_PER_SERVER", *const PER_PORT = "FT_MAX_CLIENTS_PER_PORT";

std::string update(const std::string &host, const char *type, const char *key, const std::string &value,
                   const char *op = "updateFTConfigInfoSeq") {
  return std::string(op) + " \"" + host + "\" " + type + R"( [{"confName":")" + key +
         R"(","confValue":")" + value + R"(","isClient":false}])";
}
std::string usage(const char *op, const std::string &host, const char *type, const char *pref,
                  int backup = 0, int restore = 0) {
  return std::string(op) + " \"" + host + "\" " + type + R"( {"usagePref":")" + pref +
         R"(","waitPeriod":{"backupWaitPeriod":)" + std::to_string(backup) +
         R"(,"restoreWaitPeriod":)" + std::to_string(restore) + R"(},"isClientUsageInfo":false})";
}
// A replacement that is refused, and the same record added.
Lines setThenAdd(const std::string &host, const char *type, const char *pref, int backup = 0, int restore = 0) {
  return {usage("setUsageInfo", host, type, pref, backup, restore),
          usage("addUsageInfo", host, type, pref, backup, restore)};
}
// A row for a refusal reported with `message` about `object`.
Change refused(const char *name, const std::string &faults, const Lines &args, const std::string &message,
               const std::string &reason, int code, const Lines &calls, const std::string &object,
               const Lines &check = {}, const std::string &shown = "", const std::string &extra = "") {
  return {name, args, "", calls, {logged(LOG_ERROR, message + ":" + object)}, check, shown,
          faults, refusalText(message, reason, code, extra), code};
}
// A row that fails with `err` and `status`.
Change failure(const char *name, const Lines &args, const std::string &err, int status, const Lines &calls,
               const Lines &logged = {}, const Lines &check = {}, const std::string &shown = "") {
  return {name, args, "", calls, logged, check, shown, "", err, status};
}
// `row` on a site with `faults`.
Change faulted(const std::string &faults, Change row) {
  row.faults = faults;
  return row;
}

const char *const SET_OK = "Defaults configured successfully\n\n";
const std::string SET_FAILED = "Failed to configure defaults";
const std::string KEYS = R"([{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"","isClient":false},)"
                         R"({"confName":"FT_MAX_CLIENTS_PER_PORT","confValue":"","isClient":false}])";
const Lines GETCONFIG = {R"(getUsageInfo "master1" QZSL_QZU_MASTER)",
                         R"(getFTConfigInfoSeq "master1" "master1" QZSL_QZU_MASTER )" + KEYS};

INSTANTIATE_TEST_SUITE_P(
    Defaults, ChangeTest,
    ::testing::Values(
        Change{"PortSettingsInTwoCallsAsTyped", {"-setconfig", "-np", "04", "-ncp", "3"}, SET_OK,
               {update("master1", MASTER, PORTS, "04"), update("master1", MASTER, PER_PORT, "3")},
               {logged(LOG_INFO, "Defaults configured successfully:master1")},
               {"-getconfig"}, "u master1 04 3 preferred 15 5\n"},
        Change{"PreferredWithBothWaits", {"-setconfig", "-ftpref", "preferred", "-ftwait", "30", "-ftrwait", "45"},
               SET_OK, {usage("setUsageInfo", "master1", MASTER, "Preferred", 30, 45)}, {},
               // c1 has no preference of its own and follows its master's.
               {"-getconfig", "-listclients -C c1"},
               "u master1 2 4 preferred 30 45\nc c1  active master1 0 2 preferred 30 45\n\n"},
        // m2 has no preference of its own to replace, nor port settings.
        Change{"FailOnAnotherMasterIsAdded", {"-setconfig", "-M", "m2", "-ftpref", "fail"}, SET_OK,
               setThenAdd("m2", MASTER, "FailIfNoFT"), {}, {"-getconfig -M m2"}, "u m2 2 2 fail 0 0\n"},
        // The first of two port settings stays when the second is refused.
        refused("SecondPortSettingRefused",
                faultRules({R"({"op": "updateFTConfigInfoSeq", "call": 2, "action": "raise", "errors": [{"errorCode": )" +
                            std::to_string(CODE_REFUSED) + R"(, "localizedMsg": "no"}]})"}),
                {"-setconfig", "-np", "6", "-ncp", "5"}, SET_FAILED, "no", CODE_REFUSED,
                {update("master1", MASTER, PORTS, "6"), update("master1", MASTER, PER_PORT, "5")}, "master1",
                {"-getconfig"}, "u master1 6 4 preferred 15 5\n"),
        // A transport failure is no refusal: nothing is added after it.
        faulted(faultRules({R"({"op": "setUsageInfo", "action": "system", "exception": "COMM_FAILURE"})"}),
                failure("TransportFailureIsNoRefusal", {"-setconfig", "-ftpref", "always"}, CORBA_FAILURE,
                        STATUS_INTERNAL, {usage("setUsageInfo", "master1", MASTER, "Always")},
                        {logged(LOG_ERROR, "CORBA Exception caught as IDL:omg.org/CORBA/COMM_FAILURE:1.0"
                                           " (minor code 0x00000000, completed: NO)")})),
        refused("GetconfigUsageRefused",
                faultRules({refusalRule("getUsageInfo", NO_USAGE_PREFERENCE, "no preference", "m2")}),
                {"-getconfig", "-M", "m2"}, "Failed to read default values", "no preference", NO_USAGE_PREFERENCE,
                {R"(getUsageInfo "m2" QZSL_QZU_MASTER)"}, "m2"),
        refused("GetconfigSettingsRefused",
                faultRules({refusalRule("getFTConfigInfoSeq", CODE_UNREADABLE, "unreadable")}), {"-getconfig"},
                "Failed to read FT config information", "unreadable", CODE_UNREADABLE, GETCONFIG, "master1"),
        // Records the service leaves out or fills oddly show the defaults.
        faulted(faultRules({R"({"op": "getUsageInfo", "action": "nil"})"}),
                Change{"GetconfigWithoutUsage", {"-getconfig"}, "u master1 2 4 never 0 0\n", GETCONFIG}),
        faulted(faultRules({replyRule("getUsageInfo", R"({"usagePref": "FailIfNoFT", "waitPeriod": null})")}),
                Change{"GetconfigWithoutWait", {"-getconfig", "-verbose"},
                       "Master Server      : master1\nClient Ports/Server: 2\nClients/Target port: 4\n"
                       "FT Preference      : fail\nBackup Wait Time   : 0\nRestore Wait Time  : 0\n", GETCONFIG}),
        // Null elements and unknown names are passed over.
        faulted(faultRules({replyRule("getFTConfigInfoSeq", R"([null, {"confName": "FT_OTHER"},
                      {"confName": "FT_MAX_CLIENTS_PER_PORT", "confValue": "9"}])")}),
                Change{"GetconfigOddSettings", {"-getconfig"}, "u master1 2 9 preferred 15 5\n", GETCONFIG})),
    rowName<Change>);

const char *const CHANGED = "SAN client preferences changed successfully\n\n";
const std::string C3_LISTED = "c c3  active master1 2 2 preferred 15 5\nd 0 active media1 active 1 FABRIC 0\n"
                              "d 0 active media2 active 1 FABRIC 1\n";
const char *const DELETED = "SAN client deleted successfully\n\n";
const std::string UNKNOWN_CLIENT_TEXT = "SAN client nosuch is not known to the FT service";
const Lines C1 = {"-listclients -C c1"}, C2 = {"-listclients -C c2"};
Lines deletion(const std::string &client) {
  return {"deleteClient \"" + client + "\"", "deleteUsageInfo \"" + client + "\"",
          update(client, CLIENT, PORTS, "", "deleteFTConfigInfoSeq")};
}

INSTANTIATE_TEST_SUITE_P(
    Clients, ChangeTest,
    ::testing::Values(
        // c1 has no record of its own: the replacement is refused and the record added.
        Change{"PreferredIsAdded", {"-cc", "-C", "c1", "-ftpref", "preferred", "-ftwait", "10", "-ftrwait", "20"},
               CHANGED, setThenAdd("c1", CLIENT, "Preferred", 10, 20),
               {logged(LOG_INFO, "SAN client preferences changed successfully:c1")}, C1,
               "c c1  active master1 0 2 preferred 10 20\n\n"},
        Change{"AlwaysReplacesTheOwnRecord", {"-changeclient", "-C", "c2", "-ftpref", "always"}, CHANGED,
               {usage("setUsageInfo", "c2", CLIENT, "Always")}, {}, C2, "c c2  active master1 0 3 always 0 0\n\n"},
        Change{"AloneFallsBackToTheMasterDefaults", {"-changeclient", "-C", "c2"}, CHANGED,
               {R"(deleteUsageInfo "c2")"}, {}, C2, "c c2  active master1 0 3 preferred 15 5\n\n"},
        // Nothing of its own to remove is no failure.
        Change{"AloneWithoutRecord", {"-changeclient", "-C", "c1"}, CHANGED, {R"(deleteUsageInfo "c1")"},
               {logged(LOG_WARNING, "This client was already using master server defaults: c1")}},
        Change{"PortsPerServerAsTyped", {"-changeclient", "-C", "c1", "-np", "04"}, CHANGED,
               {update("c1", CLIENT, PORTS, "04")}, {}, C1, "c c1  active master1 0 04 preferred 15 5\n\n"},
        refused("PreferenceRefused", "", {"-changeclient", "-C", "nosuch", "-ftpref", "never"},
                "Failed to change SAN client preferences", UNKNOWN_CLIENT_TEXT, UNKNOWN_CLIENT,
                setThenAdd("nosuch", CLIENT, "Never"), "nosuch"),
        Change{"Delete", {"-deleteclient", "c2"}, DELETED, deletion("c2"),
               {logged(LOG_INFO, "SAN client deleted successfully:c2")}, {"-listclients"},
               "c c1  active master1 0 2 preferred 15 5\n\n" + C3_LISTED},
        // Refusals of the record removals are harmless.
        Change{"DeleteWithoutRecords", {"-dc", "c1", "-verbose"}, DELETED, deletion("c1"),
               {logged(LOG_ERROR, "Failed to delete preferences record, client might have used master server defaults: c1"),
                logged(LOG_ERROR,
                       "Failed to delete client ports/server record, client might have used master server defaults: c1")}},
        refused("DeleteUnknownStopsAtOnce", "", {"-deleteclient", "nosuch"}, "Failed to delete the SAN client",
                UNKNOWN_CLIENT_TEXT, UNKNOWN_CLIENT, {R"(deleteClient "nosuch")"}, "nosuch"),
        // A transport failure on a record removal is not harmless.
        faulted(faultRules({R"({"op": "deleteFTConfigInfoSeq", "action": "system", "exception": "INTERNAL"})"}),
                failure("DeleteTransportFailure", {"-deleteclient", "c2"}, CORBA_FAILURE, STATUS_INTERNAL,
                        deletion("c2")))),
    rowName<Change>);

const std::string SERVER_FAILED = "Failed to change FT server settings";
const std::string UNKNOWN_SERVER_TEXT = "FT server nosuch is not known to the FT service";
// A server's state shows in the server listing and beside each device of
// its clients.
const Lines MEDIA1 = {"-listservers -Me media1", "-listclients -C c3"};
const std::string MEDIA1_LISTED = "d 1 FABRIC active 0 0   0\nc c3  active master1 2 2 preferred 15 5\n"
                                  "d 0 active media1 disabled 1 FABRIC 0\nd 0 active media2 active 1 FABRIC 1\n";
Lines serverChange(const char *server, const char *active, const char *limit = nullptr) {
  Lines calls = {"changeServerState \"" + std::string(server) + "\" " + active,
                 "getServerConfiguration \"" + std::string(server) + "\""};
  if (limit) calls.push_back("setServerPipeLimit \"" + std::string(server) + "\" " + limit);
  return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ChangeTest,
    ::testing::Values(
        Change{"DisabledWithTheMaximum", {"-changeserver", "-Me", "media1", "-l", "8", "-state", "disabled"},
               "FT server settings changed successfully\n\n", serverChange("media1", "false", "8"),
               {logged(LOG_INFO, "FT server settings changed successfully:media1")}, MEDIA1, "m media1  disabled 8\n" + MEDIA1_LISTED},
        // The state is changed before the limit is checked, and stays changed.
        failure("LimitAboveTheMaximum", {"-cs", "-Me", "media1", "-l", "9", "-state", "disabled"},
                "Connection limit exceeds, maximum connection limit: 8\n\n\nUSAGE:\n"
                "    qzftconfig -[cs]changeserver -Me <media_server>\n"
                "               -l <connection_limit> -state <active | disabled>\n\n",
                STATUS_USAGE, serverChange("media1", "false"), {}, MEDIA1, "m media1  disabled 4\n" + MEDIA1_LISTED),
        refused("UnknownServer", "", {"-changeserver", "-Me", "nosuch", "-l", "2", "-state", "active"},
                SERVER_FAILED, UNKNOWN_SERVER_TEXT, UNKNOWN_SERVER, {R"(changeServerState "nosuch" true)"}, "nosuch"),
        refused("ConfigurationUnreadable",
                faultRules({refusalRule("getServerConfiguration", CODE_SERVER_DOWN, "media server down", "", "no answer")}),
                {"-changeserver", "-Me", "media1", "-l", "2", "-state", "disabled"},
                "Failed to read server configuration; Media Server might be down", "media server down", CODE_SERVER_DOWN,
                serverChange("media1", "false"), "media1", MEDIA1, "m media1  disabled 4\n" + MEDIA1_LISTED, "no answer"),
        refused("LimitRefused", faultRules({refusalRule("setServerPipeLimit", PIPE_LIMIT_OUT_OF_RANGE, "limit out of range")}),
                {"-changeserver", "-Me", "media2", "-l", "16", "-state", "active"}, SERVER_FAILED,
                "limit out of range", PIPE_LIMIT_OUT_OF_RANGE, serverChange("media2", "true", "16"), "media2"),
        // Without a configuration record there is no maximum to check against.
        faulted(faultRules({R"({"op": "getServerConfiguration", "action": "nil"})"}),
                failure("ConfigurationWithoutRecord", {"-changeserver", "-Me", "media1", "-l", "2", "-state", "active"},
                        GENERIC_FAILURE, STATUS_INTERNAL, serverChange("media1", "true"))),
        Change{"Delete", {"-deleteserver", "media2"}, "FT server deleted successfully\n\n",
               {R"(deleteServer "media2")"}, {logged(LOG_INFO, "FT server deleted successfully:media2")},
               {"-listservers", "-listtargets", "-listclients -C c3"},
               "m media1  active 4\nd 1 FABRIC active 0 0   0\nm media1\nd 1 0 w  active FABRIC  \n"
               "c c3  active master1 1 2 preferred 15 5\nd 0 active media1 active 1 FABRIC 0\n"},
        refused("DeleteUnknown", "", {"-ds", "nosuch"}, "Failed to delete the FT server", UNKNOWN_SERVER_TEXT, UNKNOWN_SERVER,
                {R"(deleteServer "nosuch")"}, "nosuch")),
    rowName<Change>);

}  // namespace
