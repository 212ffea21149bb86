// Every operation against a small site: what it answers, what it changes and
// how it refuses.
#include <gtest/gtest.h>

#include "qzsld_harness.h"

namespace {

const char *const SITE = R"json({
  "servers": [
    {"hostName": "media1", "masterServerName": "master1", "state": 1,
     "config": {"maxNumberOfPipes": 8, "recommendedNumberOfPipes": 4, "numberOfPipes": 4,
                "maxNumberOfLUNsPerPort": 8, "maxNumberOfPorts": 2},
     "devices": [{"lun": 0, "status": 1, "devicePort": {"portNumber": 0, "mode": 2, "portWWN": "w0"}},
                 {"lun": 1, "status": 1, "devicePort": {"portNumber": 0, "mode": 2, "portWWN": "w0"}}],
     "pipes": [{"status": 2, "direction": 1, "pipeId": 1,
                "device": {"lun": 1, "status": 1, "devicePort": {"portNumber": 0, "mode": 2, "portWWN": "w0"}}}]},
    {"hostName": "media2", "masterServerName": "master1", "state": 0},
    {"hostName": "media3", "masterServerName": "master2", "state": 1,
     "config": {"maxNumberOfPipes": 4, "numberOfPipes": 2},
     "devices": [{"lun": 7, "status": 1}]}
  ],
  "clients": [
    {"fatClientInfo": {"hostName": "c1", "masterServerName": "master1", "state": 1,
       "hostDevices": [
         {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 0},
          "device": {"lun": 0, "status": 1, "devicePort": {"portNumber": 0, "mode": 2, "portWWN": "w0"}}},
         {"deviceServerName": "media1", "status": 1, "hbaPort": {"portNumber": 1},
          "device": {"lun": 1, "status": 1, "devicePort": {"portNumber": 0, "mode": 2, "portWWN": "w0"}}},
         {"deviceServerName": "media3", "status": 1, "hbaPort": {"portNumber": 1},
          "device": {"lun": 7, "status": 1}}],
       "pipes": [{"status": 2, "pipeId": 1, "job": {"jobId": "100"}}]},
     "afatUsageInfo": {"usagePref": "Preferred", "waitPeriod": {"backupWaitPeriod": 10, "restoreWaitPeriod": 20},
                       "isClientUsageInfo": true}},
    {"fatClientInfo": {"hostName": "c2", "masterServerName": "master1", "state": 1}},
    {"fatClientInfo": {"hostName": "c3", "masterServerName": "master2", "state": 0}}
  ],
  "usage": [{"host": "master1", "machineType": "QZSL_QZU_MASTER",
             "usage": {"usagePref": "Always", "waitPeriod": {"backupWaitPeriod": 5, "restoreWaitPeriod": 6}}}],
  "settings": [
    {"host": "master1", "machineType": "QZSL_QZU_MASTER", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "3"},
    {"host": "master1", "machineType": "QZSL_QZU_MASTER", "confName": "FT_MAX_CLIENTS_PER_PORT", "confValue": "4"},
    {"host": "c1", "machineType": "QZSL_QZU_CLIENT", "confName": "FT_MAX_CLIENT_PORTS_PER_SERVER", "confValue": "1"}
  ]
})json";

struct Behaviour : ::testing::Test {
  Qzsld service;
  FT::FATServiceQueryFacet_var query;
  FT::FATServiceModifiableFacet_var modify;
  FT::FATServiceControlFacet_var control;
  void SetUp() override {
    service = startQzsld(SITE, "", {"--discovery-ms", "20"});
    query = queryOf(service);
    modify = modifyOf(service);
    control = controlOf(service);
  }
  void TearDown() override { EXPECT_EQ(stopQzsld(service), 0); }

