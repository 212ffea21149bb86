// Records through the store and over the wire: what goes in comes back out,
// member by member, in both directions.
#include <gtest/gtest.h>

#include "full_inventory.h"
#include "qzsld_harness.h"

namespace {

// Imports `inventory` into a fresh database and exports it again.
Outcome importExport(const std::string &inventory, std::string &exported, const std::string &db = "") {
  std::string dir = tempDir();
  writeText(dir + "/in.json", inventory);
  Outcome run = runQzsld({"--db", db.empty() ? dir + "/db" : db, "--inventory", dir + "/in.json", "--export",
                      dir + "/out.json"});
  exported = readText(dir + "/out.json");
  return run;
}

void expectSameJson(const std::string &expected, const std::string &actual) {
  Json a = parseJson(expected), b = parseJson(actual);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(json_equal(a.get(), b.get())) << "expected:\n" << expected << "\nactual:\n" << actual;
}

TEST(Inventory, ExportGivesBackEveryRecordImported) {
  std::string exported;
  Outcome run = importExport(FULL_INVENTORY, exported);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  expectSameJson(FULL_INVENTORY, exported);
}

TEST(Inventory, ExportWritesMembersInMarshallingOrder) {
  std::string exported;
  ASSERT_EQ(importExport(FULL_INVENTORY, exported).status, 0);
  size_t server = exported.find("\"srv-x\"");
  std::vector<const char *> order = {"\"addresses\"",   "\"devices\"",  "\"numberOfConnections\"",
                                     "\"masterServerName\"", "\"operatingSystem\"", "\"config\"",
                                     "\"hostName\": \"media1\"", "\"serviceName\"", "\"pipes\"",
                                     "\"state\"",       "\"serviceVersion\""};
  size_t at = server;
  for (const char *key : order) {
    size_t next = exported.find(key, at);
    ASSERT_NE(next, std::string::npos) << key;
    at = next;
  }
  EXPECT_LT(exported.find("\"expansion\""), exported.find("\"addresses\""));
  EXPECT_EQ(exported.back(), '\n');
}

TEST(Inventory, MissingMembersTakeTheirDefaults) {
  std::string exported;
  Outcome run = importExport(R"({"servers": [{"hostName": "m"}], "clients": [{"fatClientInfo": {"hostName": "c",
      "hostDevices": [{"deviceServerName": "m"}], "pipes": [{"job": {}}]}}]})",
                         exported);
  ASSERT_EQ(run.status, 0) << run.err;
  expectSameJson(R"({
    "servers": [{"addresses": [], "devices": [], "numberOfConnections": 0, "masterServerName": "",
                 "operatingSystem": 0, "config": null, "hostName": "m", "serviceName": "", "pipes": [],
                 "state": 0, "serviceVersion": ""}],
    "clients": [{"fatClientInfo": {"addresses": [],
                   "hostDevices": [{"device": null, "hbaPort": null, "deviceServerName": "m", "status": 0,
                                    "name": ""}],
                   "masterServerName": "", "machine": null, "hostName": "c", "serviceName": "",
                   "pipes": [{"devicePath": null, "status": 0, "buffer": null, "direction": 0,
                              "job": {"extraInfo": null, "jobId": "", "jobGroupId": "", "backupId": "",
                                      "requestingUser": ""},
                              "pipeId": 0, "stats": null}],
                   "state": 0, "serviceVersion": ""},
                 "afatUsageInfo": null}],
    "usage": [], "settings": []})",
                 exported);
}

TEST(Inventory, NullElementsAreNotStored) {
  std::string exported;
  ASSERT_EQ(importExport(R"({"servers": [null, {"hostName": "m", "devices": [null, {"lun": 2}]}]})", exported)
                .status,
            0);
  Json json = parseJson(exported);
  json_t *servers = json_object_get(json.get(), "servers");
  ASSERT_EQ(json_array_size(servers), 1u);
  json_t *devices = json_object_get(json_array_get(servers, 0), "devices");
  ASSERT_EQ(json_array_size(devices), 1u);
  EXPECT_EQ(json_integer_value(json_object_get(json_array_get(devices, 0), "lun")), 2);
}

