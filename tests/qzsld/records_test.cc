// Records over the wire: what qzsld holds arrives member by member, what a
// caller builds is stored as sent, and a refusal carries every error record.
#include <gtest/gtest.h>

#include "stubs.h"

namespace {

// Every record type with every member set to a value other than its default
// (long longs above 2^32, expansion attributes on nested records), next to null
// nested records, empty sequences and empty texts; written as qzsld gives them.
#define QZ_PORT                                                                                   \
  R"({"expansion": [{"name": "port-x"}], "portd": 11, "vendor": "QLogic", "portNumber": 1, "mode": 2, )" \
  R"("status": 524289, "model": "QLE2562", "portWWN": "21:00:00:e0:8b:00:00:01"})"
#define QZ_DEVICE \
  R"({"expansion": [{"name": "dev-x"}], "lun": 3, "devicePort": )" QZ_PORT R"(, "status": 1, "inquiryPageCode83": "naa.1"})"
#define QZ_HBA                                                                                           \
  R"({"expansion": [{"name": "hba-x"}], "vendor": "Emulex", "portNumber": 0, "status": 1, "driverName": "lpfc", )" \
  R"("portId": 5, "model": "LPe12002", "driverVersion": "14.0", "portWWN": "10:00:00:90:fa:00:00:01"})"
#define QZ_CLIENT_DEVICE                                                                       \
  R"({"expansion": [{"name": "cdev-x"}], "device": )" QZ_DEVICE R"(, "hbaPort": )" QZ_HBA \
  R"(, "deviceServerName": "media1", "status": 1, "name": "/dev/sg3"})"

const char *const FULL_SERVERS = R"json([
  {"expansion": [{"name": "srv-x"}, {"name": "srv-y"}],
   "addresses": [{"expansion": [{"name": "addr-x"}], "type": 2, "address": "10.0.0.1", "cluster": true,
                  "alias_": [{"expansion": [{"name": "alias-x"}], "aliasName": "media1.example"}, {"aliasName": "m1"}],
                  "size": 4, "primaryName": "media1"}],
   "devices": [)json" QZ_DEVICE R"json(, {"lun": 5, "devicePort": null, "status": 7, "inquiryPageCode83": ""}],
   "numberOfConnections": 1, "masterServerName": "master1", "operatingSystem": 7,
   "config": {"expansion": [{"name": "cfg-x"}], "maxNumberOfPipes": 16, "recommendedNumberOfPipes": 8,
              "numberOfPipes": 6, "maxNumberOfLUNsPerPort": 9, "maxNumberOfPorts": 4},
   "hostName": "media1", "serviceName": "tessark-ft",
   "pipes": [
     {"expansion": [{"name": "pipe-x"}], "device": )json" QZ_DEVICE R"json(,
      "bufferCtrl": {"expansion": [{"name": "buf-x"}], "shmId": 1, "owner": 2, "ownerPid": 3, "shmSize": 8589934592,
                     "multiplexed": true, "bufferSegmentSize": 4294967297, "shmFlags": 5000000000,
                     "numBufferSegment": 6000000000},
      "address": {"expansion": [{"name": "nexus-x"}], "lun": 3, "initiatorId": 5, "targetId": 6},
      "status": 2, "direction": 1, "pipeId": 9},
     {"device": null, "bufferCtrl": null, "address": null, "status": 0, "direction": 0, "pipeId": 11}],
   "state": 1, "serviceVersion": "10.2.0.1"},
  {"addresses": [], "devices": [], "numberOfConnections": 0, "masterServerName": "", "operatingSystem": 0,
   "config": null, "hostName": "media2", "serviceName": "", "pipes": [], "state": 0, "serviceVersion": ""}
])json";

