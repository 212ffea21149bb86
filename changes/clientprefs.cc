// "-changeclient" and "-deleteclient": a SAN client's own FT settings, which
// override the master server's defaults, and the removal of a client.
#include <string>

#include "changes/changes.h"
#include "changes/common.h"
#include "platform/debuglog.h"
#include "run/globals.h"
#include "run/selectors.h"
#include "session/session.h"

// Without a record of its own the client follows the master server's
// defaults, which is what was asked for, so a refusal is no failure.
static void removeClientUsage() {
  guardedCall([] { modifyFacet_var->deleteUsageInfo(client_name.c_str()); },
              [](const QZSLOpException &) {
                std::string line = "This client was already using master server defaults: " + client_name;
                logmsg(LOG_WARNING, line.c_str(), progname);
              });
}

static void setClientPorts() {
  FSM::FTConfigInfoSeq settings = oneSetting(CLIENT_PORTS_PER_SERVER_KEY, num_ports.c_str());
  guardedCall(
      [&] { modifyFacet_var->updateFTConfigInfoSeq(client_name.c_str(), FSM::QZSL_QZU_CLIENT, settings); },
      [](const QZSLOpException &e) {
        reportRefusal(e, "ZrtFtc0046N", "Failed to change SAN client FT configuration for -np",
                      client_name.c_str());
      });
}

// The selector is one of 1, 3, 29 or 33: the entry point refuses the others.
int changeSANClient(int selector) {
  getModifiableFacetInstance();
  if (selector == SEL_C) {
    removeClientUsage();
  } else if (selector & SEL_NP) {
    setClientPorts();
  } else {
    FSM::FATUsageInfo_var usage = newUsageInfo(selector & SEL_FTPREF_PREFERRED);
    storeUsageInfo(client_name.c_str(), FSM::QZSL_QZU_CLIENT, usage.in(), "ZrtFtc0047N",
                   "Failed to change SAN client preferences");
  }
  return reportSuccess("ZrtFtc0048N", "SAN client preferences changed successfully", client_name.c_str());
}

// A client that never had settings of its own has nothing to remove; that is
// logged and the deletion still succeeds.
static void logMissingRecord(const char *what) {
  std::string line = std::string(what) + client_name;
  logmsg(LOG_ERROR, line.c_str(), progname);
}

int deleteSANClient() {
  getModifiableFacetInstance();
  guardedCall([] { modifyFacet_var->deleteClient(client_name.c_str()); },
              [](const QZSLOpException &e) {
                reportRefusal(e, "ZrtFtc0042N", "Failed to delete the SAN client", client_name.c_str());
              });
  guardedCall([] { modifyFacet_var->deleteUsageInfo(client_name.c_str()); },
              [](const QZSLOpException &) {
                logMissingRecord("Failed to delete preferences record, client might have used master "
                                 "server defaults: ");
              });
  FSM::FTConfigInfoSeq keys = oneSetting(CLIENT_PORTS_PER_SERVER_KEY, "");
  guardedCall(
      [&] { modifyFacet_var->deleteFTConfigInfoSeq(client_name.c_str(), FSM::QZSL_QZU_CLIENT, keys); },
      [](const QZSLOpException &) {
        logMissingRecord("Failed to delete client ports/server record, client might have used master "
                         "server defaults: ");
      });
  return reportSuccess("ZrtFtc0043N", "SAN client deleted successfully", client_name.c_str());
}
