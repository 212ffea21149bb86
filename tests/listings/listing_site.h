// The listing tests are rows of one table each: a site, fault rules, the
// tool's arguments and everything the run must leave behind.
#pragma once

#include <optional>

#include "harness.h"

// A site built to exercise the layouts. media1: LUNs 0 and 1 on port 1, LUN 2
// on port 2 (mode 7, speed bits 0), LUN 3 on port 1 again, LUNs 4 and 5
// without a port; pipes: two active on LUN 3, one inactive, one active without
// a device, one active on LUN 0. media2: disabled, no config, no devices.
// c1: devices on HBA ports 0, 0, 1, 0 and three pipes, the first with every
// record that needs a value factory of its own on the tool's side; c2: no devices; c3: two
// devices without an HBA port behind a missing server, one without a device.
const char *const LAYOUT_SITE = R"({
 "servers": [
  {"hostName": "media1", "masterServerName": "master1", "serviceVersion": "9.1", "state": 1,
   "config": {"maxNumberOfPipes": 16, "numberOfPipes": 8},
   "devices": [
    {"lun": 0, "status": 1, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "wwn1", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 1, "status": 2, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "wwn1", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 2, "status": 0, "devicePort": {"portNumber": 2, "mode": 7, "status": 65535, "portWWN": "wwn2", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 3, "status": 9, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "wwn1", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 4, "status": 1}, {"lun": 5, "status": 1}],
   "pipes": [
    {"status": 2, "direction": 1, "pipeId": 11, "device": {"lun": 3, "devicePort": {"portNumber": 2}}},
    {"status": 2, "direction": 2, "pipeId": 12, "device": {"lun": 3, "devicePort": {"portNumber": 1}}},
    {"status": 1, "direction": 1, "pipeId": 13, "device": {"lun": 3}},
    {"status": 2, "direction": 3, "pipeId": 14},
    {"status": 2, "direction": 4, "pipeId": 15, "device": {"lun": 0, "devicePort": {"portNumber": 1}}}]},
  {"hostName": "media2", "masterServerName": "master1", "serviceVersion": "8.3", "state": 0}],
 "clients": [
  {"fatClientInfo": {"hostName": "c1", "masterServerName": "master1", "serviceVersion": "9.1", "state": 1,
    "hostDevices": [
     {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 0}, "device": {"lun": 0, "devicePort": {"portNumber": 1, "mode": 2}}},
     {"deviceServerName": "media1", "status": 2, "hbaPort": {"portNumber": 0}, "device": {"lun": 1, "devicePort": {"portNumber": 1, "mode": 2}}},
     {"deviceServerName": "media2", "status": 0, "hbaPort": {"portNumber": 1}, "device": {"lun": 2, "devicePort": {"portNumber": 2, "mode": 3}}},
     {"deviceServerName": "media1", "status": 7, "hbaPort": {"portNumber": 0}, "device": {"lun": 3, "devicePort": {"portNumber": 1, "mode": 4}}}],
    "pipes": [
     {"status": 2, "direction": 1, "pipeId": 101, "expansion": [{"name": "x-vendor"}],
      "buffer": {"shmId": 1, "shmSize": 8589934592, "multiplexed": true}, "stats": {"numTotalBytes": 8589934593},
      "job": {"jobId": "4711", "extraInfo": {"sqlServerInstanceID": "inst"}},
      "devicePath": {"deviceServerName": "media1", "hbaPort": {"portNumber": 0}, "device": {"lun": 0, "devicePort": {"portNumber": 1}}}},
     {"status": 1, "direction": 2, "pipeId": 102,
      "devicePath": {"deviceServerName": "media2", "hbaPort": {"portNumber": 1}, "device": {"lun": 2, "devicePort": {"portNumber": 2}}}},
     {"status": 3, "direction": 0, "pipeId": 103}]},
   "afatUsageInfo": {"usagePref": "Preferred", "waitPeriod": {"backupWaitPeriod": 15, "restoreWaitPeriod": 5}}},
  {"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "serviceVersion": "9.0", "state": 0},
   "afatUsageInfo": {"usagePref": "Always", "waitPeriod": {"backupWaitPeriod": 3, "restoreWaitPeriod": 4}}},
  {"fatClientInfo": {"hostName": "c3", "masterServerName": "master2", "serviceVersion": "8.3", "state": 1,
    "hostDevices": [
     {"deviceServerName": "ghost", "status": 1, "device": {"lun": 7, "devicePort": {"portNumber": 3, "mode": 1}}},
     {"deviceServerName": "ghost", "status": 1, "device": {"lun": 8, "devicePort": {"portNumber": 3, "mode": 1}}},
     {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 2}}]},
   "afatUsageInfo": {"usagePref": "", "waitPeriod": {"backupWaitPeriod": 0, "restoreWaitPeriod": 0}}}],
 "settings": [{"host": "c1", "machineType": "QZSL_QZU_CLIENT", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "4"}]
})";

const char *const OUTPUT_FULL = "qzftconfig: cannot write standard output: No space left on device\n";

// A row names only what it sets: by default a run on the layout site, without
// fault rules, that succeeds and writes nothing on standard error.
struct ListingCase {
  std::string name;
  Lines args;
  std::string out;
  std::optional<Lines> calls = std::nullopt;  // the FT calls, when they matter
  std::optional<Lines> log = std::nullopt;    // the debug log, when it matters
  std::string inventory = LAYOUT_SITE;
  std::string faults = "";                    // fault rules, "" for none
  std::string err = "";
  int status = STATUS_OK;
  const char *stdoutTo = nullptr;             // see RunOptions; null: captured
};

// `row` on a site of `inventory`, on one with `faults`, and ending with
// `status` and `err` after writing its standard output to `stdoutTo`.
inline ListingCase on(const std::string &inventory, ListingCase row) { row.inventory = inventory; return row; }
inline ListingCase faulted(const std::string &faults, ListingCase row) { row.faults = faults; return row; }
inline ListingCase ending(int status, const std::string &err, ListingCase row, const char *stdoutTo = nullptr) {
  row.status = status; row.err = err; row.stdoutTo = stdoutTo;
  return row;
}
// Every row starts a site of its own: rows share no journal and no log.
struct Listing : ::testing::TestWithParam<ListingCase> {};

// Failures name the row rather than dump its bytes.
inline void PrintTo(const ListingCase &c, std::ostream *os) { *os << c.name; }
