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
#include "run/selectors.h"
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

void printClient(const FATClient::FATClientInfo *client, const client_values_t &v, json_t *object) {
  openRecord("c", object, 21);
  printText(IN_ALL, "hostName", "SAN Client Name", client->hostName());
  printText(IN_ALL, "serviceVersion", "SAN Client Version", client->serviceVersion());
  printText(IN_ALL, "clientState", "SAN Client State", v.state);
  printText(IN_ALL, "masterServerName", "Master Server Name", client->masterServerName());
  printInt(IN_ALL, "mediacount", "FT Server Connections", v.mediaCount);
  printText(IN_TEXT, nullptr, "Client Ports/Server", num_ports.c_str());
  printText(IN_ALL, "upref", "Usage Preference", v.preference);
  // The wait times matter only to a preferred client, but the compact line
  // and the document have places for them.
  int waits = v.preferred ? IN_ALL : IN_COMPACT | IN_JSON;
  printInt(waits, "backupWaitPeriod", "Backup Wait Time", v.backupWait);
  printInt(waits, "restoreWaitPeriod", "Restore Wait Time", v.restoreWait);
  closeRecord();
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

// Verbose text shows the client HBA port as a header over the devices that
// follow on it; `lastHba` is that of the device printed before, -1 at first.
void printDevice(const device_values_t &v, json_t *list, int &lastHba) {
  if (v.clientHba != lastHba || v.clientHba == -1) {
    openRecord(nullptr, nullptr, 21);
    printInt(IN_VERBOSE, nullptr, "SAN Client HBA Port", v.clientHba);
  }
  lastHba = v.clientHba;
  openRecord("d", openJsonRecord(list), 23, "\t");
  printInt(IN_COMPACT | IN_JSON, "clientHBA", nullptr, v.clientHba);
  printText(IN_ALL, "deviceState", "SAN Client Device State", v.state);
  printText(IN_ALL, "deviceServerName", "Media Server Name", v.server);
  printText(IN_ALL, "serverState", "Media Sever State", v.serverState);
  printInt(IN_ALL, "pdPortNumber", "Media Server HBA Port", v.serverHba);
  printText(IN_ALL, "pdPortMode", "Media Server Port Mode", v.mode);
  printInt(IN_ALL, "pdLun", "Media Server LUN", v.lun);
  closeRecord();
  printEmptyLine(IN_VERBOSE);
}

// Prints the devices of a client; `list` is its "clientDevList" in JSON mode.
bool printDevices(const FATClient::FATClientInfo *client, json_t *list) {
  const FATClient::FATClientDeviceInfoSeq &devices = client->hostDevices();
  bool printed = false;
  int lastHba = -1;
  for (CORBA::ULong i = 0; i < devices.length(); ++i) {
    const FATClient::FATClientDeviceInfo *device = devices[i].in();
    if (!device) continue;
    printDevice(deviceValues(device), list, lastHba);
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

  json_t *object = openJsonObject(array);
  printClient(client, values, object);
  bool printed = printDevices(client, openJsonArray(object, "clientDevList"));
  closeHost(object, array, printed);
  return 1;
}

void listSANClients(int selector, json_t *telemetryArray) {
  getQueryableFacetInstance();
  if (selector == SEL_C) {
    listOneClient();
    return;
  }
  FSM::SANClientInfoSeq_var clients;
  guardedCall(
      [&] { clients = queryFacet_var->getSANClientList(master_server.c_str(), media_server.c_str()); },
      refuseClientQuery);
  CORBA::ULong count = lengthOf(clients);

  if (gJson) {
    json_t *object = openJsonObject(telemetryArray);
    json_t *list = openJsonArray(object, "SANClientList");
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
