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
  std::vector<std::string> calls() { return ftCalls(site); }

  // The debug log as "<level> <text>" lines, without the trace lines of start-up.
  std::vector<std::string> logLines() { return ::logLines(site); }
};

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