const char *const FULL_CLIENTS = R"json([
  {"fatClientInfo": {
     "expansion": [{"name": "cli-x"}],
     "addresses": [{"type": 2, "address": "10.0.1.1", "cluster": false, "alias_": [], "size": 4, "primaryName": "c1"}],
     "hostDevices": [)json" QZ_CLIENT_DEVICE R"json(,
       {"device": {"lun": 50, "devicePort": {"portd": 1, "vendor": "V", "portNumber": 8, "mode": 3, "status": 0,
                                             "model": "M", "portWWN": "W"}, "status": 1, "inquiryPageCode83": "x"},
        "hbaPort": null, "deviceServerName": "media9", "status": 4, "name": "/dev/sg4"},
       {"device": null, "hbaPort": null, "deviceServerName": "", "status": 0, "name": ""}],
     "masterServerName": "master1",
     "machine": {"expansion": [{"name": "mach-x"}], "operatingSystem": 3, "supportFATDeviceScan": true},
     "hostName": "c1", "serviceName": "tessark-ft-client",
     "pipes": [
       {"expansion": [{"name": "cpipe-x"}], "devicePath": )json" QZ_CLIENT_DEVICE R"json(, "status": 2,
        "buffer": {"shmId": 21, "owner": 22, "ownerPid": 23, "shmSize": 8589934593, "multiplexed": false,
                   "bufferSegmentSize": 262144, "shmFlags": 4294967296, "numBufferSegment": 1024},
        "direction": 1,
        "job": {"expansion": [{"name": "job-x"}],
                "extraInfo": {"expansion": [{"name": "extra-x"}], "sqlServerInstanceID": "INST1",
                              "sqlServerVersion": "15.0", "altBufferInfo": "alt", "sqlAltRestoreEvent": "ev",
                              "reserved": "r"},
                "jobId": "48211", "jobGroupId": "48210", "backupId": "c1_1733390001", "requestingUser": "root"},
        "pipeId": 9,
        "stats": {"expansion": [{"name": "stats-x"}], "numClientWait": 1, "effectiveElapsedTime": 5400000000,
                  "numDataNotReady": 2, "numIoNotReady": 3, "realElapsedTime": 5400002500,
                  "numErrorAgainTransfer": 4, "numDataMissingTransfer": 5, "numTotalBytes": 214748364800,
                  "numCheckCondition": 6, "numRetries": 7, "numErrorIoDevice": 8, "numErrorSemTimeout": 9}},
       {"devicePath": {"device": null, "hbaPort": null, "deviceServerName": "media1", "status": 2, "name": "/dev/sg9"},
        "status": 3, "buffer": null, "direction": 2, "job": null, "pipeId": 10, "stats": null},
       {"devicePath": null, "status": 0, "buffer": null, "direction": 0,
        "job": {"extraInfo": null, "jobId": "", "jobGroupId": "", "backupId": "", "requestingUser": ""},
        "pipeId": 0, "stats": null}],
     "state": 1, "serviceVersion": "10.2.0.1"},
   "afatUsageInfo": {"usagePref": "Preferred", "waitPeriod": {"backupWaitPeriod": 11, "restoreWaitPeriod": 22},
                     "isClientUsageInfo": true}},
  {"fatClientInfo": {"addresses": [], "hostDevices": [], "masterServerName": "", "machine": null, "hostName": "c2",
                     "serviceName": "", "pipes": [], "state": 0, "serviceVersion": ""},
   "afatUsageInfo": null}
])json";

const char *const FULL_SETTINGS = R"json([
  {"host": "c1", "machineType": "QZSL_QZU_CLIENT", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "1"}
])json";

// A refusal with a wide text beyond the basic plane, on an operation the
// record checks do not call.
const char *const REFUSAL = R"({"op": "getMediaServersCountOfClient", "action": "raise", "domain": 9,
  "when": 1700000000, "hostName": "h",
  "errors": [{"errorCode": 5, "localizedMsg": "Dienst nicht verfügbar ✓", "additionalMsg": "日本語 𝄞"},
             {"errorCode": 77, "recIndex": 1, "localizedMsg": "second"}]})";

struct WireRecords : ::testing::Test {
  static Site site;
  static void SetUpTestSuite() {
    SiteOptions options;
    options.inventory = std::string(R"({"servers": )") + FULL_SERVERS + R"(, "clients": )" + FULL_CLIENTS +
                        R"(, "settings": )" + FULL_SETTINGS + "}";
    options.faults = faultRules({REFUSAL});
    site = startSite(options);
  }
  static void TearDownTestSuite() { stopSite(site); }
  FT::FATServiceQueryFacet_var query = queryOf(site);
  Json servers{json_loads(FULL_SERVERS, 0, nullptr)}, clients{json_loads(FULL_CLIENTS, 0, nullptr)};
  json_t *client(size_t i, const char *part = "fatClientInfo") {
    return json_object_get(json_array_get(clients.get(), i), part);
  }
};
Site WireRecords::site;

