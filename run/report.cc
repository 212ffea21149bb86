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
#include "session/session.h"

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
  if (generic || exitAfter) enter_run_end();
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
  enter_run_end();
  lookup_fixed_message(id, text);
  reportInfo(exception, LOG_ERROR, text, false, object, true);
  qzftconfig_exit(STATUS_OK);  // not reached: a report with exitAfter always ends the run
}

void reportUnexpectedException() {
  enter_run_end();
  try {
    throw;
  } catch (const CORBA::Exception &e) {
    dropHostSessionAfter(e);
    reportOrbFailure(("CORBA Exception caught as " + describeCorbaException(e)).c_str());
  } catch (const std::exception &e) {
    std::string line = std::string("Exception caught as ") + e.what();
    logmsg(LOG_ERROR, line.c_str(), progname);
    fprintf(stderr, "%s\n\n", "Got an Exception, see log for details");
  } catch (...) {
    fprintf(stderr, "Unknown C++ Exception\n");
  }
  qzftconfig_exit(STATUS_INTERNAL);
}

void reportOrbFailure(const char *cause) {
  enter_run_end();
  logmsg(LOG_ERROR, cause, progname);
  fprintf(stderr, "%s\n\n", "Got Corba Exception, see log for details");
  qzftconfig_exit(STATUS_INTERNAL);
}

// The ORB calls terminate() on some replies it cannot take apart; the run
// then ends like any other ORB failure instead of by SIGABRT, which would
// lose what standard output still holds.
void reportTermination() {
  // A report that itself ends in terminate() must not start over.
  static thread_local bool reporting = false;
  fflush(stdout);
  if (reporting) _exit(STATUS_INTERNAL);
  reporting = true;
  std::string cause = "terminate called";
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const CORBA::Exception &e) {
      cause += " on " + describeCorbaException(e);
    } catch (const std::exception &e) {
      cause += std::string(" on ") + e.what();
    } catch (...) {
      cause += " on an unknown exception";
    }
  }
  reportOrbFailure(cause.c_str());
}
