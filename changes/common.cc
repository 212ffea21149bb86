#include "changes/common.h"

#include <string>

#include "platform/debuglog.h"
#include "run/globals.h"
#include "run/status.h"
#include "session/session.h"

namespace OBV_FSM = OBV_Corvane::Tessark::SL::FATServiceMgmt;
using Corvane::Tessark::DL::FATClient::FATUsagePreference;

const char *const CLIENT_PORTS_PER_SERVER_KEY = "FT_MAX_CLIENT_PORTS_PER_SERVER";
const char *const CLIENTS_PER_PORT_KEY = "FT_MAX_CLIENTS_PER_PORT";

FSM::FTConfigInfo *newConfigInfo(const char *name, const char *value) {
  return new OBV_FSM::FTConfigInfo(name, value, false);
}

FSM::FTConfigInfoSeq oneSetting(const char *name, const char *value) {
  FSM::FTConfigInfoSeq settings;
  settings.length(1);
  settings[0] = newConfigInfo(name, value);
  return settings;
}

// The parser lets only the four words through; anything but "always" and
// "never" is "fail".
static const char *preferenceOf(const std::string &word) {
  if (word == "always") return FATUsagePreference::ALWAYS;
  if (word == "never") return FATUsagePreference::NEVER;
  return FATUsagePreference::FAIL;
}

FSM::FATUsageInfo *newUsageInfo(bool preferred) {
  const char *preference = preferred ? FATUsagePreference::PREFERRED : preferenceOf(ftpreference);
  // The initialising constructor takes over the wait record it is given.
  return new OBV_FSM::FATUsageInfo(
      preference, new OBV_FSM::FATWaitPeriod(preferred ? ftwait : 0, preferred ? ftrwait : 0), false);
}

void storeUsageInfo(const char *host, FSM::QZSL_QZU_MACHINE_TYPE type, FSM::FATUsageInfo *usage,
                    const char *failId, const char *failText) {
  bool refused = false;
  guardedCall([&] { modifyFacet_var->setUsageInfo(host, type, usage); },
              [&](const QZSLOpException &) { refused = true; });
  if (!refused) return;
  guardedCall([&] { modifyFacet_var->addUsageInfo(host, type, usage); },
              [&](const QZSLOpException &e) { reportRefusal(e, failId, failText, host); });
}

int reportSuccess(const char *id, const char *text, const char *object) {
  lookup_fixed_message(id, text);
  reportInfo(LOG_INFO, text, false, object, false);
  return STATUS_OK;
}
