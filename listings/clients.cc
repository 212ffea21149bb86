// The SAN client listing: "-listclients" and the client half of
// "-list_telemetry".
#include <cstdio>
#include <cstring>
#include <string>

#include "listings/fields.h"
#include "listings/listings.h"
#include "platform/debuglog.h"
#include "run/globals.h"
#include "run/report.h"
#include "session/session.h"

namespace {

const char *const PORTS_PER_SERVER_KEY = "FT_MAX_CLIENT_PORTS_PER_SERVER";

// What the listing shows of one client besides its record's own texts.
struct client_values_t {
  const char *state;
  int mediaCount;
  const char *preference;
  bool preferred;
  int backupWait;
  int restoreWait;
};

// What the listing shows of one device of a client.
struct device_values_t {
  int clientHba;
  const char *state;
  const char *server;
  const char *serverState;
  int serverHba;
  const char *mode;
  int lun;
};

void warn(const char *text, const char *name) {
  std::string line = std::string(text) + name;
  logmsg(LOG_WARNING, line.c_str(), progname);
}

void refuseClientQuery(const QZSLOpException &e) {
  reportRefusal(e, "ZrtFtc0049N", "Failed to get SAN client details", "");
}

FSM::FTConfigInfo *makeFTConfigInfo(const char *name) {
  return new OBV_Corvane::Tessark::SL::FATServiceMgmt::FTConfigInfo(name, "", false);
}

// The question is the same for every client, so it is built once.
const FSM::FTConfigInfoSeq &portsPerServerKey() {
  static FSM::FTConfigInfoSeq keys = [] {
    FSM::FTConfigInfoSeq seq(1);
    seq.length(1);
    seq[0] = makeFTConfigInfo(PORTS_PER_SERVER_KEY);
    return seq;
  }();
  return keys;
}

const char *preferenceWord(const char *preference) {
  using Pref = FATClient::FATUsagePreference;
  if (strcmp(preference, Pref::PREFERRED) == 0) return "preferred";
  if (strcmp(preference, Pref::ALWAYS) == 0) return "always";
  if (strcmp(preference, Pref::FAIL) == 0) return "fail";
  return "never";
}

int mediaServerCount(const char *host) {
  int count = 0;
  guardedCall([&] { count = queryFacet_var->getMediaServersCountOfClient(host); },
              [&](const QZSLOpException &) {
                warn("failed to get media server count for client: ", host);
              });
  return count;
}

// Leaves the client's setting in num_ports, or the default when it has none.
void readPortsPerServer(FATClient::FATClientInfo *client) {
  num_ports = DFLT_NP_STR_VAL;
  guardedCall(
      [&] {
        FSM::FTConfigInfoSeq_var values = queryFacet_var->getFTConfigInfoSeq(
            client->hostName(), client->masterServerName(), FSM::QZSL_QZU_CLIENT,
            portsPerServerKey());
        if (lengthOf(values) > 0 && values[0].in()) num_ports = values[0]->confValue();
      },
      [&](const QZSLOpException &) {
        warn("failed to get number of client port per server: ", client->hostName());
      });
}

client_values_t clientValues(FSM::SANClientInfo *info, FATClient::FATClientInfo *client) {
  client_values_t values{};
  values.mediaCount = mediaServerCount(client->hostName());
  values.state = hostStateWord(client->state());
  readPortsPerServer(client);
  const FSM::FATUsageInfo *usage = info->afatUsageInfo();
  const char *preference = usage ? usage->usagePref() : "";
  values.preference = preferenceWord(preference);
  values.preferred = strcmp(preference, FATClient::FATUsagePreference::PREFERRED) == 0;
  const FSM::FATWaitPeriod *wait = usage ? usage->waitPeriod() : nullptr;
  values.backupWait = wait ? wait->backupWaitPeriod() : 0;
  values.restoreWait = wait ? wait->restoreWaitPeriod() : 0;
  return values;
}

void printClientVerbose(const FATClient::FATClientInfo *client, const client_values_t &v) {
  printRow("SAN Client Name      : %s\n", client->hostName());
  printRow("SAN Client Version   : %s\n", client->serviceVersion());
  printRow("SAN Client State     : %s\n", v.state);
  printRow("Master Server Name   : %s\n", client->masterServerName());
  printRow("FT Server Connections: %d\n", v.mediaCount);
  printRow("Client Ports/Server  : %s\n", num_ports.c_str());
  printRow("Usage Preference     : %s\n", v.preference);
  if (v.preferred) {
    printRow("Backup Wait Time     : %d\n", v.backupWait);
    printRow("Restore Wait Time    : %d\n", v.restoreWait);
  }
}

void printClientCompact(const FATClient::FATClientInfo *client, const client_values_t &v) {
  printRow("c %s %s %s %s %d %s %s %d %d\n", client->hostName(), client->serviceVersion(), v.state,
         client->masterServerName(), v.mediaCount, num_ports.c_str(), v.preference, v.backupWait,
         v.restoreWait);
}

void setClientJson(json_t *object, const FATClient::FATClientInfo *client, const client_values_t &v) {
  setJsonText(object, "hostName", client->hostName());
  setJsonText(object, "serviceVersion", client->serviceVersion());
  setJsonText(object, "clientState", v.state);
  setJsonText(object, "masterServerName", client->masterServerName());
  setJsonInt(object, "mediacount", v.mediaCount);
  setJsonText(object, "upref", v.preference);
  setJsonInt(object, "backupWaitPeriod", v.backupWait);
  setJsonInt(object, "restoreWaitPeriod", v.restoreWait);
}

// The state of the FT server behind a device, asked anew for every device.
const char *mediaServerState(const char *server) {
  const char *word = "disabled";
  guardedCall(
      [&] {
        FATServer::FATServerInfo_var info = queryFacet_var->getFATServerInfo(server);
        if (info.in()) word = hostStateWord(info->state());
      },
      [&](const QZSLOpException &) {
        warn("Failed to get Media Server state information: ", server);
      });
  return word;
}

device_values_t deviceValues(const FATClient::FATClientDeviceInfo *device) {
  device_values_t values{};
  const FATClient::ClientHBAPortInfo *hba = device->hbaPort();
  values.clientHba = hba ? hba->portNumber() : -1;
  values.state = deviceStateWord(device->status());
  values.server = device->deviceServerName();
  values.serverState = mediaServerState(values.server);
  const FATServer::FATPortInfo *port = portOf(device->device());
  values.serverHba = portNumberOf(port);
  values.mode = portModeWord(port);
  values.lun = lunOf(device->device());
  return values;
}

// `lastHba` is the client HBA port of the device printed before, -1 at first.
void printDeviceVerbose(const device_values_t &v, int &lastHba) {
  if (v.clientHba != lastHba || v.clientHba == -1) printRow("SAN Client HBA Port  : %d\n", v.clientHba);
  lastHba = v.clientHba;
  printRow("\tSAN Client Device State: %s\n", v.state);
  printRow("\tMedia Server Name      : %s\n", v.server);
  printRow("\tMedia Sever State      : %s\n", v.serverState);
  printRow("\tMedia Server HBA Port  : %d\n", v.serverHba);
  printRow("\tMedia Server Port Mode : %s\n", v.mode);
  printRow("\tMedia Server LUN       : %d\n", v.lun);
  printRow("\n");
}

void printDeviceCompact(const device_values_t &v) {
  printRow("d %d %s %s %s %d %s %d\n", v.clientHba, v.state, v.server, v.serverState, v.serverHba,
         v.mode, v.lun);
}

void appendDeviceJson(json_t *list, const device_values_t &v) {
  json_t *object = json_object();
  setJsonInt(object, "clientHBA", v.clientHba);
  setJsonText(object, "deviceState", v.state);
  setJsonText(object, "deviceServerName", v.server);
  setJsonText(object, "serverState", v.serverState);
  setJsonInt(object, "pdPortNumber", v.serverHba);
  setJsonText(object, "pdPortMode", v.mode);
  setJsonInt(object, "pdLun", v.lun);
  json_array_append_new(list, object);
}

// Prints the devices of a client; `list` is its "clientDevList" in JSON mode.
bool printDevices(const FATClient::FATClientInfo *client, json_t *list) {
  const FATClient::FATClientDeviceInfoSeq &devices = client->hostDevices();
  bool printed = false;
  int lastHba = -1;
  for (CORBA::ULong i = 0; i < devices.length(); ++i) {
    const FATClient::FATClientDeviceInfo *device = devices[i].in();
    if (!device) continue;
    device_values_t values = deviceValues(device);
    if (vbose)
      printDeviceVerbose(values, lastHba);
    else if (gJson)
      appendDeviceJson(list, values);
    else
      printDeviceCompact(values);
    printed = true;
  }
  return printed;
}

// A client is done with once printed; giving its record back at once lets the
// JSON document of a long list grow into the memory the list held.
void releaseClient(FSM::SANClientInfoSeq_var &clients, CORBA::ULong i) {
  clients[i] = static_cast<FSM::SANClientInfo *>(nullptr);
}

void listOneClient() {
  FSM::SANClientInfo_var info;
  guardedCall([&] { info = queryFacet_var->getSANClientInfo(client_name.c_str()); },
              refuseClientQuery);
  if (!info.in()) reportNothingFound("ZrtFtc0050N", "SAN client not found", "");
  // A single client is printed on its own, even inside a telemetry document.
  if (printClientDetails(info.in(), nullptr) == 0)
    reportNothingFound("ZrtFtc0051N", "No SAN clients found", "");
}

}  // namespace

