#include "run/report.h"

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

#include "platform/debuglog.h"
#include "platform/messages.h"
#include "platform/orb.h"
#include "platform/shown.h"
#include "platform/statustext.h"
#include "platform/widetext.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/status.h"

namespace {

// The record a report is about.
struct first_record_t {
  int status = 0;
  std::string message;
  std::string additional;
};

first_record_t first_record(const QZSLOpException &exception) {
  first_record_t record;
  record.status = refusalStatus(exception);
  if (exception.errRecSeq.length() == 0) return record;
  const Corvane::Tessark::SL::ErrorRecord &first = exception.errRecSeq[0];
  record.message = shownText(wide_to_utf8(first.localizedMsg.in()).c_str(), true);
  record.additional = shownText(wide_to_utf8(first.additionalMsg.in()).c_str(), true);
  return record;
}

QZSLOpException plain_outcome() {
  Corvane::Tessark::SL::ErrorRecordSeq records;
  records.length(1);
  records[0].errorCode = 0;
  records[0].recIndex = 0;
  records[0].localizedMsg = CORBA::wstring_dup(L"");
  records[0].additionalMsg = CORBA::wstring_dup(L"");
  QZSLOpException exception;
  exception.errRecSeq = records;
  return exception;
}

}  // namespace

// A refusal without any record says nothing about what failed, so it is a
// failure of its own rather than a success.
int refusalStatus(const QZSLOpException &exception) {
  return exception.errRecSeq.length() == 0 ? REFUSAL_WITHOUT_RECORD : exception.errRecSeq[0].errorCode;
}

void lookup_fixed_message(const char *id, const char *text) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  QZ_LOOKUP(id, text);
#pragma GCC diagnostic pop
}

void reportInfo(const QZSLOpException &exception, int level, const char *text, bool generic,
                const char *object, bool exitAfter) {
  first_record_t record = first_record(exception);
  std::string line = std::string(text ? text : "") + ":" + (object ? object : "");
  logmsg(level, line.c_str(), progname);

  if (generic) {
    QZ_LOOKUP("ZrtFtc0033N", "Encountered with an error, check the log for details");
    fprintf(stderr, "%s\n\n", localizedMsg);
    qzftconfig_exit(STATUS_INTERNAL);
  }
  // The message may carry a name the service gave, such as a client's.
  if (localizedMsg[0] != '\0')
    fprintf(level == LOG_ERROR ? stderr : stdout, "%s\n\n", shownText(localizedMsg, true).c_str());
  if (!exitAfter) return;
  if (record.status == 0) qzftconfig_exit(STATUS_OK);

  fprintf(stderr, "EXIT error: %s\n", record.message.c_str());
  fprintf(stderr, "EXIT status = %d\n", record.status);
  if (!record.additional.empty()) fprintf(stderr, "%s\n", record.additional.c_str());
  char summary[8192];
  snprintf(summary, sizeof summary, "EXIT error:%s ; Additional info: %s ; EXIT status: %d",
           getECmsg(record.status), record.additional.c_str(), record.status);
  logmsg(LOG_ERROR, summary, progname);
  qzftconfig_exit(record.status);
}

void reportInfo(const QZSLOpException &exception, int level, const char *text, bool generic,
                const char *object) {
  reportInfo(exception, level, text, generic, object, true);
}

void reportInfo(int level, const char *text, bool generic, const char *object, bool exitAfter) {
  reportInfo(plain_outcome(), level, text, generic, object, exitAfter);
}

void reportInfo(int level, const char *text, bool generic, const char *object) {
  reportInfo(plain_outcome(), level, text, generic, object, true);
}

void reportRefusal(const QZSLOpException &exception, const char *id, const char *text,
                   const char *object) {
  lookup_fixed_message(id, text);
  reportInfo(exception, LOG_ERROR, text, false, object, true);
  qzftconfig_exit(STATUS_OK);  // not reached: a report with exitAfter always ends the run
}