TEST(Inventory, AClientUsageGivenApartTravelsWithTheClient) {
  std::string exported;
  ASSERT_EQ(importExport(R"({"clients": [{"fatClientInfo": {"hostName": "c"}}],
      "usage": [{"host": "c", "machineType": "QZSL_QZU_CLIENT", "usage": {"usagePref": "Always"}}]})",
                         exported)
                .status,
            0);
  Json json = parseJson(exported);
  EXPECT_EQ(json_array_size(json_object_get(json.get(), "usage")), 0u);
  json_t *usage = json_object_get(json_array_get(json_object_get(json.get(), "clients"), 0), "afatUsageInfo");
  EXPECT_STREQ(json_string_value(json_object_get(usage, "usagePref")), "Always");
}

struct BadInventory {
  const char *inventory;
  const char *message;
};

class MalformedInventory : public ::testing::TestWithParam<BadInventory> {};

TEST_P(MalformedInventory, IsRefusedWithTheMemberAndTheStoreKeepsItsInventory) {
  std::string dir = tempDir(), exported;
  ASSERT_EQ(importExport(R"({"servers": [{"hostName": "kept"}]})", exported, dir + "/db").status, 0);
  Outcome run = importExport(GetParam().inventory, exported, dir + "/db");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(run.err.rfind("qzsld: ", 0), 0u) << run.err;
  Outcome again = runQzsld({"--db", dir + "/db", "--export", dir + "/again.json"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(readText(dir + "/again.json").find("\"kept\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Records, MalformedInventory,
    ::testing::Values(
        BadInventory{R"({"servers": [{"hostName": "m", "devices": [{"devicePort": {"mode": "2"}}]}]})",
                     "servers[0].devices[0].devicePort.mode: expected an integer"},
        BadInventory{R"({"servers": [{"hostName": "m", "hostname": "x"}]})",
                     "servers[0]: unknown member \"hostname\""},
        BadInventory{R"({"servers": [{"hostName": "m", "state": 4294967296}]})",
                     "servers[0].state: integer out of the range of a long"},
        BadInventory{R"({"servers": [{"hostName": "m"}, {"hostName": "m"}]})",
                     "servers[1]: FT server listed twice"},
        BadInventory{R"({"servers": [{"hostName": ""}]})", "an FT server needs a host name"},
        BadInventory{R"({"clients": [{"afatUsageInfo": null}]})",
                     "clients[0]: expected a SAN client with its fatClientInfo"},
        BadInventory{R"({"usage": [{"host": "m", "machineType": "MASTER", "usage": {}}]})",
                     "usage[0]: expected {\"host\", \"machineType\", \"usage\"}"},
        BadInventory{R"({"settings": [{"host": "m", "machineType": "QZSL_QZU_MASTER", "confName": "X"}]})",
                     "settings[0]: expected {\"host\", \"machineType\", \"confName\", \"confValue\"}"},
        BadInventory{R"({"server": []})", "inventory: unknown member \"server\""},
        BadInventory{R"({"servers": [)", "in.json:1:"}));

// Over the wire, against the inventory above.
struct WireRecords : ::testing::Test {
  static Qzsld service;
  static void SetUpTestSuite() { service = startQzsld(FULL_INVENTORY); }
  static void TearDownTestSuite() { stopQzsld(service); }
};
Qzsld WireRecords::service;

TEST_F(WireRecords, ServerArrivesWithNestedRecordsAndLongLongs) {
  FT::FATServiceQueryFacet_var query = queryOf(service);
  SV::FATServerInfo_var server = query->getFATServerInfo("media1");
  ASSERT_TRUE(server.in());
  ASSERT_EQ(server->expansion().length(), 2u);
  EXPECT_STREQ(server->expansion()[1]->name(), "srv-y");
  ASSERT_EQ(server->addresses().length(), 1u);
  EXPECT_TRUE(server->addresses()[0]->cluster());
  EXPECT_STREQ(server->addresses()[0]->alias_()[0]->aliasName(), "media1.example");
  EXPECT_STREQ(server->addresses()[0]->alias_()[0]->expansion()[0]->name(), "alias-x");
  EXPECT_EQ(server->numberOfConnections(), 1);
  EXPECT_EQ(server->operatingSystem(), 7);
  ASSERT_EQ(server->devices().length(), 3u);
  EXPECT_EQ(server->devices()[0]->devicePort()->status(), 524289);
  EXPECT_STREQ(server->devices()[0]->devicePort()->expansion()[0]->name(), "port-x");
  EXPECT_STREQ(server->devices()[1]->devicePort()->portWWN(), "21:00:00:e0:8b:00:00:01");
  EXPECT_EQ(server->devices()[2]->devicePort(), nullptr);
  EXPECT_EQ(server->config()->numberOfPipes(), 6);
  EXPECT_EQ(server->config()->maxNumberOfLUNsPerPort(), 9);
  ASSERT_EQ(server->pipes().length(), 3u);
  SV::FATBufferCtrlInfo *buffer = server->pipes()[0]->bufferCtrl();
  EXPECT_EQ(buffer->shmSize(), 8589934592LL);
  EXPECT_EQ(buffer->bufferSegmentSize(), 4294967297LL);
  EXPECT_EQ(buffer->shmFlags(), 5000000000LL);
  EXPECT_EQ(buffer->numBufferSegment(), 6000000000LL);
  EXPECT_TRUE(buffer->multiplexed());
  EXPECT_EQ(server->pipes()[0]->address()->targetId(), 6);
  EXPECT_STREQ(server->pipes()[1]->device()->inquiryPageCode83(), "only-a-pipe");
  EXPECT_EQ(server->pipes()[1]->bufferCtrl(), nullptr);
  EXPECT_EQ(server->pipes()[2]->device(), nullptr);
}

TEST_F(WireRecords, EmptySequencesNullRecordsAndUnsetStrings) {
  FT::FATServiceQueryFacet_var query = queryOf(service);
  SV::FATServerInfo_var server = query->getFATServerInfo("media2");
  ASSERT_TRUE(server.in());
  EXPECT_EQ(server->addresses().length(), 0u);
  EXPECT_EQ(server->devices().length(), 0u);
  EXPECT_EQ(server->pipes().length(), 0u);
  EXPECT_EQ(server->expansion().length(), 0u);
  EXPECT_EQ(server->config(), nullptr);
  ASSERT_NE(server->serviceVersion(), nullptr);
  EXPECT_STREQ(server->serviceVersion(), "");
  EXPECT_STREQ(server->masterServerName(), "");
  FT::SANClientInfo_var client = query->getSANClientInfo("c2");
  EXPECT_EQ(client->fatClientInfo()->machine(), nullptr);
  EXPECT_STREQ(client->fatClientInfo()->serviceName(), "");
}

TEST_F(WireRecords, ClientPipesKeepJobsStatsAndTheirAbsence) {
  FT::FATServiceQueryFacet_var query = queryOf(service);
  CL::FATClientPipeInfoSeq_var pipes = query->getClientPipeList("c1");
  ASSERT_EQ(pipes->length(), 3u);
  CL::FATClientPipeInfo *full = pipes[0].in();
  EXPECT_STREQ(full->job()->extraInfo()->sqlServerInstanceID(), "INST1");
  EXPECT_STREQ(full->job()->extraInfo()->expansion()[0]->name(), "extra-x");
  EXPECT_STREQ(full->job()->backupId(), "c1_1733390001");
  EXPECT_EQ(full->stats()->numTotalBytes(), 214748364800LL);
  EXPECT_EQ(full->stats()->effectiveElapsedTime(), 5400000000LL);
  EXPECT_EQ(full->stats()->numErrorSemTimeout(), 9);
  EXPECT_EQ(full->buffer()->shmFlags(), 4294967296LL);
  EXPECT_STREQ(full->devicePath()->hbaPort()->driverName(), "lpfc");
  EXPECT_EQ(full->devicePath()->device()->lun(), 3);
  CL::FATClientPipeInfo *bare = pipes[1].in();
  EXPECT_EQ(bare->job(), nullptr);
  EXPECT_EQ(bare->stats(), nullptr);
  EXPECT_EQ(bare->buffer(), nullptr);
  EXPECT_EQ(bare->devicePath()->device(), nullptr);
  EXPECT_STREQ(bare->devicePath()->name(), "/dev/sg9");
  EXPECT_EQ(pipes[2]->devicePath(), nullptr);
  ASSERT_NE(pipes[2]->job(), nullptr);
  EXPECT_EQ(pipes[2]->job()->extraInfo(), nullptr);
}

TEST_F(WireRecords, ClientDevicesOnUnknownServersKeepTheirOwnDevice) {
  FT::FATServiceQueryFacet_var query = queryOf(service);
  FT::SANClientInfo_var client = query->getSANClientInfo("c1");
  const CL::FATClientDeviceInfoSeq &devices = client->fatClientInfo()->hostDevices();
  ASSERT_EQ(devices.length(), 3u);
  EXPECT_STREQ(devices[1]->device()->devicePort()->model(), "M");
  EXPECT_EQ(devices[1]->device()->lun(), 50);
  EXPECT_EQ(devices[2]->device(), nullptr);
  EXPECT_EQ(devices[2]->hbaPort(), nullptr);
  EXPECT_STREQ(client->fatClientInfo()->machine()->expansion()[0]->name(), "mach-x");
}

// A record built by the caller is stored member for member.
TEST(RecordsFromCallers, AreStoredAsSent) {
  Qzsld service = startQzsld("");
  FT::FATServiceModifiableFacet_var modify = modifyOf(service);
  SV::FATServerInfo_var server = new OBV_SV::FATServerInfo;
  FW::ExpansionAttributeSeq expansion;
  expansion.length(1);
  expansion[0] = new OBV_FW::ExpansionAttribute("from-caller");
  server->expansion(expansion);
  server->hostName("media7");
  server->masterServerName("m");
  server->numberOfConnections(0);
  server->operatingSystem(2);
  server->state(1);
  server->serviceVersion("9");
  server->serviceName("s");
  FW::ExpansionAttributeSeq none;
  SV::FATServerConfigurationInfo_var config = new OBV_SV::FATServerConfigurationInfo(none, 12, 6, 5, 4, 3);
  server->config(config);
  SV::FATPseudoDeviceInfoSeq devices;
  devices.length(1);
  devices[0] = new OBV_SV::FATPseudoDeviceInfo(none, 7, nullptr, 1, "naa.7");
  server->devices(devices);
  SV::FATServerInfo_var stored = modify->addServer(server);
  ASSERT_TRUE(stored.in());
  EXPECT_STREQ(stored->expansion()[0]->name(), "from-caller");
  EXPECT_EQ(stored->devices()[0]->lun(), 7);
  stopQzsld(service);
  Outcome run = runQzsld({"--db", service.db, "--export", service.dir + "/out.json"});
  ASSERT_EQ(run.status, 0) << run.err;
  expectSameJson(R"({"servers": [{"expansion": [{"name": "from-caller"}], "addresses": [],
      "devices": [{"lun": 7, "devicePort": null, "status": 1, "inquiryPageCode83": "naa.7"}],
      "numberOfConnections": 0, "masterServerName": "m", "operatingSystem": 2,
      "config": {"maxNumberOfPipes": 12, "recommendedNumberOfPipes": 6, "numberOfPipes": 5,
                 "maxNumberOfLUNsPerPort": 4, "maxNumberOfPorts": 3},
      "hostName": "media7", "serviceName": "s", "pipes": [], "state": 1, "serviceVersion": "9"}],
      "clients": [], "usage": [], "settings": []})",
                 readText(service.dir + "/out.json"));
}

}  // namespace
