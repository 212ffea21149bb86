#include "frontend/admincheck.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "platform/debuglog.h"
#include "platform/masterconfig.h"
#include "platform/messages.h"
#include "platform/remoteout.h"
#include "platform/roles.h"
#include "run/globals.h"

int jobmgr_flag = 0;
int bRemote = 0;
int OUTSOCK = -1;

namespace {

const char *const CHECK_TAG = "check_if_local_qzu_admin_for_secure_command";
const size_t CHECK_MSG_SIZE = 2148;

void trace(const char *format, int value) {
  char line[CHECK_MSG_SIZE];
  snprintf(line, sizeof line, format, value);
  logmsg(LOG_TRACE, line, CHECK_TAG);
}

// Prints the localized refusal, logs its English form and ends the process.
[[noreturn]] void refuse(const char *localized, const char *english, const char *format, int status) {
  xfprintf(stderr, format, localized);
  logmsg(LOG_ERROR, english, CHECK_TAG);
  exit(status);
}

[[noreturn]] void refuse_superuser(const char *name, int status) {
  char localized[CHECK_MSG_SIZE], english[CHECK_MSG_SIZE];
  lookupMessage("ZrtCom0030N", lc_messages, sizeof localized, localized, "C", sizeof english,
                english, "%s: must be superuser to execute\n", name);
  refuse(localized, english, "%s", status);
}

}  // namespace

void check_if_local_qzu_admin(const char *name) {
  check_if_local_qzu_admin_for_secure_command(name, 0);
}

void check_if_local_qzu_admin_for_secure_command(const char *name, int secureCommand) {
  char localized[CHECK_MSG_SIZE], english[CHECK_MSG_SIZE];
  int result = QZ_read_master_config();
  if (result != 0) {
    trace("QZ_read_master_config failed: %d", result);
    lookupMessage("ZrtDup0500N", lc_messages, sizeof localized, localized, "C", sizeof english,
                  english, "Error occurred during initialization, check master configuration file");
    refuse(localized, english, "%s\n", result);
  }

  char line[CHECK_MSG_SIZE];
  snprintf(line, sizeof line, "VERBOSE = %d", get_configured_verbose(name, "admin"));
  logmsg(LOG_TRACE, line, name);

  const master_config_t *config = get_master_config_ptr();
  int mode = config != nullptr ? config->use_kmtl : USE_KMTL_AUTOMATIC;
  if (mode == USE_KMTL_REQUIRED) {
    logmsg(LOG_TRACE, "use_kmtl == USE_KMTL_REQUIRED", CHECK_TAG);
    return;
  }

  int admin = 0, second = 0;
  result = getLocalRoles(&admin, &second, 60);
  if (result != 0) {
    trace("getLocalRoles failed: %d", result);
    refuse_superuser(name, result);
  }
  if (admin) return;

  if (mode == USE_KMTL_PROHIBITED && secureCommand == 0) {
    logmsg(LOG_TRACE, "use_kmtl == USE_KMTL_PROHIBITED", CHECK_TAG);
    refuse_superuser(name, 140);
  }

  result = checkUserCredential(0, 0, 0, 0);
  if (result == 0) {
    logmsg(LOG_TRACE, "use_kmtl == USE_KMTL_AUTOMATIC", CHECK_TAG);
    return;
  }
  trace("checkUserCredential failed: %d", result);
  int authType = 0;
  result = getAuthenticationType(&authType);
  if (result != 0) trace("getAuthenticationType failed: %d", result);
  if (mode == USE_KMTL_PROHIBITED && authType == 1) {
    lookupMessage("ZrtCom0029N", lc_messages, sizeof localized, localized, "C", sizeof english,
                  english, "%s: user must have valid certificate or must be superuser to execute\n",
                  name);
    refuse(localized, english, "%s", 140);
  }
  refuse_superuser(name, 140);
}

int xfprintf(FILE *stream, const char *format, ...) {
  char text[CHECK_MSG_SIZE];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);

  if (jobmgr_flag && stream == stderr) logmsg(LOG_TRACE, text, progname ? progname : "xfprintf");
  int length = static_cast<int>(strlen(text));
  if (!bRemote) return fputs(text, stream) < 0 ? -1 : length;

  // Remote output: the text travels over the stream's descriptor, framed by
  // its length (with the terminator) and the descriptor it was meant for.
  OUTSOCK = fileno(stream);
  int error = 0;
  char failure[64];
  if (put_short(OUTSOCK, length + 1, &error) < 0) {
    snprintf(failure, sizeof failure, "put_short failed: %d", error);
    logmsg(LOG_ERROR, failure, progname ? progname : "xfprintf");
  }
  if (put_short(OUTSOCK, OUTSOCK, &error) < 0) {
    snprintf(failure, sizeof failure, "put_short failed: %d", error);
    logmsg(LOG_ERROR, failure, progname ? progname : "xfprintf");
  }
  if (put_string(OUTSOCK, text, &error) < 0) {
    snprintf(failure, sizeof failure, "put_string failed: %d", error);
    logmsg(LOG_ERROR, failure, progname ? progname : "xfprintf");
  }
  return length;
}
