// How the listings turn record fields into words and JSON values.
#pragma once
#include <jansson.h>

#include "ftservice.hh"
#include "run/print.h"
#include "run/report.h"

namespace FATServer = Corvane::Tessark::DL::FATServer;
namespace FATClient = Corvane::Tessark::DL::FATClient;
namespace FSM = Corvane::Tessark::SL::FATServiceMgmt;

// A pipe with this status carries data right now.
enum { PIPE_ACTIVE = 2 };

// Host state: 1 "active", anything else "disabled".
const char *hostStateWord(int state);
// Device status: 1 "active", 2 "disabled", 0 "unknown", anything else "missing".
const char *deviceStateWord(int status);
// Port mode: 1 "PTP", 2 "FABRIC", 3 "LOOP", 4 "DISCONNECTED", anything else
// or no port at all "UNASSIGNED".
const char *portModeWord(const FATServer::FATPortInfo *port);
// Pipe direction: 1 "backup", 2 "restore", 3 "closed", anything else "unknown".
const char *directionWord(int direction);

// The port number of a port, -1 without one.
int portNumberOf(const FATServer::FATPortInfo *port);
// The port of a device, null without a device.
FATServer::FATPortInfo *portOf(const FATServer::FATPseudoDeviceInfo *device);
// The LUN of a device, -1 without one.
int lunOf(const FATServer::FATPseudoDeviceInfo *device);
// What a listing shows for a WWN, model or vendor of a device without a port.
constexpr const char *NO_PORT_TEXT = "<unknown>";

// Active pipes on `lun`, whichever port they use: an FT server counts its
// connections per LUN only.
int activeConnectionsOnLun(const FATServer::FATPipeInfoSeq &pipes, int lun);

// What the server and target listings show of one target device (LUN).
struct target_device_t {
  int port;
  const char *mode;
  int speed;  // gigabits per second, 0 when not known
  const char *wwn;
  const char *model;
  const char *vendor;
  const char *state;
  int lun;
  int active;  // pipes with status 2 on this LUN number, whatever their port
};

target_device_t targetDeviceValues(const FATServer::FATPseudoDeviceInfo *device,
                                   const FATServer::FATPipeInfoSeq &pipes);
// One LUN under its port: verbose lines and an empty line, or an object of
// the port's `luns` in JSON; the compact line of the LUN is its port's.
void printLun(const target_device_t &v, json_t *luns);

// Calls `each(values, newPort)` for every device of `server` in order, where
// `newPort` says the device opens a port group; false when there was none.
template <class Each> bool forEachTargetDevice(const FATServer::FATServerInfo *server, Each each) {
  const FATServer::FATPseudoDeviceInfoSeq &devices = server->devices();
  bool any = false;
  int lastPort = -1;
  for (CORBA::ULong i = 0; i < devices.length(); ++i) {
    if (!devices[i].in()) continue;
    target_device_t values = targetDeviceValues(devices[i].in(), server->pipes());
    // A device without a port never shares a header with another one.
    bool newPort = values.port != lastPort || values.port == -1;
    lastPort = values.port;
    each(values, newPort);
    any = true;
  }
  return any;
}

// Ends what a host printed: in text an empty line when it had no devices;
// in JSON the host's own document when it is not part of a list (`array`
// null).
void closeHost(json_t *object, json_t *array, bool printedDevices);

// The length of a sequence that a remote call returned; 0 when there is none.
template <typename SeqVar> CORBA::ULong lengthOf(const SeqVar &seq) {
  return seq.operator->() ? seq->length() : 0;
}

// Reports an outcome where nothing was found (info level, on stdout) and
// ends the run with status 0.
[[noreturn]] void reportNothingFound(const char *id, const char *text, const char *object);

// The service refused to name its FT servers: reports the refusal and ends
// the run with its status.
[[noreturn]] void refuseFTServerQuery(const QZSLOpException &e);

// The FT server named by "-Me"; when the service knows none, the run ends
// with "FT server not found".
FATServer::FATServerInfo_var namedServerInfo();
