#include "listings/fields.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/crvjson.h"
#include "platform/debuglog.h"
#include "platform/shown.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/output.h"
#include "run/report.h"
#include "run/status.h"

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

void setJsonText(json_t *object, const char *key, const char *text) {
  json_object_set_new(object, key, crv_json_string(text, 0, ""));
}

void setJsonInt(json_t *object, const char *key, long long value) {
  json_object_set_new(object, key, json_integer(value));
}

void printJson(json_t *document) {
  json_dumpf(document, stdout, gJson_compact ? JSON_COMPACT : JSON_INDENT(2) | JSON_SORT_KEYS);
  json_decref(document);
  fputs("\n", stdout);
}

void reportNothingFound(const char *id, const char *text, const char *object) {
  lookup_fixed_message(id, text);
  reportInfo(LOG_INFO, text, false, object);
  qzftconfig_exit(STATUS_OK);  // not reached: a report of status 0 ends the run
}

void refuseFTServerQuery(const QZSLOpException &e) {
  reportRefusal(e, "ZrtFtc0064N", "Failed to get FT server details", "");
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

void printLunVerbose(const target_device_t &v) {
  printRow("\tFT Server Device State   : %s\n", v.state);
  printRow("\tAssociated LUN           : %d\n", v.lun);
  printRow("\tActive Connections on LUN: %d\n", v.active);
  printRow("\n");
}
