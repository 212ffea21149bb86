// The FT server listing: "-listservers" and the server half of
// "-list_telemetry". Everything printed comes from the server records.
#include <string>

#include "listings/fields.h"
#include "listings/listings.h"
#include "run/globals.h"
#include "run/report.h"
#include "run/selectors.h"
#include "session/session.h"

namespace {

void printServer(const FATServer::FATServerInfo *server, json_t *object) {
  const FATServer::FATServerConfigurationInfo *config = server->config();
  openRecord("m", object, 19);
  printText(IN_ALL, "FT Server Name", nullptr, server->hostName());
  printText(IN_ALL, "FT Server Version", nullptr, server->serviceVersion());
  printText(IN_ALL, "FT Server State", nullptr, hostStateWord(server->state()));
  printInt(IN_ALL, "Connection Limit", nullptr, config ? config->numberOfPipes() : 0);
  printInt(IN_VERBOSE | IN_JSON, "Maximum Limit", nullptr, config ? config->maxNumberOfPipes() : 0);
  closeRecord();
}

// The compact line repeats its port's fields for every LUN, in an order of
// its own; the other forms write them once over the LUNs of the port.
// `luns` is the "LUN List" of the current port object in JSON.
void printServerLun(const target_device_t &v, bool newPort, json_t *hbaList, json_t *&luns) {
  if (newPort || printForm() == IN_COMPACT) {
    json_t *port = openJsonRecord(hbaList);
    std::string speed = v.speed != 0 ? std::to_string(v.speed) + " gBits/s" : "Unknown";
    openRecord("d", port, 20);
    printInt(IN_ALL, "FT Server HBA Port", nullptr, v.port);
    printText(IN_ALL, "FT Server Port Mode", nullptr, v.mode);
    printText(IN_VERBOSE | IN_JSON, "FT Server Port Speed", nullptr, speed.c_str());
    printText(IN_COMPACT, nullptr, nullptr, v.state);
    printInt(IN_COMPACT, nullptr, nullptr, v.lun);
    printInt(IN_COMPACT, nullptr, nullptr, v.active);
    printText(IN_ALL, "FT Server Port WWN", nullptr, v.wwn);
    printText(IN_ALL, "FT Server Port Model", nullptr, v.model);
    printInt(IN_COMPACT, nullptr, nullptr, v.speed);
    closeRecord();
    luns = openJsonArray(port, "LUN List");
  }
  printLun(v, luns);
}

}  // namespace

int printServerDetails(FATServer::FATServerInfo *info, json_t *array) {
  json_t *object = openJsonObject(array);
  printServer(info, object);
  json_t *hbaList = openJsonArray(object, "FT Server Target HBA List");
  json_t *luns = nullptr;
  bool printed = forEachTargetDevice(info, [&](const target_device_t &values, bool newPort) {
    printServerLun(values, newPort, hbaList, luns);
  });
  closeHost(object, array, printed);
  return 1;
}

void listFATServers(int selector, json_t *telemetryArray) {
  getQueryableFacetInstance();
  if (selector == SEL_ME) {
    FATServer::FATServerInfo_var info = namedServerInfo();
    // A single server is printed on its own, even inside a telemetry document.
    printServerDetails(info.in(), nullptr);
    return;
  }

  FATServer::FATServerInfoSeq_var servers;
  guardedCall([&] { servers = queryFacet_var->getFATServerList(master_server.c_str()); },
              refuseFTServerQuery);
  CORBA::ULong count = lengthOf(servers);
  if (count == 0) reportNothingFound("ZrtFtc0066N", "No FT servers found", "");

  json_t *object = openJsonObject(telemetryArray);
  json_t *list = openJsonArray(object, "FT Server List");
  bool printed = false;
  for (CORBA::ULong i = 0; i < count; ++i) {
    if (!servers[i].in()) continue;
    printServerDetails(servers[i].in(), list);
    printed = true;
  }
  if (gJson && !telemetryArray) printJson(object);
  if (!printed) reportNothingFound("ZrtFtc0066N", "No FT servers found", "");
}
