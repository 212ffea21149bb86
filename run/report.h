// Status reporting: every outcome of a command ends here.
#pragma once
#include <string>

#include "ftservice.hh"
#include "run/runend.h"
#include "run/status.h"

using Corvane::Tessark::SL::QZSLOpException;

// Logs `text`:`object` at `level`, prints localizedMsg (stderr at level 16,
// stdout otherwise) and, with exitAfter, ends the run with the status of the
// exception's first record. `generic` prints the generic failure message and
// ends with 130 instead. Only the main thread reports.
void reportInfo(const QZSLOpException &exception, int level, const char *text, bool generic,
                const char *object, bool exitAfter);
void reportInfo(const QZSLOpException &exception, int level, const char *text, bool generic,
                const char *object);
void reportInfo(int level, const char *text, bool generic, const char *object, bool exitAfter);
void reportInfo(int level, const char *text, bool generic, const char *object);

// The status a refusal carries: the errorCode of its first record, or
// REFUSAL_WITHOUT_RECORD (130) when it has none.
enum { REFUSAL_WITHOUT_RECORD = STATUS_INTERNAL };
int refusalStatus(const QZSLOpException &exception);

// Looks up `id` into localizedMsg (and englishMsg) with the fixed text
// `text` as the default; `text` must hold no printf conversions.
void lookup_fixed_message(const char *id, const char *text);

// Looks up `id` with the default `text` and reports the service's refusal at
// level 16 with `object`; ends the run with the refusal's status.
[[noreturn]] void reportRefusal(const QZSLOpException &exception, const char *id,
                                const char *text, const char *object);

run_end_t genericEnd(const char *text, bool unsound = false);
run_end_t refusalEnd(const QZSLOpException &exception, const char *id, const char *text);
// The end that the exception in flight brings by the fixed handlers of every
// command: its log line, its one-line notice and 130.
run_end_t exceptionEnd();
// Reports `end` (which is not NONE) and ends the run.
[[noreturn]] void endRun(const run_end_t &end);

// The fixed handlers for every exception other than QZSLOpException: logs the
// exception, prints its one-line notice and ends the run with 130. Call it
// only from inside a catch block.
[[noreturn]] void reportUnexpectedException();

// The terminate handler of the process: ends the run as an ORB failure,
// standard output flushed first.
[[noreturn]] void reportTermination();

// A line of a command's progress: `shown` on standard error, `logged` in the
// debug log at `level`. A list's header comes after an empty line.
enum line_form_t { LINE_PLAIN, LINE_HEADER, LINE_LOG_ONLY };
void reportLine(int level, const char *shown, const char *logged, line_form_t form = LINE_PLAIN);

// Runs one remote step of a command. A QZSLOpException goes to `onRefusal`
// (which may end the run or let it go on); every other exception ends the run
// by the fixed handlers above.
template <typename Call, typename OnRefusal>
void guardedCall(Call &&call, OnRefusal &&onRefusal) {
  try {
    call();
  } catch (const QZSLOpException &e) {
    onRefusal(e);
  } catch (...) {
    reportUnexpectedException();
  }
}