int printClientDetails(FSM::SANClientInfo *info, json_t *array) {
  FATClient::FATClientInfo *client = info->fatClientInfo();
  if (!client) return 0;
  client_values_t values = clientValues(info, client);

  json_t *object = nullptr;
  if (gJson) {
    object = json_object();
    if (array) json_array_append_new(array, object);
  }
  if (vbose)
    printClientVerbose(client, values);
  else if (gJson)
    setClientJson(object, client, values);
  else
    printClientCompact(client, values);

  json_t *list = nullptr;
  if (gJson) {
    list = json_array();
    json_object_set_new(object, "clientDevList", list);
  }
  bool printed = printDevices(client, list);

  if (!gJson) {
    if (!printed) printRow("\n");
  } else if (!array) {
    printJson(object);
  }
  return 1;
}

void listSANClients(int selector, json_t *telemetryArray) {
  getQueryableFacetInstance();
  if (selector == 1) {
    listOneClient();
    return;
  }
  FSM::SANClientInfoSeq_var clients;
  guardedCall(
      [&] { clients = queryFacet_var->getSANClientList(master_server.c_str(), media_server.c_str()); },
      refuseClientQuery);
  CORBA::ULong count = lengthOf(clients);

  if (gJson) {
    json_t *object = json_object();
    if (telemetryArray) json_array_append_new(telemetryArray, object);
    json_t *list = json_array();
    json_object_set_new(object, "SANClientList", list);
    for (CORBA::ULong i = 0; i < count; ++i) {
      if (clients[i].in()) printClientDetails(clients[i].in(), list);
      releaseClient(clients, i);
    }
    if (!telemetryArray) printJson(object);
    return;
  }

  if (count == 0) reportNothingFound("ZrtFtc0051N", "No SAN clients found", "");
  bool printed = false;
  for (CORBA::ULong i = 0; i < count; ++i) {
    if (clients[i].in() && printClientDetails(clients[i].in(), nullptr) != 0) printed = true;
    releaseClient(clients, i);
  }
  if (!printed) reportNothingFound("ZrtFtc0051N", "No SAN clients found", "");
}
