// An inventory in which every record type appears with every member set to a
// value other than its default (long longs above 2^32, expansion attributes on
// nested records, null nested records and empty sequences where the members
// allow them), written out in full as export writes it.
#pragma once

const char *const FULL_INVENTORY = R"json({
  "servers": [
    {
      "expansion": [{"name": "srv-x"}, {"name": "srv-y"}],
      "addresses": [
        {"expansion": [{"name": "addr-x"}], "type": 2, "address": "10.0.0.1", "cluster": true,
         "alias_": [{"expansion": [{"name": "alias-x"}], "aliasName": "media1.example"}, {"aliasName": "m1"}],
         "size": 4, "primaryName": "media1"}
      ],
      "devices": [
        {"expansion": [{"name": "dev-x"}], "lun": 3,
         "devicePort": {"expansion": [{"name": "port-x"}], "portd": 11, "vendor": "QLogic", "portNumber": 1,
                        "mode": 2, "status": 524289, "model": "QLE2562", "portWWN": "21:00:00:e0:8b:00:00:01"},
         "status": 1, "inquiryPageCode83": "naa.600140501"},
        {"lun": 4,
         "devicePort": {"portd": 11, "vendor": "QLogic", "portNumber": 1, "mode": 2, "status": 524289,
                        "model": "QLE2562", "portWWN": "21:00:00:e0:8b:00:00:01"},
         "status": 2, "inquiryPageCode83": "naa.600140502"},
        {"lun": 5, "devicePort": null, "status": 7, "inquiryPageCode83": ""}
      ],
      "numberOfConnections": 1,
      "masterServerName": "master1",
      "operatingSystem": 7,
      "config": {"expansion": [{"name": "cfg-x"}], "maxNumberOfPipes": 16, "recommendedNumberOfPipes": 8,
                 "numberOfPipes": 6, "maxNumberOfLUNsPerPort": 9, "maxNumberOfPorts": 4},
      "hostName": "media1",
      "serviceName": "tessark-ft",
      "pipes": [
        {"expansion": [{"name": "pipe-x"}],
         "device": {"expansion": [{"name": "dev-x"}], "lun": 3,
                    "devicePort": {"expansion": [{"name": "port-x"}], "portd": 11, "vendor": "QLogic",
                                   "portNumber": 1, "mode": 2, "status": 524289, "model": "QLE2562",
                                   "portWWN": "21:00:00:e0:8b:00:00:01"},
                    "status": 1, "inquiryPageCode83": "naa.600140501"},
         "bufferCtrl": {"expansion": [{"name": "buf-x"}], "shmId": 1, "owner": 2, "ownerPid": 3,
                        "shmSize": 8589934592, "multiplexed": true, "bufferSegmentSize": 4294967297,
                        "shmFlags": 5000000000, "numBufferSegment": 6000000000},
         "address": {"expansion": [{"name": "nexus-x"}], "lun": 3, "initiatorId": 5, "targetId": 6},
         "status": 2, "direction": 1, "pipeId": 9},
        {"device": {"lun": 12, "devicePort": null, "status": 0, "inquiryPageCode83": "only-a-pipe"},
         "bufferCtrl": null, "address": null, "status": 3, "direction": 2, "pipeId": 10},
        {"device": null, "bufferCtrl": null, "address": null, "status": 0, "direction": 0, "pipeId": 11}
      ],
      "state": 1,
      "serviceVersion": "10.2.0.1"
    },
    {
      "addresses": [], "devices": [], "numberOfConnections": 0, "masterServerName": "", "operatingSystem": 0,
      "config": null, "hostName": "media2", "serviceName": "", "pipes": [], "state": 0, "serviceVersion": ""
    }
  ],
  "clients": [
    {
      "fatClientInfo": {
        "expansion": [{"name": "cli-x"}],
        "addresses": [{"type": 2, "address": "10.0.1.1", "cluster": false, "alias_": [], "size": 4,
                       "primaryName": "c1"}],
        "hostDevices": [
          {"expansion": [{"name": "cdev-x"}],
           "device": {"expansion": [{"name": "dev-x"}], "lun": 3,
                      "devicePort": {"expansion": [{"name": "port-x"}], "portd": 11, "vendor": "QLogic",
                                     "portNumber": 1, "mode": 2, "status": 524289, "model": "QLE2562",
                                     "portWWN": "21:00:00:e0:8b:00:00:01"},
                      "status": 1, "inquiryPageCode83": "naa.600140501"},
           "hbaPort": {"expansion": [{"name": "hba-x"}], "vendor": "Emulex", "portNumber": 0, "status": 1,
                       "driverName": "lpfc", "portId": 5, "model": "LPe12002", "driverVersion": "14.0",
                       "portWWN": "10:00:00:90:fa:00:00:01"},
           "deviceServerName": "media1", "status": 1, "name": "/dev/sg3"},
          {"device": {"lun": 50,
                      "devicePort": {"portd": 1, "vendor": "V", "portNumber": 8, "mode": 3, "status": 0,
                                     "model": "M", "portWWN": "W"},
                      "status": 1, "inquiryPageCode83": "elsewhere"},
           "hbaPort": {"expansion": [{"name": "hba-x"}], "vendor": "Emulex", "portNumber": 0, "status": 1,
                       "driverName": "lpfc", "portId": 5, "model": "LPe12002", "driverVersion": "14.0",
                       "portWWN": "10:00:00:90:fa:00:00:01"},
           "deviceServerName": "media9", "status": 4, "name": "/dev/sg4"},
          {"device": null, "hbaPort": null, "deviceServerName": "", "status": 0, "name": ""}
        ],
        "masterServerName": "master1",
        "machine": {"expansion": [{"name": "mach-x"}], "operatingSystem": 3, "supportFATDeviceScan": true},
        "hostName": "c1",
        "serviceName": "tessark-ft-client",
        "pipes": [
          {"expansion": [{"name": "cpipe-x"}],
           "devicePath": {"expansion": [{"name": "cdev-x"}],
                          "device": {"expansion": [{"name": "dev-x"}], "lun": 3,
                                     "devicePort": {"expansion": [{"name": "port-x"}], "portd": 11,
                                                    "vendor": "QLogic", "portNumber": 1, "mode": 2,
                                                    "status": 524289, "model": "QLE2562",
                                                    "portWWN": "21:00:00:e0:8b:00:00:01"},
                                     "status": 1, "inquiryPageCode83": "naa.600140501"},
                          "hbaPort": {"expansion": [{"name": "hba-x"}], "vendor": "Emulex", "portNumber": 0,
                                      "status": 1, "driverName": "lpfc", "portId": 5, "model": "LPe12002",
                                      "driverVersion": "14.0", "portWWN": "10:00:00:90:fa:00:00:01"},
                          "deviceServerName": "media1", "status": 1, "name": "/dev/sg3"},
           "status": 2,
           "buffer": {"shmId": 21, "owner": 22, "ownerPid": 23, "shmSize": 8589934593, "multiplexed": false,
                      "bufferSegmentSize": 262144, "shmFlags": 4294967296, "numBufferSegment": 1024},
           "direction": 1,
           "job": {"expansion": [{"name": "job-x"}],
                   "extraInfo": {"expansion": [{"name": "extra-x"}], "sqlServerInstanceID": "INST1",
                                 "sqlServerVersion": "15.0", "altBufferInfo": "alt", "sqlAltRestoreEvent": "ev",
                                 "reserved": "r"},
                   "jobId": "48211", "jobGroupId": "48210", "backupId": "c1_1733390001",
                   "requestingUser": "root"},
           "pipeId": 9,
           "stats": {"expansion": [{"name": "stats-x"}], "numClientWait": 1, "effectiveElapsedTime": 5400000000,
                     "numDataNotReady": 2, "numIoNotReady": 3, "realElapsedTime": 5400002500,
                     "numErrorAgainTransfer": 4, "numDataMissingTransfer": 5, "numTotalBytes": 214748364800,
                     "numCheckCondition": 6, "numRetries": 7, "numErrorIoDevice": 8, "numErrorSemTimeout": 9}},
          {"devicePath": {"device": null, "hbaPort": null, "deviceServerName": "media1", "status": 2,
                          "name": "/dev/sg9"},
           "status": 3, "buffer": null, "direction": 2, "job": null, "pipeId": 10, "stats": null},
          {"devicePath": null, "status": 0, "buffer": null, "direction": 0,
           "job": {"extraInfo": null, "jobId": "", "jobGroupId": "", "backupId": "", "requestingUser": ""},
           "pipeId": 0, "stats": null}
        ],
        "state": 1,
        "serviceVersion": "10.2.0.1"
      },
      "afatUsageInfo": {"usagePref": "Preferred", "waitPeriod": {"backupWaitPeriod": 11, "restoreWaitPeriod": 22},
                        "isClientUsageInfo": true}
    },
    {
      "fatClientInfo": {"addresses": [], "hostDevices": [], "masterServerName": "", "machine": null,
                        "hostName": "c2", "serviceName": "", "pipes": [], "state": 0, "serviceVersion": ""},
      "afatUsageInfo": null
    }
  ],
  "usage": [
    {"host": "master1", "machineType": "QZSL_QZU_MASTER",
     "usage": {"usagePref": "Always", "waitPeriod": {"backupWaitPeriod": 5, "restoreWaitPeriod": 6},
               "isClientUsageInfo": false}},
    {"host": "media1", "machineType": "QZSL_QZU_MEDIA",
     "usage": {"usagePref": "Never", "waitPeriod": null, "isClientUsageInfo": false}},
    {"host": "retired-client", "machineType": "QZSL_QZU_CLIENT",
     "usage": {"usagePref": "FailIfNoFT", "waitPeriod": {"backupWaitPeriod": 0, "restoreWaitPeriod": 0},
               "isClientUsageInfo": true}}
  ],
  "settings": [
    {"host": "master1", "machineType": "QZSL_QZU_MASTER", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER",
     "confValue": "3"},
    {"host": "master1", "machineType": "QZSL_QZU_MASTER", "confName": "FT_MAX_CLIENTS_PER_PORT",
     "confValue": "4"},
    {"host": "c1", "machineType": "QZSL_QZU_CLIENT", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER",
     "confValue": "1"}
  ]
})json";
