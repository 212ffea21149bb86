// The FT target listing, "-listtargets": the target ports of FT servers and
// the LUNs behind them.
#include <cstdio>

#include "listings/fields.h"
#include "listings/listings.h"
#include "run/globals.h"
#include "run/report.h"
#include "session/session.h"

namespace {

void printTargetVerbose(const target_device_t &v, bool newPort) {
  if (newPort) {
    printRow("FT Server HBA Port   : %d\n", v.port);
    printRow("FT Server Port WWN   : %s\n", v.wwn);
    printRow("FT Server Port Mode  : %s\n", v.mode);
    printRow("FT Server Port Model : %s\n", v.model);
    printRow("FT Server Port Vendor: %s\n", v.vendor);
  }
  printLunVerbose(v);
}

// The compact line leaves out the connection count.
void printTargetCompact(const target_device_t &v) {
  printRow("d %d %d w %s %s %s %s %s\n", v.port, v.lun, v.wwn, v.state, v.mode, v.model, v.vendor);
}

}  // namespace

int printTargetDetails(FATServer::FATServerInfo *info) {
  if (vbose)
    printRow("FT Server Name   : %s\n\n", info->hostName());
  else
    printRow("m %s\n", info->hostName());

  bool printed = forEachTargetDevice(info, [](const target_device_t &values, bool newPort) {
    if (vbose)
      printTargetVerbose(values, newPort);
    else
      printTargetCompact(values);
  });
  if (!printed) printRow("\n");
  return 1;
}

void listFATTargets(int selector) {
  getQueryableFacetInstance();
  if (selector == 2) {
    FATServer::FATServerInfo_var info;
    guardedCall([&] { info = queryFacet_var->getFATServerInfo(media_server.c_str()); },
                refuseFTServerQuery);
    if (!info.in()) reportNothingFound("ZrtFtc0065N", "FT server not found", "");
    printTargetDetails(info.in());
    return;
  }

  FATServer::FATServerInfoSeq_var servers;
  guardedCall([&] { servers = queryFacet_var->getFATServerList(master_server.c_str()); },
              refuseFTServerQuery);
  CORBA::ULong count = lengthOf(servers);
  bool printed = false;
  for (CORBA::ULong i = 0; i < count; ++i) {
    if (!servers[i].in()) continue;
    printTargetDetails(servers[i].in());
    printed = true;
  }
  if (!printed) reportNothingFound("ZrtFtc0066N", "No FT servers found", "");
}