  std::string serverNames(const char *master) {
    SV::FATServerInfoSeq_var servers = query->getFATServerList(master);
    std::string names;
    for (CORBA::ULong i = 0; i < servers->length(); ++i)
      names += std::string(i ? " " : "") + servers[i]->hostName();
    return names;
  }
  std::string clientNames(const char *master, const char *media) {
    FT::SANClientInfoSeq_var clients = query->getSANClientList(master, media);
    std::string names;
    for (CORBA::ULong i = 0; i < clients->length(); ++i)
      names += std::string(i ? " " : "") + clients[i]->fatClientInfo()->hostName();
    return names;
  }
  std::string settings(const char *a, const char *b, FT::QZSL_QZU_MACHINE_TYPE kind,
                       std::vector<const char *> names) {
    FT::FTConfigInfoSeq keys;
    keys.length(names.size());
    for (size_t i = 0; i < names.size(); ++i)
      keys[i] = names[i] ? new OBV_FT::FTConfigInfo(names[i], "", false) : nullptr;
    FT::FTConfigInfoSeq_var found = query->getFTConfigInfoSeq(a, b, kind, keys);
    std::string text;
    for (CORBA::ULong i = 0; i < found->length(); ++i)
      text += std::string(i ? " " : "") + found[i]->confName() + "=" + found[i]->confValue() +
              (found[i]->isClient() ? "(client)" : "");
    return text;
  }
  static FT::FATUsageInfo *usage(const char *preference, int backup, int restore, bool client) {
    // The initialising constructor takes over the wait period.
    return new OBV_FT::FATUsageInfo(preference, new OBV_FT::FATWaitPeriod(backup, restore), client);
  }
  static FT::FTConfigInfoSeq configSeq(std::vector<std::pair<const char *, const char *>> pairs) {
    FT::FTConfigInfoSeq seq;
    seq.length(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i)
      seq[i] = new OBV_FT::FTConfigInfo(pairs[i].first, pairs[i].second, false);
    return seq;
  }
};

TEST_F(Behaviour, SessionObjects) {
  BT::HostSession_var session = sessionOf(service);
  FT::FATServiceManager_var manager = session->getFATServiceManager();
  EXPECT_TRUE(manager->isManagerActive());
  EXPECT_TRUE(manager->isServiceConfigured());
  SL::QueryableFacet_var facet = manager->aqueryFacet();
  EXPECT_FALSE(CORBA::is_nil(FT::FATServiceQueryFacet::_narrow(facet)));
  session->destroy();
}

TEST_F(Behaviour, ServerListFiltersByMaster) {
  EXPECT_EQ(serverNames(""), "media1 media2 media3");
  EXPECT_EQ(serverNames("master1"), "media1 media2");
  EXPECT_EQ(serverNames("master2"), "media3");
  EXPECT_EQ(serverNames("nobody"), "");
}

TEST_F(Behaviour, ClientListFiltersByMasterAndFtServer) {
  EXPECT_EQ(clientNames("", ""), "c1 c2 c3");
  EXPECT_EQ(clientNames("master1", ""), "c1 c2");
  EXPECT_EQ(clientNames("", "media3"), "c1");
  EXPECT_EQ(clientNames("master2", "media3"), "");
  EXPECT_EQ(clientNames("", "media2"), "");
}

TEST_F(Behaviour, ClientUsageIsItsOwnElseItsMastersElseNever) {
  FT::SANClientInfoSeq_var clients = query->getSANClientList("", "");
  ASSERT_EQ(clients->length(), 3u);
  FT::FATUsageInfo *own = clients[0]->afatUsageInfo();
  EXPECT_STREQ(own->usagePref(), "Preferred");
  EXPECT_EQ(own->waitPeriod()->restoreWaitPeriod(), 20);
  EXPECT_TRUE(own->isClientUsageInfo());
  FT::FATUsageInfo *master = clients[1]->afatUsageInfo();
  EXPECT_STREQ(master->usagePref(), "Always");
  EXPECT_EQ(master->waitPeriod()->backupWaitPeriod(), 5);
  EXPECT_FALSE(master->isClientUsageInfo());
  FT::FATUsageInfo *none = clients[2]->afatUsageInfo();
  EXPECT_STREQ(none->usagePref(), "Never");
  EXPECT_EQ(none->waitPeriod()->backupWaitPeriod(), 0);
  FT::SANClientInfo_var single = query->getSANClientInfo("c2");
  EXPECT_STREQ(single->afatUsageInfo()->usagePref(), "Always");
}

