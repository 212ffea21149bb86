// "-changeserver" and "-deleteserver": an FT server's state, its connection
// limit, and its removal.
#include <cstdio>

#include "changes/changes.h"
#include "changes/common.h"
#include "platform/debuglog.h"
#include "platform/messages.h"
#include "run/globals.h"
#include "session/session.h"

namespace FATServer = Corvane::Tessark::DL::FATServer;

static void refuseServerChange(const QZSLOpException &e) {
  reportRefusal(e, "ZrtFtc0060N", "Failed to change FT server settings", media_server.c_str());
}

// The state is sent before the limit is checked, and stays changed when the
// limit is then refused.
int changeFATServer(int) {
  getModifiableFacetInstance();
  getControlFacetInstance(0);
  bool active = state == "active";
  guardedCall([&] { active_threads[0].control_facet->changeServerState(media_server.c_str(), active); },
              refuseServerChange);
  int maximum = getServerConf(true);
  if (maximum < pipelimit) {
    QZ_LOOKUP("ZrtFtc0055N", "Connection limit exceeds, maximum connection limit: %d", maximum);
    fprintf(stderr, "%s\n\n", localizedMsg);
    return STATUS_SHOW_USAGE;
  }
  guardedCall([] { modifyFacet_var->setServerPipeLimit(media_server.c_str(), pipelimit); },
              refuseServerChange);
  return reportSuccess("ZrtFtc0063N", "FT server settings changed successfully", media_server.c_str());
}

int getServerConf(bool report) {
  getQueryableFacetInstance();
  FATServer::FATServerConfigurationInfo_var config;
  bool refused = false;
  guardedCall([&] { config = queryFacet_var->getServerConfiguration(media_server.c_str()); },
              [&](const QZSLOpException &e) {
                if (report)
                  reportRefusal(e, "ZrtFtc0054N",
                                "Failed to read server configuration; Media Server might be down",
                                media_server.c_str());
                refused = true;
              });
  if (refused) return -1;
  // A service that answers without a record breaks its contract: there is no
  // maximum to hold the limit against.
  if (config.in() == nullptr) {
    if (report) reportInfo(LOG_ERROR, "Got invalid server configuration", true, media_server.c_str());
    return -1;
  }
  return config->maxNumberOfPipes();
}

int deleteFATServer() {
  getModifiableFacetInstance();
  guardedCall([] { modifyFacet_var->deleteServer(media_server.c_str()); },
              [](const QZSLOpException &e) {
                reportRefusal(e, "ZrtFtc0058N", "Failed to delete the FT server", media_server.c_str());
              });
  return reportSuccess("ZrtFtc0059N", "FT server deleted successfully", media_server.c_str());
}
