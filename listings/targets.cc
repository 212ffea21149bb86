// The FT target listing, "-listtargets": the target ports of FT servers and
// the LUNs behind them.
#include "listings/fields.h"
#include "listings/listings.h"
#include "run/globals.h"
#include "run/report.h"
#include "run/selectors.h"
#include "session/session.h"

namespace {

// The compact line repeats its port's fields for every LUN, in an order of
// its own, and leaves out the connection count; verbose text writes them once
// over the LUNs of the port.
void printTarget(const target_device_t &v, bool newPort) {
  if (newPort || printForm() == IN_COMPACT) {
    openRecord("d", nullptr, 21);
    printInt(IN_TEXT, nullptr, "FT Server HBA Port", v.port);
    printInt(IN_COMPACT, nullptr, nullptr, v.lun);
    printText(IN_COMPACT, nullptr, nullptr, "w");
    printText(IN_TEXT, nullptr, "FT Server Port WWN", v.wwn);
    printText(IN_COMPACT, nullptr, nullptr, v.state);
    printText(IN_TEXT, nullptr, "FT Server Port Mode", v.mode);
    printText(IN_TEXT, nullptr, "FT Server Port Model", v.model);
    printText(IN_TEXT, nullptr, "FT Server Port Vendor", v.vendor);
    closeRecord();
  }
  printLun(v, nullptr);
}

}  // namespace

int printTargetDetails(FATServer::FATServerInfo *info) {
  openRecord("m", nullptr, 17);
  printText(IN_TEXT, nullptr, "FT Server Name", info->hostName());
  closeRecord();
  printEmptyLine(IN_VERBOSE);
  bool printed = forEachTargetDevice(info, printTarget);
  if (!printed) printEmptyLine(IN_TEXT);
  return 1;
}

void listFATTargets(int selector) {
  getQueryableFacetInstance();
  if (selector == SEL_ME) {
    FATServer::FATServerInfo_var info = namedServerInfo();
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