TEST_F(Behaviour, UnknownServersAndClientsAreNullRecords) {
  SV::FATServerInfo_var server = query->getFATServerInfo("nosuch");
  EXPECT_EQ(server.in(), nullptr);
  FT::SANClientInfo_var client = query->getSANClientInfo("nosuch");
  EXPECT_EQ(client.in(), nullptr);
}

TEST_F(Behaviour, UsageInfoOfAHost) {
  FT::FATUsageInfo_var usage = query->getUsageInfo("master1", FT::QZSL_QZU_MASTER);
  EXPECT_STREQ(usage->usagePref(), "Always");
  EXPECT_EQ(refusal([&] { FT::FATUsageInfo_var u = query->getUsageInfo("master2", FT::QZSL_QZU_MASTER); }),
            "227:no FT usage preference defined for host master2 (QZSL_QZU_MASTER)");
  EXPECT_EQ(refusal([&] { FT::FATUsageInfo_var u = query->getUsageInfo("master1", FT::QZSL_QZU_CLIENT); }),
            "227:no FT usage preference defined for host master1 (QZSL_QZU_CLIENT)");
}

TEST_F(Behaviour, ServerConfiguration) {
  SV::FATServerConfigurationInfo_var config = query->getServerConfiguration("media1");
  EXPECT_EQ(config->maxNumberOfPipes(), 8);
  EXPECT_EQ(config->maxNumberOfPorts(), 2);
  EXPECT_EQ(refusal([&] { SV::FATServerConfigurationInfo_var c = query->getServerConfiguration("x"); }),
            "221:FT server x is not known to the FT service");
  EXPECT_EQ(refusal([&] { SV::FATServerConfigurationInfo_var c = query->getServerConfiguration("media2"); }),
            "226:FT server media2 has no configuration");
}

TEST_F(Behaviour, PipeListsOfKnownHosts) {
  CL::FATClientPipeInfoSeq_var clientPipes = query->getClientPipeList("c1");
  ASSERT_EQ(clientPipes->length(), 1u);
  EXPECT_STREQ(clientPipes[0]->job()->jobId(), "100");
  SV::FATPipeInfoSeq_var serverPipes = query->getServerPipeList("media1");
  ASSERT_EQ(serverPipes->length(), 1u);
  EXPECT_EQ(serverPipes[0]->device()->lun(), 1);
  EXPECT_EQ(serverPipes[0]->status(), 2);
  EXPECT_EQ(refusal([&] { CL::FATClientPipeInfoSeq_var p = query->getClientPipeList("media1"); }),
            "222:SAN client media1 is not known to the FT service");
  EXPECT_EQ(refusal([&] { SV::FATPipeInfoSeq_var p = query->getServerPipeList("c1"); }),
            "221:FT server c1 is not known to the FT service");
}

TEST_F(Behaviour, MediaServerCountIsDistinctServersOfTheDevices) {
  EXPECT_EQ(query->getMediaServersCountOfClient("c1"), 2);
  EXPECT_EQ(query->getMediaServersCountOfClient("c2"), 0);
  EXPECT_EQ(refusal([&] { query->getMediaServersCountOfClient("x"); }),
            "222:SAN client x is not known to the FT service");
}

TEST_F(Behaviour, DeviceListsOfTheRecordsHost) {
  SV::FATServerInfo_var server = new OBV_SV::FATServerInfo;
  server->hostName("media1");
  SV::FATPseudoDeviceInfoSeq_var devices = query->getServerDeviceList(server);
  ASSERT_EQ(devices->length(), 2u);
  EXPECT_EQ(devices[1]->lun(), 1);
  CL::FATClientInfo_var client = new OBV_CL::FATClientInfo;
  client->hostName("c1");
  CL::FATClientDeviceInfoSeq_var clientDevices = query->getClientDeviceList(client);
  ASSERT_EQ(clientDevices->length(), 3u);
  EXPECT_STREQ(clientDevices[2]->deviceServerName(), "media3");
  EXPECT_EQ(clientDevices[2]->hbaPort()->portNumber(), 1);
  server->hostName("nosuch");
  EXPECT_EQ(refusal([&] { SV::FATPseudoDeviceInfoSeq_var d = query->getServerDeviceList(server); }),
            "221:FT server nosuch is not known to the FT service");
  EXPECT_EQ(refusal([&] { SV::FATPseudoDeviceInfoSeq_var d = query->getServerDeviceList(nullptr); }),
            "220:no FT server given");
}