TEST_F(WireRecords, EveryRecordArrivesWithEveryMember) {
  SV::FATServerInfoSeq_var list = query->getFATServerList("");
  EXPECT_TRUE(sameJson(servers.get(), sequenceToJson(list.in())));
  FT::SANClientInfo_var c1 = query->getSANClientInfo("c1"), c2 = query->getSANClientInfo("c2");
  EXPECT_TRUE(sameJson(client(0), toJson(c1->fatClientInfo())));
  EXPECT_TRUE(sameJson(client(0, "afatUsageInfo"), toJson(c1->afatUsageInfo())));
  EXPECT_TRUE(sameJson(client(1), toJson(c2->fatClientInfo())));
  FT::FTConfigInfoSeq keys;
  keys.length(1);
  keys[0] = new OBV_FT::FTConfigInfo;
  keys[0]->confName("FT_MAX_CLIENT_PORTS_PER_SERVER");
  keys[0]->isClient(false);
  FT::FTConfigInfoSeq_var found = query->getFTConfigInfoSeq("c1", "master1", FT::QZSL_QZU_CLIENT, keys);
  Json setting{json_loads(R"([{"confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "1", "isClient": true}])",
                          0, nullptr)};
  EXPECT_TRUE(sameJson(setting.get(), sequenceToJson(found.in())));
  // The key's value was never set (unlike a number, a text starts out empty).
  EXPECT_EQ(journal(site).back(), "getFTConfigInfoSeq \"c1\" \"master1\" QZSL_QZU_CLIENT "
                                  "[{\"confName\":\"FT_MAX_CLIENT_PORTS_PER_SERVER\",\"confValue\":\"\","
                                  "\"isClient\":false}]");
}

template <class T> T *decoded(json_t *json) {
  T *record = nullptr;
  decodeRecord(json, record);
  return record;
}

// Records built by the caller are stored member for member.
TEST_F(WireRecords, RecordsFromTheCallerAreStoredAsSent) {
  Site empty = startSite(SiteOptions());
  FT::FATServiceModifiableFacet_var modify = modifyOf(empty);
  query = queryOf(empty);
  json_t *server = json_array_get(servers.get(), 0);
  SV::FATServerInfo_var full = decoded<SV::FATServerInfo>(server), added = modify->addServer(full);
  CL::FATClientInfo_var c1 = decoded<CL::FATClientInfo>(client(0)), addedClient = modify->addClientWithInfo(c1);
  SV::FATServerInfo_var media1 = query->getFATServerInfo("media1");
  EXPECT_TRUE(sameJson(server, toJson(media1.in())));
  FT::SANClientInfo_var stored = query->getSANClientInfo("c1");
  EXPECT_TRUE(sameJson(client(0), toJson(stored->fatClientInfo())));
  stopSite(empty);
}

TEST_F(WireRecords, ARefusalCarriesEveryErrorRecordWithItsWideTexts) {
  try {
    query->getMediaServersCountOfClient("c1");
    FAIL() << "no exception";
  } catch (const SL::QZSLOpException &e) {
    EXPECT_EQ(e.domain, 9);
    EXPECT_EQ(e.when, 1700000000);
    EXPECT_STREQ(e.hostName, "h");
    ASSERT_EQ(e.errRecSeq.length(), 2u);
    EXPECT_EQ(errorsOf(e), "5:Dienst nicht verfügbar ✓|77:second");
    EXPECT_EQ(utf8(e.errRecSeq[0].additionalMsg), "日本語 𝄞");
    // Beyond the basic plane as a surrogate pair of UTF-16 units.
    EXPECT_EQ(e.errRecSeq[0].additionalMsg[4], (CORBA::WChar)0xD834);
    EXPECT_EQ(e.errRecSeq[0].additionalMsg[5], (CORBA::WChar)0xDD1E);
    EXPECT_EQ(e.errRecSeq[1].recIndex, 1);
    ASSERT_NE(e.errRecSeq[1].additionalMsg.in(), nullptr);
    EXPECT_EQ(utf8(e.errRecSeq[1].additionalMsg), "");
  }
}

}  // namespace
