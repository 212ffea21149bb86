// A qzsld site for the change and rescan tests, with helpers to read what the
// tool asked the service and what it logged.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

// Master server master1 with Preferred 15/5 and 4 clients per port of its
// own; FT servers media1 (maximum 8) and media2; SAN clients c1 (no records
// of its own), c2 (Never and 3 ports per server of its own) and c3.
const char *const CHANGES_INVENTORY = R"({
 "servers": [
  {"hostName": "media1", "masterServerName": "master1", "state": 1,
   "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}},
  {"hostName": "media2", "masterServerName": "master1", "state": 1,
   "config": {"maxNumberOfPipes": 16, "numberOfPipes": 2}}],
 "clients": [
  {"fatClientInfo": {"hostName": "c1", "masterServerName": "master1", "state": 1}},
  {"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "state": 1},
   "afatUsageInfo": {"usagePref": "Never", "waitPeriod": {"backupWaitPeriod": 0,
                     "restoreWaitPeriod": 0}, "isClientUsageInfo": true}},
  {"fatClientInfo": {"hostName": "c3", "masterServerName": "master1", "state": 1}}],
 "usage": [{"host": "master1", "machineType": "QZSL_QZU_MASTER",
            "usage": {"usagePref": "Preferred",
                      "waitPeriod": {"backupWaitPeriod": 15, "restoreWaitPeriod": 5}}}],
 "settings": [
  {"host": "master1", "machineType": "QZSL_QZU_MASTER", "confName": "FT_MAX_CLIENTS_PER_PORT",
   "confValue": "4"},
  {"host": "c2", "machineType": "QZSL_QZU_CLIENT", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER",
   "confValue": "3"}]
})";

// An inventory of SAN clients c1 .. c<count> of master1.
inline std::string clientsInventory(int count) {
  std::string text = R"({"clients": [)";
  for (int i = 1; i <= count; ++i) {
    if (i > 1) text += ", ";
    text += R"({"fatClientInfo": {"hostName": "c)" + std::to_string(i) +
            R"(", "masterServerName": "master1", "state": 1}})";
  }
  return text + "]}";
}

struct ChangesTest : ::testing::Test {
  Site site;
  bool started = false;

  void start(const std::string &faults = "", const std::string &inventory = CHANGES_INVENTORY,
             const std::vector<std::string> &qzsldArgs = {}, const std::string &confExtra = "") {
    SiteOptions options;
    options.inventory = inventory;
    options.faults = faults;
    options.qzsldArgs = qzsldArgs;
    options.confExtra = confExtra;
    site = startSite(options);
    started = true;
  }
  void TearDown() override {
    if (started) stopSite(site);
  }
  RunResult run(const std::vector<std::string> &args, const std::vector<std::string> &env = {}) {
    return runTool(site, args, env);
  }

  // The FT calls the runs made since the journal was last cleared, without
  // the session's own calls.
  std::vector<std::string> calls() { return ftCalls(site); }

  // How many journal lines are the operation `op`.
  int count(const std::string &op) {
    int n = 0;
    for (const std::string &line : journal(site)) n += line.substr(0, line.find(' ')) == op;
    return n;
  }

  // The debug log as "<level> <text>" lines, without trace lines.
  std::vector<std::string> logLines() { return ::logLines(site); }
  bool logged(const std::string &line) {
    for (const std::string &l : logLines())
      if (l == line) return true;
    return false;
  }
};

// A "raise" rule refusing `op` (for `arg` only, when given) with one record.
inline std::string refusal(const std::string &op, int code, const std::string &message,
                           const std::string &arg = "", const std::string &extra = "") {
  std::string rule = R"({"op": ")" + op + R"(", )";
  if (!arg.empty()) rule += R"("arg": ")" + arg + R"(", )";
  return rule + R"("action": "raise", "errors": [{"errorCode": )" + std::to_string(code) +
         R"(, "localizedMsg": ")" + message + R"(", "additionalMsg": ")" + extra + R"("}]})";
}

// What the tool prints on stderr for a refusal reported with `message`.
inline std::string refusalText(const std::string &message, const std::string &reason, int code,
                               const std::string &extra = "") {
  return message + "\n\nEXIT error: " + reason + "\nEXIT status = " + std::to_string(code) + "\n" +
         (extra.empty() ? "" : extra + "\n");
}
