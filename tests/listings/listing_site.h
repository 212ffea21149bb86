// A qzsld site for the listing tests, with helpers to read what the tool asked
// the service and what it logged.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

struct ListingTest : ::testing::Test {
  Site site;
  bool started = false;

  void start(const std::string &inventory, const std::string &faults = "") {
    SiteOptions options;
    options.inventory = inventory;
    options.faults = faults;
    site = startSite(options);
    started = true;
  }
  void TearDown() override {
    if (started) stopSite(site);
  }
  RunResult run(const std::vector<std::string> &args) { return runTool(site, args); }

  // The FT calls the run made, without the session's own calls.
  std::vector<std::string> calls() {
    static const char *const sessionCalls[] = {"getHostSession", "getFATServiceManager",
                                               "aqueryFacet", "amodifyFacet", "acontrolFacet",
                                               "destroy"};
    std::vector<std::string> ft;
    for (const std::string &line : journal(site)) {
      std::string op = line.substr(0, line.find(' '));
      bool session = false;
      for (const char *name : sessionCalls) session = session || op == name;
      if (!session) ft.push_back(line);
    }
    return ft;
  }

  // The debug log as "<level> <text>" lines, without the trace lines of start-up.
  std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    std::istringstream in(debugLog(site));
    for (std::string line; std::getline(in, line);) {
      // "date time [pid] [tid] level tag: text"
      std::istringstream fields(line);
      std::string date, time, pid, tid, level, tag;
      fields >> date >> time >> pid >> tid >> level >> tag;
      if (level == "2") continue;
      std::string text;
      std::getline(fields, text);
      if (!text.empty() && text[0] == ' ') text.erase(0, 1);
      lines.push_back(level + " " + text);
    }
    return lines;
  }
};

// A fault-rule document from rule objects written as JSON text.
inline std::string faultRules(std::initializer_list<std::string> rules) {
  std::string text = "{\"rules\": [";
  const char *separator = "";
  for (const std::string &rule : rules) {
    text += separator + rule;
    separator = ", ";
  }
  return text + "]}";
}

// A "raise" rule refusing `op` with one error record.
inline std::string refusal(const std::string &op, int code, const std::string &message,
                           const std::string &extra = "") {
  return R"({"op": ")" + op + R"(", "action": "raise", "errors": [{"errorCode": )" +
         std::to_string(code) + R"(, "localizedMsg": ")" + message + R"(", "additionalMsg": ")" +
         extra + R"("}]})";
}

// A "reply" rule answering `op` with `result` (JSON text).
inline std::string reply(const std::string &op, const std::string &result) {
  return R"({"op": ")" + op + R"(", "action": "reply", "result": )" + result + "}";
}

// A rule failing the `call`-th call of `op` with a TRANSIENT system exception.
inline std::string systemFailure(const std::string &op, int call) {
  return R"({"op": ")" + op + R"(", "call": )" + std::to_string(call) +
         R"(, "action": "system", "exception": "TRANSIENT"})";
}

const char *const CORBA_FAILURE = "Got Corba Exception, see log for details\n\n";
