// "-setconfig" and "-getconfig": the master server's FT defaults.
#include <cstring>

#include "changes/changes.h"
#include "changes/common.h"
#include "run/globals.h"
#include "run/print.h"
#include "run/selectors.h"
#include "session/session.h"

using Corvane::Tessark::DL::FATClient::FATUsagePreference;

// Each port setting goes in a call of its own, so that with both given the
// first one stays applied when the second is refused.
static void updateMasterSetting(const char *name, const std::string &value) {
  FSM::FTConfigInfoSeq settings = oneSetting(name, value.c_str());
  guardedCall(
      [&] { modifyFacet_var->updateFTConfigInfoSeq(master_server.c_str(), FSM::QZSL_QZU_MASTER, settings); },
      [&](const QZSLOpException &e) {
        reportRefusal(e, "ZrtFtc0077N", "Failed to configure defaults", master_server.c_str());
      });
}

int setconfigDefaults(int selector) {
  getModifiableFacetInstance();
  if (selector & (SEL_NP | SEL_NCP)) {
    if (selector & SEL_NP) updateMasterSetting(CLIENT_PORTS_PER_SERVER_KEY, num_ports);
    if (selector & SEL_NCP) updateMasterSetting(CLIENTS_PER_PORT_KEY, num_clients_per_port);
  } else {
    FSM::FATUsageInfo_var usage = newUsageInfo(selector & SEL_FTPREF_PREFERRED);
    storeUsageInfo(master_server.c_str(), FSM::QZSL_QZU_MASTER, usage.in(), "ZrtFtc0077N",
                   "Failed to configure defaults");
  }
  return reportSuccess("ZrtFtc0078N", "Defaults configured successfully", master_server.c_str());
}

// What -getconfig shows of a usage record. A service that sends no record, or
// one without wait periods, has no preference of its own for the master:
// that is shown as "never" with waits of 0 minutes.
struct usage_values_t {
  const char *preference = "never";
  int backupWait = 0;
  int restoreWait = 0;
};

static usage_values_t usageValues(const FSM::FATUsageInfo *usage) {
  usage_values_t values;
  if (usage == nullptr) return values;
  const char *preference = usage->usagePref();
  if (strcmp(preference, FATUsagePreference::PREFERRED) == 0)
    values.preference = "preferred";
  else if (strcmp(preference, FATUsagePreference::ALWAYS) == 0)
    values.preference = "always";
  else if (strcmp(preference, FATUsagePreference::FAIL) == 0)
    values.preference = "fail";
  const FSM::FATWaitPeriod *wait = usage->waitPeriod();
  if (wait != nullptr) {
    values.backupWait = wait->backupWaitPeriod();
    values.restoreWait = wait->restoreWaitPeriod();
  }
  return values;
}

// Reads both port settings into num_ports and num_clients_per_port; a key the
// service does not answer keeps its default of "2".
static void readPortSettings() {
  FSM::FTConfigInfoSeq keys;
  keys.length(2);
  keys[0] = newConfigInfo(CLIENT_PORTS_PER_SERVER_KEY, "");
  keys[1] = newConfigInfo(CLIENTS_PER_PORT_KEY, "");
  FSM::FTConfigInfoSeq_var settings;
  guardedCall(
      [&] {
        settings = queryFacet_var->getFTConfigInfoSeq(master_server.c_str(), master_server.c_str(),
                                                      FSM::QZSL_QZU_MASTER, keys);
      },
      [&](const QZSLOpException &e) {
        reportRefusal(e, "ZrtFtc0080N", "Failed to read FT config information", master_server.c_str());
      });
  num_ports = DFLT_NP_STR_VAL;
  num_clients_per_port = DFLT_NCP_STR_VAL;
  CORBA::ULong count = settings.operator->() ? settings->length() : 0;
  for (CORBA::ULong i = 0; i < count; ++i) {
    const FSM::FTConfigInfo *setting = settings[i];
    if (setting == nullptr) continue;
    if (strcmp(setting->confName(), CLIENT_PORTS_PER_SERVER_KEY) == 0)
      num_ports = setting->confValue();
    else if (strcmp(setting->confName(), CLIENTS_PER_PORT_KEY) == 0)
      num_clients_per_port = setting->confValue();
  }
}

void printConfigDefaults() {
  getQueryableFacetInstance();
  FSM::FATUsageInfo_var usage;
  guardedCall([&] { usage = queryFacet_var->getUsageInfo(master_server.c_str(), FSM::QZSL_QZU_MASTER); },
              [&](const QZSLOpException &e) {
                reportRefusal(e, "ZrtFtc0079N", "Failed to read default values", master_server.c_str());
              });
  readPortSettings();
  usage_values_t values = usageValues(usage.in());
  openRecord("u", nullptr, 19);
  printText(IN_TEXT, nullptr, "Master Server", master_server.c_str());
  printText(IN_TEXT, nullptr, "Client Ports/Server", num_ports.c_str());
  printText(IN_TEXT, nullptr, "Clients/Target port", num_clients_per_port.c_str());
  printText(IN_TEXT, nullptr, "FT Preference", values.preference);
  printInt(IN_TEXT, nullptr, "Backup Wait Time", values.backupWait);
  printInt(IN_TEXT, nullptr, "Restore Wait Time", values.restoreWait);
  closeRecord();
}