TEST_F(Behaviour, SettingsComeFromTheSecondHostElseTheFirst) {
  // How the client listing asks: (client, master, CLIENT).
  EXPECT_EQ(settings("c1", "master1", FT::QZSL_QZU_CLIENT, {"FT_MAX_CLIENT_PORTS_PER_SERVER"}),
            "FT_MAX_CLIENT_PORTS_PER_SERVER=1(client)");
  EXPECT_EQ(settings("c2", "master1", FT::QZSL_QZU_CLIENT, {"FT_MAX_CLIENT_PORTS_PER_SERVER"}), "");
  // How the defaults are read: (master, master, MASTER), two keys, nulls skipped.
  EXPECT_EQ(settings("master1", "master1", FT::QZSL_QZU_MASTER,
                     {"FT_MAX_CLIENT_PORTS_PER_SERVER", nullptr, "FT_MAX_CLIENTS_PER_PORT", "UNSET"}),
            "FT_MAX_CLIENT_PORTS_PER_SERVER=3 FT_MAX_CLIENTS_PER_PORT=4");
  EXPECT_EQ(settings("master2", "master2", FT::QZSL_QZU_MASTER, {"FT_MAX_CLIENTS_PER_PORT"}), "");
}

TEST_F(Behaviour, AddingServersAndClientsRefusesDuplicates) {
  SV::FATServerInfo_var server = new OBV_SV::FATServerInfo;
  server->hostName("media1");
  EXPECT_EQ(refusal([&] { SV::FATServerInfo_var s = modify->addServer(server); }),
            "223:FT server media1 already exists");
  server->hostName("");
  EXPECT_EQ(refusal([&] { SV::FATServerInfo_var s = modify->addServer(server); }),
            "220:an FT server needs a host name");
  EXPECT_EQ(refusal([&] { SV::FATServerInfo_var s = modify->addServer(nullptr); }), "220:no FT server given");
  CL::FATClientInfo_var added = modify->addClient("c9");
  EXPECT_STREQ(added->hostName(), "c9");
  EXPECT_EQ(added->hostDevices().length(), 0u);
  EXPECT_EQ(refusal([&] { CL::FATClientInfo_var c = modify->addClient("c9"); }),
            "224:SAN client c9 already exists");
  CL::FATClientInfo_var client = new OBV_CL::FATClientInfo;
  client->hostName("c1");
  EXPECT_EQ(refusal([&] { CL::FATClientInfo_var c = modify->addClientWithInfo(client); }),
            "224:SAN client c1 already exists");
  client->hostName("c10");
  client->masterServerName("master2");
  CL::FATClientInfo_var stored = modify->addClientWithInfo(client);
  EXPECT_STREQ(stored->masterServerName(), "master2");
  EXPECT_EQ(clientNames("master2", ""), "c3 c10");
}

TEST_F(Behaviour, DeletingAServerTakesItsDevicesFromTheClients) {
  modify->deleteServer("media3");
  EXPECT_EQ(serverNames(""), "media1 media2");
  EXPECT_EQ(query->getMediaServersCountOfClient("c1"), 1);
  EXPECT_EQ(refusal([&] { modify->deleteServer("media3"); }), "221:FT server media3 is not known to the FT service");
  modify->deleteServer("media1");
  FT::SANClientInfo_var c1 = query->getSANClientInfo("c1");
  EXPECT_EQ(c1->fatClientInfo()->hostDevices().length(), 0u);
}

TEST_F(Behaviour, DeletingAClientKeepsItsPreferencesForTheirOwnDeletion) {
  modify->deleteClient("c1");
  EXPECT_EQ(clientNames("", ""), "c2 c3");
  EXPECT_EQ(refusal([&] { modify->deleteClient("c1"); }), "222:SAN client c1 is not known to the FT service");
  modify->deleteUsageInfo("c1");
  modify->deleteFTConfigInfoSeq("c1", FT::QZSL_QZU_CLIENT, configSeq({{"FT_MAX_CLIENT_PORTS_PER_SERVER", ""}}));
  EXPECT_EQ(refusal([&] { modify->deleteUsageInfo("c1"); }), "227:no FT usage preference defined for host c1");
}

