#include "listings/fields.h"

#include "platform/debuglog.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/report.h"
#include "run/status.h"
#include "session/session.h"

const char *hostStateWord(int state) { return state == 1 ? "active" : "disabled"; }

const char *deviceStateWord(int status) {
  switch (status) {
  case 0: return "unknown";
  case 1: return "active";
  case 2: return "disabled";
  default: return "missing";
  }
}

const char *portModeWord(const FATServer::FATPortInfo *port) {
  switch (port ? port->mode() : 0) {
  case 1: return "PTP";
  case 2: return "FABRIC";
  case 3: return "LOOP";
  case 4: return "DISCONNECTED";
  default: return "UNASSIGNED";
  }
}

const char *directionWord(int direction) {
  switch (direction) {
  case 1: return "backup";
  case 2: return "restore";
  case 3: return "closed";
  default: return "unknown";
  }
}

int portNumberOf(const FATServer::FATPortInfo *port) { return port ? port->portNumber() : -1; }

FATServer::FATPortInfo *portOf(const FATServer::FATPseudoDeviceInfo *device) {
  return device ? device->devicePort() : nullptr;
}

int lunOf(const FATServer::FATPseudoDeviceInfo *device) { return device ? device->lun() : -1; }

int activeConnectionsOnLun(const FATServer::FATPipeInfoSeq &pipes, int lun) {
  int count = 0;
  for (CORBA::ULong i = 0; i < pipes.length(); ++i) {
    const FATServer::FATPipeInfo *pipe = pipes[i].in();
    if (pipe && pipe->device() && pipe->device()->lun() == lun && pipe->status() == PIPE_ACTIVE)
      ++count;
  }
  return count;
}

void closeHost(json_t *object, json_t *array, bool printedDevices) {
  if (!gJson) {
    if (!printedDevices) printEmptyLine(IN_TEXT);
  } else if (!array) {
    printJson(object);
  }
}

void reportNothingFound(const char *id, const char *text, const char *object) {
  lookup_fixed_message(id, text);
  reportInfo(LOG_INFO, text, false, object);
  qzftconfig_exit(STATUS_OK);  // not reached: a report of status 0 ends the run
}

void refuseFTServerQuery(const QZSLOpException &e) {
  reportRefusal(e, "ZrtFtc0064N", "Failed to get FT server details", "");
}

FATServer::FATServerInfo_var namedServerInfo() {
  FATServer::FATServerInfo_var info;
  guardedCall([&] { info = queryFacet_var->getFATServerInfo(media_server.c_str()); }, refuseFTServerQuery);
  if (!info.in()) reportNothingFound("ZrtFtc0065N", "FT server not found", "");
  return info;
}

target_device_t targetDeviceValues(const FATServer::FATPseudoDeviceInfo *device,
                                   const FATServer::FATPipeInfoSeq &pipes) {
  target_device_t values{};
  const FATServer::FATPortInfo *port = device->devicePort();
  values.port = portNumberOf(port);
  values.mode = portModeWord(port);
  // The upper half of the port status carries the link speed.
  values.speed = port ? port->status() >> 16 : 0;
  values.wwn = port ? port->portWWN() : NO_PORT_TEXT;
  values.model = port ? port->model() : NO_PORT_TEXT;
  values.vendor = port ? port->vendor() : NO_PORT_TEXT;
  values.state = deviceStateWord(device->status());
  values.lun = device->lun();
  values.active = activeConnectionsOnLun(pipes, values.lun);
  return values;
}

void printLun(const target_device_t &v, json_t *luns) {
  openRecord(nullptr, openJsonRecord(luns), 25, "\t");
  printText(IN_VERBOSE | IN_JSON, "FT Server Device State", nullptr, v.state);
  printInt(IN_VERBOSE | IN_JSON, "Associated LUN", nullptr, v.lun);
  printInt(IN_VERBOSE | IN_JSON, "Active Connections on LUN", nullptr, v.active);
  closeRecord();
  printEmptyLine(IN_VERBOSE);
}
