#include "frontend/usage.h"

#include <cstdio>
#include <cstring>

#include "frontend/commands.h"
#include "platform/messages.h"
#include "platform/version.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/report.h"
#include "run/status.h"

namespace {

struct error_message_t {
  const char *id;
  const char *text;
};

// The messages of print_error, in the order of the ERR_ codes.
const error_message_t error_messages[] = {
    {"ZrtFtc0014N", "Invalid or missing arguments"},
    {"ZrtFtc0002N", "Invalid hostname name or length. Special characters are not allowed in Hostname"},
    {"ZrtFtc0003N", "-ftpref value should be: preferred | always | never | fail"},
    {"ZrtFtc0004N",
     "Invalid -ftwait or -ftrwait value, it must be numeric and be in the range of 1 to 1441 "
     "inclusive"},
    {"ZrtFtc0005N", "Invalid connection limit value"},
    {"ZrtFtc0006N", "-state value should be: active | disabled"},
    {"ZrtFtc0007N", "-ftwait and -ftrwait are valid only if -ftpref is 'preferred'"},
    {"ZrtFtc0008N", "Argument -state is missing"},
    {"ZrtFtc0009N", "Argument -l is missing"},
    {"ZrtFtc0016N", "Argument -C is missing"},
    {"ZrtFtc0011N", "Argument -Me is missing"},
    {"ZrtFtc0012N", "Argument -ftwait is missing"},
    {"ZrtFtc0013N", "Argument -ftrwait is missing"},
    {"ZrtFtc0019N", "Invalid -np value, number of ports should be at least 2"},
    {"ZrtFtc0020N", "-ftpref and -np are mutually exclusive options"},
    {"ZrtFtc0083N", "Invalid -ncp value, number of clients per target port should be at least 1"},
    {"ZrtFtc0082N", "-ftpref and -ncp are mutually exclusive options"},
};
const int error_message_count = sizeof error_messages / sizeof error_messages[0];

}  // namespace

// An unknown command leaves whatever the buffer holds: at worst an empty
// line, never a usage text that belongs to another command.
static void lookup_usage(const char *command) {
  const command_t *row = find_command_by_keyword(command);
  if (row != nullptr) lookup_fixed_message(row->usageId, row->usageText);
}

void print_usage(const char *command) {
  lookup_usage(command);
  fprintf(stderr, "%s\n\n", localizedMsg);
  qzftconfig_exit(STATUS_USAGE);
}

void answer_version_or_help(int argc, char **argv) {
  if (argc != 2) return;
  if (strcmp(argv[1], "--version") == 0) {
    printf("qzftconfig %s\n", QZ_VERSION);
    qzftconfig_exit(STATUS_OK);
  }
  if (strcmp(argv[1], "--help") == 0) {
    lookup_usage("-help");
    printf("%s\n\n", localizedMsg);
    qzftconfig_exit(STATUS_OK);
  }
}

void print_error(int code, const char *command) {
  if (code < 0 || code >= error_message_count) code = ERR_ARGUMENTS;
  lookup_fixed_message(error_messages[code].id, error_messages[code].text);
  fprintf(stderr, "\n%s\n", localizedMsg);
  print_usage(command);
}

void invalidArg(const char *argument, const char *command) {
  QZ_LOOKUP("ZrtFtc0015N", "Invalid or duplicate argument: %s", argument);
  fprintf(stderr, "\n%s\n", localizedMsg);
  print_usage(command);
}