run_end_t genericEnd(const char *text, bool unsound) {
  run_end_t end;
  end.kind = run_end_t::GENERIC;
  end.text = text;
  end.unsound = unsound;
  return end;
}

run_end_t refusalEnd(const QZSLOpException &exception, const char *id, const char *text) {
  run_end_t end;
  end.kind = run_end_t::REFUSAL;
  end.refusal = exception;
  end.status = refusalStatus(exception);
  end.id = id;
  end.text = text;
  return end;
}

namespace {

enum caught_t { CAUGHT_NOTHING, CAUGHT_ORB, CAUGHT_STANDARD, CAUGHT_OTHER };

// The one ladder over the exception in flight: which kind it is, what it
// says of itself, and whether the ORB failed the call (a system exception),
// which leaves the session unsound.
caught_t caughtException(std::string &description, bool &orbFailed) {
  std::exception_ptr current = std::current_exception();
  if (!current) return CAUGHT_NOTHING;
  try {
    std::rethrow_exception(current);
  } catch (const CORBA::Exception &e) {
    description = describeCorbaException(e);
    orbFailed = CORBA::SystemException::_downcast(&e) != nullptr;
    return CAUGHT_ORB;
  } catch (const std::exception &e) {
    description = e.what();
    return CAUGHT_STANDARD;
  } catch (...) {
    return CAUGHT_OTHER;
  }
}

}  // namespace

run_end_t exceptionEnd() {
  run_end_t end;
  end.kind = run_end_t::NOTICE;
  std::string description;
  switch (caughtException(description, end.unsound)) {
    case CAUGHT_ORB:
      end.text = "CORBA Exception caught as " + description;
      end.shown = "Got Corba Exception, see log for details\n\n";
      break;
    case CAUGHT_STANDARD:
      end.text = "Exception caught as " + description;
      end.shown = "Got an Exception, see log for details\n\n";
      break;
    default:
      end.shown = "Unknown C++ Exception\n";
  }
  return end;
}

void endRun(const run_end_t &end) {
  if (end.unsound) skipRunClosing();
  switch (end.kind) {
    case run_end_t::GENERIC:
      reportInfo(LOG_ERROR, end.text.c_str(), true, "");
      break;
    case run_end_t::REFUSAL:
      reportRefusal(end.refusal, end.id, end.text.c_str(), "");  // ends the run
    case run_end_t::NOTICE:
      if (!end.text.empty()) logmsg(LOG_ERROR, end.text.c_str(), progname);
      fputs(end.shown.c_str(), stderr);
      break;
    default:
      qzftconfig_exit(end.status);
  }
  qzftconfig_exit(STATUS_INTERNAL);
}

void reportUnexpectedException() { endRun(exceptionEnd()); }

// The ORB calls terminate() on some replies it cannot take apart; the run
// then ends like any other ORB failure instead of by SIGABRT, which would
// lose what standard output still holds. terminate() may come on a rescan
// worker, whose stack cannot be left: this is the one end of the run that is
// not the main thread's.
void reportTermination() {
  fflush(stdout);
  // A report that itself ends in terminate() cannot start over; exit() would
  // run the handlers that may have brought it there.
  static thread_local bool reporting = false;
  if (reporting) _exit(STATUS_INTERNAL);
  reporting = true;
  run_end_t end;
  end.kind = run_end_t::NOTICE;
  end.shown = "Got Corba Exception, see log for details\n\n";
  end.text = "terminate called";
  std::string description;
  caught_t caught = caughtException(description, end.unsound);
  if (caught == CAUGHT_OTHER) description = "an unknown exception";
  if (caught != CAUGHT_NOTHING) end.text += " on " + description;
  endRun(end);
}

void reportLine(int level, const char *shown, const char *logged, line_form_t form) {
  if (form != LINE_LOG_ONLY) fprintf(stderr, form == LINE_HEADER ? "\n%s\n" : "%s\n", shown);
  logmsg(level, logged, progname);
}
