// qzftconfig: administration of the FT feature through the local QZSL.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "frontend/admincheck.h"
#include "frontend/dispatch.h"
#include "frontend/usage.h"
#include "platform/debuglog.h"
#include "platform/hostinfo.h"
#include "platform/masterconfig.h"
#include "platform/messages.h"
#include "platform/version.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/report.h"
#include "run/status.h"

// baseName answers in storage that its next call overwrites; the name must
// outlive that.
static void takeProgramName(const char *argv0) {
  static std::string name;
  const char *base = baseName(argv0, "exe");
  if (base == nullptr) {
    QZ_LOOKUP("ZrtFtc0010N", "Failed to get program name\n");
    fprintf(stderr, "%s\n", localizedMsg);
    exit(STATUS_NO_PROGRAM_NAME);
  }
  name = base;
  progname = name.c_str();
}

// The debug log is kept only where the administrator created its directory.
static void openDebugLog() {
  std::string logs = std::string(tessark_home()) + "/logs";
  // A path too long to look at may still name the directory: the open then
  // says why the log cannot be kept there.
  if (access((logs + "/admin").c_str(), F_OK) != 0 && errno != ENAMETOOLONG) return;
  int error = 0;
  debugFD = open_debug_log(logs.c_str(), "admin", "qzftconfig", 0666, &error);
  // The log folder is root's: a caller whom the rights check may still allow
  // but who may not write there runs unlogged rather than being stopped.
  // Root, and anyone facing something planted at the log's path, is stopped.
  if (debugFD < 0 && error == EACCES && geteuid() != 0) return;
  if (debugFD < 0) {
    QZ_LOOKUP("ZrtCom0020N", "%s: terminating - cannot open debug file: %s (%d)\n", progname,
              strerror(error), error);
    fprintf(stderr, "%s\n", localizedMsg);
    exit(STATUS_NO_DEBUG_LOG);
  }
}

// Without a readable configuration the run goes on: the listings can still
// be asked about a named master server, and the rights check reports an
// unreadable configuration itself.
static void readMasterConfig() {
  if (QZ_read_master_config() == 0) {
    const master_config_t *config = get_master_config_ptr();
    if (config == nullptr) {
      QZ_LOOKUP("ZrtFtc0086N", "Failed to get local machine's Master Server config\n");
      fprintf(stderr, "%s\n", localizedMsg);
      exit(STATUS_NO_MASTER_CONFIG);
    }
    if (!config->servers.empty()) {
      master_server = config->servers.front();
      conn_timeout = config->connect_timeout;
      rqst_timeout = config->request_timeout;
      return;
    }
  }
  logmsg(LOG_WARNING, "Failed to get local machine's Master Server name", progname);
}

static void run(int argc, char **argv) {
  vbose = false;
  umask(022);
  int localeStatus = 0;
  getLocaleSettings(lc_messages, sizeof lc_messages, lc_ctype, sizeof lc_ctype, lc_time,
                    sizeof lc_time, lc_collate, sizeof lc_collate, lc_numeric, sizeof lc_numeric,
                    &localeStatus);
  takeProgramName(argc > 0 ? argv[0] : nullptr);
  // What the program is and how to call it tells nothing about the site, so
  // anyone who may run it gets the answer: before the debug log, whose folder
  // a caller may not write, and before the configuration and the rights check.
  answer_version_or_help(argc, argv);
  openDebugLog();
  logmsg(LOG_TRACE, "version " QZ_VERSION, progname);
  readMasterConfig();
  check_if_local_qzu_admin(progname);
  logparams(argc, argv);
  dispatch(argc, argv);
}

// Every remote call has its own handlers; this is the last line behind them,
// so that no exception of any path ends the process by terminate().
int main(int argc, char **argv) {
  guardStaticsAtExit();
  std::set_terminate(reportTermination);
  try {
    run(argc, argv);
  } catch (...) {
    reportUnexpectedException();
  }
  qzftconfig_exit(STATUS_INTERNAL);
}