TEST_F(Behaviour, PipeLimitStaysWithinTheMaximum) {
  modify->setServerPipeLimit("media1", 8);
  SV::FATServerConfigurationInfo_var config = query->getServerConfiguration("media1");
  EXPECT_EQ(config->numberOfPipes(), 8);
  EXPECT_EQ(refusal([&] { modify->setServerPipeLimit("media1", 9); }),
            "225:connection limit 9 is out of range for FT server media1: the maximum is 8");
  EXPECT_EQ(refusal([&] { modify->setServerPipeLimit("media1", 0); }),
            "225:connection limit 0 is out of range for FT server media1: the maximum is 8");
  EXPECT_EQ(refusal([&] { modify->setServerPipeLimit("media2", 1); }), "226:FT server media2 has no configuration");
  EXPECT_EQ(refusal([&] { modify->setServerPipeLimit("x", 1); }), "221:FT server x is not known to the FT service");
  config = query->getServerConfiguration("media1");
  EXPECT_EQ(config->numberOfPipes(), 8);
}

TEST_F(Behaviour, JobConcurrencyStoresTheLimits) {
  SV::FATServerInfo_var server = new OBV_SV::FATServerInfo;
  server->hostName("media2");
  FW::ExpansionAttributeSeq none;
  SV::FATServerConfigurationInfo_var limits = new OBV_SV::FATServerConfigurationInfo(none, 10, 5, 3, 2, 1);
  modify->setJobConcurrency(server, limits);
  SV::FATServerConfigurationInfo_var config = query->getServerConfiguration("media2");
  EXPECT_EQ(config->maxNumberOfPipes(), 10);
  EXPECT_EQ(config->recommendedNumberOfPipes(), 5);
  EXPECT_EQ(config->numberOfPipes(), 3);
  EXPECT_EQ(config->maxNumberOfLUNsPerPort(), 2);
  EXPECT_EQ(config->maxNumberOfPorts(), 1);
  server->hostName("x");
  EXPECT_EQ(refusal([&] { modify->setJobConcurrency(server, limits); }),
            "221:FT server x is not known to the FT service");
  EXPECT_EQ(refusal([&] { modify->setJobConcurrency(nullptr, limits); }), "220:no FT server given");
}

TEST_F(Behaviour, UsagePreferencesAreSetOnlyWhenPresentAndAddedOnlyWhenAbsent) {
  FT::FATUsageInfo_var always = usage("Always", 1, 2, true);
  // The tool's order: set, and add when set is refused.
  EXPECT_EQ(refusal([&] { modify->setUsageInfo("c2", FT::QZSL_QZU_CLIENT, always); }),
            "227:no FT usage preference defined for host c2 (QZSL_QZU_CLIENT)");
  modify->addUsageInfo("c2", FT::QZSL_QZU_CLIENT, always);
  EXPECT_EQ(refusal([&] { modify->addUsageInfo("c2", FT::QZSL_QZU_CLIENT, always); }),
            "228:an FT usage preference is already defined for host c2 (QZSL_QZU_CLIENT)");
  FT::FATUsageInfo_var fail = usage("FailIfNoFT", 0, 0, true);
  modify->setUsageInfo("c2", FT::QZSL_QZU_CLIENT, fail);
  FT::SANClientInfo_var c2 = query->getSANClientInfo("c2");
  EXPECT_STREQ(c2->afatUsageInfo()->usagePref(), "FailIfNoFT");
  FT::FATUsageInfo_var odd = usage("Sometimes", 0, 0, true);
  EXPECT_EQ(refusal([&] { modify->setUsageInfo("c2", FT::QZSL_QZU_CLIENT, odd); }),
            "229:\"Sometimes\" is not an FT usage preference (Preferred, Always, Never, FailIfNoFT)");
  EXPECT_EQ(refusal([&] { modify->addUsageInfo("ghost", FT::QZSL_QZU_CLIENT, always); }),
            "222:SAN client ghost is not known to the FT service");
  EXPECT_EQ(refusal([&] { modify->addUsageInfo("ghost", FT::QZSL_QZU_MEDIA, always); }),
            "221:FT server ghost is not known to the FT service");
  EXPECT_EQ(refusal([&] { modify->setUsageInfo("master2", FT::QZSL_QZU_MASTER, nullptr); }),
            "220:no FT usage preference given for host master2");
  // Master servers need no inventory entry.
  modify->addUsageInfo("master2", FT::QZSL_QZU_MASTER, always);
  FT::FATUsageInfo_var stored = query->getUsageInfo("master2", FT::QZSL_QZU_MASTER);
  EXPECT_EQ(stored->waitPeriod()->restoreWaitPeriod(), 2);
  modify->deleteUsageInfo("c2");
  c2 = query->getSANClientInfo("c2");
  EXPECT_STREQ(c2->afatUsageInfo()->usagePref(), "Always");
  EXPECT_EQ(refusal([&] { modify->deleteUsageInfo("c2"); }), "227:no FT usage preference defined for host c2");
}

