// The FT server listing: "-listservers" and the server half of
// "-list_telemetry". Everything printed comes from the server records.
#include <cstdio>

#include "listings/fields.h"
#include "listings/listings.h"
#include "run/globals.h"
#include "run/report.h"
#include "session/session.h"

namespace {

void printServerVerbose(const FATServer::FATServerInfo *server, int limit, int maximum) {
  printRow("FT Server Name     : %s\n", server->hostName());
  printRow("FT Server Version  : %s\n", server->serviceVersion());
  printRow("FT Server State    : %s\n", hostStateWord(server->state()));
  printRow("Connection Limit   : %d\n", limit);
  printRow("Maximum Limit      : %d\n", maximum);
}

void setServerJson(json_t *object, const FATServer::FATServerInfo *server, int limit, int maximum) {
  setJsonText(object, "FT Server Name", server->hostName());
  setJsonText(object, "FT Server Version", server->serviceVersion());
  setJsonText(object, "FT Server State", hostStateWord(server->state()));
  setJsonInt(object, "Connection Limit", limit);
  setJsonInt(object, "Maximum Limit", maximum);
}

void printLunVerbose(const target_device_t &v, bool newPort) {
  if (newPort) {
    printRow("FT Server HBA Port  : %d\n", v.port);
    printRow("FT Server Port Mode : %s\n", v.mode);
    if (v.speed != 0)
      printRow("FT Server Port Speed: %d gBits/s\n", v.speed);
    else
      printRow("FT Server Port Speed: Unknown\n");
    printRow("FT Server Port WWN  : %s\n", v.wwn);
    printRow("FT Server Port Model: %s\n", v.model);
  }
  printLunVerbose(v);
}

void printLunCompact(const target_device_t &v) {
  printRow("d %d %s %s %d %d %s %s %d\n", v.port, v.mode, v.state, v.lun, v.active, v.wwn, v.model,
         v.speed);
}

// Returns the "LUN List" of the port object it appends to `hbaList`.
json_t *appendPortJson(json_t *hbaList, const target_device_t &v) {
  json_t *port = json_object();
  json_array_append_new(hbaList, port);
  setJsonInt(port, "FT Server HBA Port", v.port);
  setJsonText(port, "FT Server Port Mode", v.mode);
  char speed[32] = "Unknown";
  if (v.speed != 0) snprintf(speed, sizeof speed, "%d gBits/s", v.speed);
  setJsonText(port, "FT Server Port Speed", speed);
  setJsonText(port, "FT Server Port WWN", v.wwn);
  setJsonText(port, "FT Server Port Model", v.model);
  json_t *luns = json_array();
  json_object_set_new(port, "LUN List", luns);
  return luns;
}

void appendLunJson(json_t *luns, const target_device_t &v) {
  json_t *object = json_object();
  setJsonText(object, "FT Server Device State", v.state);
  setJsonInt(object, "Associated LUN", v.lun);
  setJsonInt(object, "Active Connections on LUN", v.active);
  json_array_append_new(luns, object);
}

// Prints the LUNs of a server grouped by port; `hbaList` is its "FT Server
// Target HBA List" in JSON mode.
bool printLuns(const FATServer::FATServerInfo *server, json_t *hbaList) {
  json_t *luns = nullptr;  // the "LUN List" of the current port object
  return forEachTargetDevice(server, [&](const target_device_t &values, bool newPort) {
    if (vbose) {
      printLunVerbose(values, newPort);
    } else if (gJson) {
      if (newPort) luns = appendPortJson(hbaList, values);
      appendLunJson(luns, values);
    } else {
      printLunCompact(values);
    }
  });
}

}  // namespace

int printServerDetails(FATServer::FATServerInfo *info, json_t *array) {
  const FATServer::FATServerConfigurationInfo *config = info->config();
  int limit = config ? config->numberOfPipes() : 0;
  int maximum = config ? config->maxNumberOfPipes() : 0;

  json_t *object = nullptr;
  if (gJson) {
    object = json_object();
    if (array) json_array_append_new(array, object);
  }
  if (vbose)
    printServerVerbose(info, limit, maximum);
  else if (gJson)
    setServerJson(object, info, limit, maximum);
  else
    printRow("m %s %s %s %d\n", info->hostName(), info->serviceVersion(), hostStateWord(info->state()),
           limit);

  json_t *hbaList = nullptr;
  if (gJson) {
    hbaList = json_array();
    json_object_set_new(object, "FT Server Target HBA List", hbaList);
  }
  bool printed = printLuns(info, hbaList);

  if (!gJson) {
    if (!printed) printRow("\n");
  } else if (!array) {
    printJson(object);
  }
  return 1;
}

void listFATServers(int selector, json_t *telemetryArray) {
  getQueryableFacetInstance();
  if (selector == 2) {
    FATServer::FATServerInfo_var info;
    guardedCall([&] { info = queryFacet_var->getFATServerInfo(media_server.c_str()); },
                refuseFTServerQuery);
    if (!info.in()) reportNothingFound("ZrtFtc0065N", "FT server not found", "");
    // A single server is printed on its own, even inside a telemetry document.
    printServerDetails(info.in(), nullptr);
    return;
  }

  FATServer::FATServerInfoSeq_var servers;
  guardedCall([&] { servers = queryFacet_var->getFATServerList(master_server.c_str()); },
              refuseFTServerQuery);
  CORBA::ULong count = lengthOf(servers);
  if (count == 0) reportNothingFound("ZrtFtc0066N", "No FT servers found", "");

  json_t *object = nullptr;
  json_t *list = nullptr;
  if (gJson) {
    object = json_object();
    if (telemetryArray) json_array_append_new(telemetryArray, object);
    list = json_array();
    json_object_set_new(object, "FT Server List", list);
  }
  bool printed = false;
  for (CORBA::ULong i = 0; i < count; ++i) {
    if (!servers[i].in()) continue;
    printServerDetails(servers[i].in(), list);
    printed = true;
  }
  if (gJson && !telemetryArray) printJson(object);
  if (!printed) reportNothingFound("ZrtFtc0066N", "No FT servers found", "");
}
