// A small site built to exercise the listing layouts: port grouping, records
// without ports, HBA ports or devices, odd states and modes, LUN counting.
#pragma once

// media1: LUNs 0 and 1 on port 1, LUN 2 on port 2 (mode 7, speed bits 0),
//   LUN 3 on port 1 again, LUNs 4 and 5 without a port; pipes: two active on
//   LUN 3 (ports 2 and 1), one inactive on LUN 3, one active without a
//   device, one active on LUN 0. media2: disabled, no config, no devices.
// c1: devices on HBA ports 0, 0, 1, 0 and three pipes; c2: "Always", no
//   devices; c3: "" preference, two devices without an HBA port behind a
//   server that does not exist, and a device without a pseudo device.
const char *const LAYOUT_SITE = R"({
 "servers": [
  {"hostName": "media1", "masterServerName": "master1", "serviceVersion": "9.1", "state": 1,
   "config": {"maxNumberOfPipes": 16, "numberOfPipes": 8},
   "devices": [
    {"lun": 0, "status": 1, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "21:00:00:24:ff:00:00:01", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 1, "status": 2, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "21:00:00:24:ff:00:00:01", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 2, "status": 0, "devicePort": {"portNumber": 2, "mode": 7, "status": 65535, "portWWN": "21:00:00:24:ff:00:00:02", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 3, "status": 9, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "21:00:00:24:ff:00:00:01", "model": "QLE2562", "vendor": "QLogic"}},
    {"lun": 4, "status": 1},
    {"lun": 5, "status": 1}],
   "pipes": [
    {"status": 2, "direction": 1, "pipeId": 11, "device": {"lun": 3, "status": 1, "devicePort": {"portNumber": 2, "mode": 7, "status": 65535, "portWWN": "21:00:00:24:ff:00:00:02", "model": "QLE2562", "vendor": "QLogic"}}},
    {"status": 2, "direction": 2, "pipeId": 12, "device": {"lun": 3, "status": 1, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "21:00:00:24:ff:00:00:01", "model": "QLE2562", "vendor": "QLogic"}}},
    {"status": 1, "direction": 1, "pipeId": 13, "device": {"lun": 3, "status": 1}},
    {"status": 2, "direction": 3, "pipeId": 14},
    {"status": 2, "direction": 4, "pipeId": 15, "device": {"lun": 0, "status": 1, "devicePort": {"portNumber": 1, "mode": 2, "status": 524288, "portWWN": "21:00:00:24:ff:00:00:01", "model": "QLE2562", "vendor": "QLogic"}}}]},
  {"hostName": "media2", "masterServerName": "master1", "serviceVersion": "8.3", "state": 0}],
 "clients": [
  {"fatClientInfo": {"hostName": "c1", "masterServerName": "master1", "serviceVersion": "9.1", "state": 1,
    "hostDevices": [
     {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 0}, "device": {"lun": 0, "devicePort": {"portNumber": 1, "mode": 2}}},
     {"deviceServerName": "media1", "status": 2, "hbaPort": {"portNumber": 0}, "device": {"lun": 1, "devicePort": {"portNumber": 1, "mode": 2}}},
     {"deviceServerName": "media2", "status": 0, "hbaPort": {"portNumber": 1}, "device": {"lun": 2, "devicePort": {"portNumber": 2, "mode": 3}}},
     {"deviceServerName": "media1", "status": 7, "hbaPort": {"portNumber": 0}, "device": {"lun": 3, "devicePort": {"portNumber": 1, "mode": 4}}}],
    "pipes": [
     {"status": 2, "direction": 1, "pipeId": 101, "job": {"jobId": "4711"},
      "devicePath": {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 0}, "device": {"lun": 0, "devicePort": {"portNumber": 1, "mode": 2}}}},
     {"status": 1, "direction": 2, "pipeId": 102,
      "devicePath": {"deviceServerName": "media2", "status": 0, "hbaPort": {"portNumber": 1}, "device": {"lun": 2, "devicePort": {"portNumber": 2, "mode": 3}}}},
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
