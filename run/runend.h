// What ends a run, as a record.
#pragma once
#include <string>

#include "ftservice.hh"
#include "run/status.h"

using Corvane::Tessark::SL::QZSLOpException;

// An outcome that ends the run, as a plain record: built where the failure
// is met and reported by the main thread. A rescan worker keeps its own in
// its table entry until the main thread collects it.
struct run_end_t {
  enum kind_t {
    NONE,     // nothing ends the run
    GENERIC,  // `text` to the log, the generic failure message, 130
    REFUSAL,  // `refusal`, reported with `text` looked up under `id`
    NOTICE,   // `text` to the log unless empty, `shown` on stderr, 130
    QUIET,    // everything is said already: ends with `status`
  } kind = NONE;
  std::string text;
  std::string shown;
  const char *id = nullptr;
  QZSLOpException refusal;
  int status = STATUS_INTERNAL;
  // A call failed in the ORB or the thread that made it faulted: the session
  // is left unclosed.
  bool unsound = false;
};
