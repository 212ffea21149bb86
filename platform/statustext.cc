#include "platform/statustext.h"

namespace {

struct status_text_t {
  int status;
  const char *text;
};

const status_text_t STATUS_TEXTS[] = {
    {0, "the requested operation was successfully completed"},
    {12, "unable to open the debug log file"},
    {20, "invalid command parameter"},
    {36, "unable to determine the program name"},
    {47, "a client rescan did not finish before the time-out"},
    {63, "a client rescan worker terminated abnormally"},
    {110, "unable to read the master server configuration"},
    {130, "system error occurred"},
    {140, "user does not have permission to perform the requested operation"},
    {252, "an unknown or out-of-range status was returned"},
};

}  // namespace

const char *getECmsg(int status) {
  for (const status_text_t &entry : STATUS_TEXTS)
    if (entry.status == status) return entry.text;
  return "status code not known to qzftconfig";
}
