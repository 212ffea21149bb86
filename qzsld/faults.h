// Fault rules (--faults): make chosen calls fail, answer oddly, slow down or
// hang, so that the tool's failure paths run against a real service.
#pragma once
#include <string>
#include <vector>

#include "errors.h"
#include "recordjson.h"

enum class FaultAction { None, Raise, Nil, Reply, Delay, Hang, System, WrongType, Die };

struct FaultRule {
  std::string op;
  bool hasArg = false;
  std::string arg;  // matches the call's first string argument
  int call = 0;     // matches only the n-th call of op (from 1); 0 = every call
  FaultAction action = FaultAction::None;
  std::vector<ErrorText> errors;  // raise
  int domain = FT_SERVICE_DOMAIN; // raise
  long when = -1;                 // raise; -1 = now
  std::string hostName;           // raise; "" = the call's first string argument
  Json result;                    // reply
  int ms = 0;                     // delay
  std::string exception;          // system
};

// Reads the rules; throws std::runtime_error naming the offending rule.
void loadFaults(const std::string &path);

// Counts a call of `op` and returns the first rule that matches it, or nullptr.
const FaultRule *matchFault(const std::string &op, const std::string &arg);