TEST_F(Behaviour, SettingsAreUpsertedAndDeleted) {
  modify->updateFTConfigInfoSeq("master1", FT::QZSL_QZU_MASTER,
                                configSeq({{"FT_MAX_CLIENT_PORTS_PER_SERVER", "5"}, {"NEW_KEY", "x"}}));
  EXPECT_EQ(settings("master1", "master1", FT::QZSL_QZU_MASTER, {"FT_MAX_CLIENT_PORTS_PER_SERVER", "NEW_KEY"}),
            "FT_MAX_CLIENT_PORTS_PER_SERVER=5 NEW_KEY=x");
  modify->updateFTConfigInfoSeq("c2", FT::QZSL_QZU_CLIENT, configSeq({{"FT_MAX_CLIENT_PORTS_PER_SERVER", "2"}}));
  EXPECT_EQ(settings("c2", "master1", FT::QZSL_QZU_CLIENT, {"FT_MAX_CLIENT_PORTS_PER_SERVER"}),
            "FT_MAX_CLIENT_PORTS_PER_SERVER=2(client)");
  EXPECT_EQ(refusal([&] {
              modify->updateFTConfigInfoSeq("ghost", FT::QZSL_QZU_CLIENT, configSeq({{"K", "1"}}));
            }),
            "222:SAN client ghost is not known to the FT service");
  EXPECT_EQ(refusal([&] { modify->updateFTConfigInfoSeq("master1", FT::QZSL_QZU_MASTER, configSeq({{"", "1"}})); }),
            "220:an FT setting needs a name");
  modify->deleteFTConfigInfoSeq("master1", FT::QZSL_QZU_MASTER, configSeq({{"NEW_KEY", ""}, {"NEVER_SET", ""}}));
  EXPECT_EQ(settings("master1", "master1", FT::QZSL_QZU_MASTER, {"NEW_KEY"}), "");
  EXPECT_EQ(refusal([&] {
              modify->deleteFTConfigInfoSeq("master1", FT::QZSL_QZU_MASTER, configSeq({{"NEW_KEY", ""}}));
            }),
            "230:none of the given FT settings is defined for host master1 (QZSL_QZU_MASTER)");
}

TEST_F(Behaviour, ServerStateChanges) {
  control->changeServerState("media2", true);
  SV::FATServerInfo_var server = query->getFATServerInfo("media2");
  EXPECT_EQ(server->state(), 1);
  control->changeServerState("media2", false);
  server = query->getFATServerInfo("media2");
  EXPECT_EQ(server->state(), 0);
  EXPECT_EQ(refusal([&] { control->changeServerState("x", true); }), "221:FT server x is not known to the FT service");
}

TEST_F(Behaviour, DiscoveryNeedsAKnownClient) {
  control->startClientDiscovery("c1");
  EXPECT_EQ(refusal([&] { control->startClientDiscovery("x"); }), "222:SAN client x is not known to the FT service");
  // The refusal names the host in the exception too.
  try {
    control->startClientDiscovery("x");
  } catch (const SL::QZSLOpException &e) {
    EXPECT_STREQ(e.hostName, "x");
    EXPECT_EQ(e.domain, 6);
    EXPECT_EQ(e.errRecSeq[0].recIndex, 0);
    EXPECT_STREQ(utf8(e.errRecSeq[0].additionalMsg).c_str(), "");
  }
}

}  // namespace
