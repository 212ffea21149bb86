// Refusals of the FT service: the error codes, and the QZSLOpException that
// carries them to the caller.
#pragma once
#include <string>
#include <vector>

#include "hostsession.hh"

// One reason, one code (the tool exits with it, so they stay below 256 and
// clear of the tool's own statuses).
enum RefusalCode {
  INVALID_ARGUMENT = 220,
  UNKNOWN_SERVER = 221,
  UNKNOWN_CLIENT = 222,
  SERVER_EXISTS = 223,
  CLIENT_EXISTS = 224,
  PIPE_LIMIT_OUT_OF_RANGE = 225,
  NO_SERVER_CONFIGURATION = 226,
  NO_USAGE_PREFERENCE = 227,
  USAGE_PREFERENCE_EXISTS = 228,
  INVALID_USAGE_PREFERENCE = 229,
  NO_SUCH_SETTINGS = 230,
  STORE_FAILURE = 231,
  // The tool's own status for a caller who may not administer, so that a
  // refused user sees the same status from either end.
  CALLER_NOT_ALLOWED = 140,
};

// The `domain` of every exception the service raises.
const int FT_SERVICE_DOMAIN = 6;

struct ErrorText {
  int errorCode = 0;
  int recIndex = 0;
  std::string localizedMsg;   // UTF-8
  std::string additionalMsg;  // UTF-8
};

// The exception with the given records; `when` is the current time when -1.
Corvane::Tessark::SL::QZSLOpException serviceException(const std::string &host,
                                                       const std::vector<ErrorText> &records,
                                                       int domain = FT_SERVICE_DOMAIN,
                                                       long when = -1);

// Raises a one-record QZSLOpException.
[[noreturn]] void refuse(int code, const std::string &host, const std::string &message);
