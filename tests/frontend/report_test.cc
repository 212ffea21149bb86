// Status reporting, the exception ladder and the way out of the process, each
// run in a child as a fresh qzftconfig would after start-up.
#include <gtest/gtest.h>

#include <csignal>
#include <exception>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <tuple>
#include <vector>

#include "changes/changes.h"
#include "platform/debuglog.h"
#include "platform/messages.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/report.h"
#include "session/session.h"
#include "tests/harness.h"

namespace {

// Reports a refusal holding these records (code, message, additional
// message) as the failure "F".
void reportRefusal(const std::vector<std::tuple<int, std::wstring, std::wstring>> &records) {
  QZSLOpException exception;
  exception.errRecSeq.length(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    exception.errRecSeq[i].errorCode = std::get<0>(records[i]);
    exception.errRecSeq[i].recIndex = static_cast<CORBA::Long>(i);
    exception.errRecSeq[i].localizedMsg = CORBA::wstring_dup(std::get<1>(records[i]).c_str());
    exception.errRecSeq[i].additionalMsg = CORBA::wstring_dup(std::get<2>(records[i]).c_str());
  }
  reportInfo(exception, LOG_ERROR, "F", false, "");
}

void setMessage(const char *text) { snprintf(localizedMsg, sizeof localizedMsg, "%s", text); }

[[noreturn]] void notReached(const QZSLOpException &) { _exit(3); }

// An open session whose destroy() fails, and a connected run: nothing
// listens on port 1.
void openUnreachableSession() {
  int argc = 0;
  CORBA::ORB_var orb = CORBA::ORB_init(argc, nullptr);
  CORBA::Object_var object = orb->string_to_object("corbaloc:iiop:1.2@127.0.0.1:1/qzsl/session");
  m_hostSession = Brantis::Tessark::HostSession::_unchecked_narrow(object);
  FATsrvcMgr_ptr = Corvane::Tessark::SL::FATServiceMgmt::FATServiceManager::_unchecked_narrow(object);
  closeAtRunEnd(closeHostSession);
}

struct Outcome {
  const char *name;
  std::function<void()> body;
  std::string out, err;
  int status;
  std::string logLine = "";  // a line the debug log must hold, if any
};
// A line of the debug log as the file holds it.
std::string inLog(int level, const std::string &text) { return " " + std::to_string(level) + " qzftconfig: " + text; }

TEST(Report, OutcomesOnBothStreamsTheLogAndTheExitStatus) {
  const std::vector<Outcome> outcomes = {
      {"localized on the terminal, English in the log",
       [] {
         snprintf(lc_messages, sizeof lc_messages, "de_DE.UTF-8");
         QZ_LOOKUP("ZrtFtc0051N", "No SAN clients found");
         reportInfo(LOG_INFO, "No SAN clients found", false, "");
       },
       "Keine SAN-Clients gefunden\n\n", "", STATUS_OK, inLog(LOG_INFO, "No SAN clients found:\n")},
      {"first record only, with its additional information",
       [] { reportRefusal({{CODE_SERVER_DOWN, L"busy", L"try later"}, {CODE_REFUSED, L"2nd", L""}}); },
       "", "EXIT error: busy\nEXIT status = 77\ntry later\n", CODE_SERVER_DOWN,
       inLog(LOG_ERROR, "EXIT error:status code not known to qzftconfig ; Additional info: try later ; EXIT status: 77\n")},
      {"control characters in the service's texts",
       [] { setMessage("F c\x1b[2J"); reportRefusal({{CODE_UNAVAILABLE, L"a\x1b[2J\r\nb\tc \u00fc", L"x\x7fy\n"}}); },
       "", "F c?[2J\n\nEXIT error: a?[2J?\nb\tc \xc3\xbc\nEXIT status = 5\nx?y\n\n", CODE_UNAVAILABLE},
      {"refusal 0", [] { setMessage("F"); reportRefusal({{0, L"none", L"x"}}); }, "", "F\n\n", STATUS_OK},
      {"no records", [] { setMessage("F"); reportRefusal({}); },
       "", "F\n\nEXIT error: \nEXIT status = 130\n", STATUS_INTERNAL, " ; EXIT status: 130\n"},
      {"standard exception", [] { guardedCall([] { throw std::runtime_error("fire"); }, notReached); },
       "", "Got an Exception, see log for details\n\n", STATUS_INTERNAL, inLog(LOG_ERROR, "Exception caught as fire\n")},
      {"standard output full",
       [] { if (!freopen("/dev/full", "w", stdout)) _exit(4); printf("listing"); qzftconfig_exit(STATUS_OK); },
       "", "qzftconfig: cannot write standard output: No space left on device\n", STATUS_INTERNAL,
       inLog(LOG_ERROR, "cannot write standard output: No space left on device\n")},
      {"session that cannot be destroyed", [] { openUnreachableSession(); qzftconfig_exit(7); }, "", "", 7},
      {"terminate() inside the ORB",
       [] {
         std::set_terminate(reportTermination);
         printf("kept");
         try { throw CORBA::MARSHAL(); } catch (...) { std::terminate(); }
       },
       "kept", CORBA_FAILURE, STATUS_INTERNAL, inLog(LOG_ERROR, "terminate called on IDL:omg.org/CORBA/MARSHAL")},
      {"exit handlers run at the end", [] { atexit([] { printf("handled"); }); qzftconfig_exit(STATUS_OK); }, "handled",
       "", STATUS_OK},
      // The worker's control facet lies on a page that may not be read, rather
      // than at a null pointer, which the undefined-behaviour checker would
      // catch before the processor does: its first look at it faults.
      {"segmentation fault in a rescan worker's own code",
       [] {
         openUnreachableSession();
         for (thread_table_entry_t &entry : active_threads) entry.state = THREAD_FREE;
         void *page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
         active_threads[0].control_facet =
             static_cast<Corvane::Tessark::SL::FATServiceMgmt::FATServiceControlFacet_ptr>(page);
         rescanClients({"c1\x1b"});
       },
       "", "Rescan result status for client c1? = 63\n", STATUS_RESCAN_FAULTED,
       inLog(LOG_ERROR, "Rescan result status for client c1? = 63\n")},
  };
  TestHome home;
  home.makeLogDir();
  std::filesystem::create_directory_symlink(QZ_CATALOG_DIR, home.path("msg"));
  for (const Outcome &o : outcomes) {
    SCOPED_TRACE(o.name);
    std::filesystem::remove(home.path("logs/admin/qzftconfig.log"));
    RunResult r = capture([&] {
      setenv("TESSARK_HOME", home.dir.c_str(), 1);
      progname = "qzftconfig";
      snprintf(lc_messages, sizeof lc_messages, "C");
      int error = 0;
      open_debug_log(home.path("logs").c_str(), "admin", "qzftconfig", 0666, &error);
      o.body();
    });
    expectRun(r, o.out, o.err, o.status);
    EXPECT_NE(home.debugLog().find(o.logLine), std::string::npos) << home.debugLog();
  }
}

}  // namespace
