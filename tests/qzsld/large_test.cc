// A large site: 20,000 SAN clients with four devices each, listed in one call.
#include <gtest/gtest.h>

#include "stubs.h"

namespace {

const int CLIENTS = 20000, SERVERS = 10, LUNS = 8;

std::string device(int server, int lun) {
  return R"({"lun": )" + std::to_string(lun) + R"(, "devicePort": {"portWWN": "21:00:)" + std::to_string(server) +
         R"("}})";
}

std::string largeSite() {
  std::string json = R"({"servers": [)";
  for (int s = 0; s < SERVERS; ++s) {
    json += std::string(s ? "," : "") + R"({"hostName": "media)" + std::to_string(s) + R"(", "devices": [)";
    for (int l = 0; l < LUNS; ++l)
      json += (l ? "," : "") + device(s, l);
    json += "]}";
  }
  json += R"(], "clients": [)";
  for (int c = 0; c < CLIENTS; ++c) {
    json += std::string(c ? "," : "") + R"({"fatClientInfo": {"hostName": "client)" + std::to_string(c) +
            R"(", "masterServerName": "master", "hostDevices": [)";
    for (int d = 0; d < 4; ++d)
      json += std::string(d ? "," : "") + R"({"deviceServerName": "media)" + std::to_string((c + d) % SERVERS) +
              R"(", "device": )" + device((c + d) % SERVERS, c % LUNS) + "}";
    json += "]}}";
  }
  return json + "]}";
}

TEST(LargeSite, ListsTwentyThousandClientsWithFourDevicesEach) {
  SiteOptions options;
  options.inventory = largeSite();
  Site site = startSite(options);
  FT::FATServiceQueryFacet_var query = queryOf(site);
  omniORB::setClientCallTimeout(query, 120000);
  FT::SANClientInfoSeq_var clients = query->getSANClientList("", "");
  ASSERT_EQ(clients->length(), (CORBA::ULong)CLIENTS);
  for (CORBA::ULong c = 0; c < clients->length(); ++c) {
    ASSERT_EQ(clients[c]->fatClientInfo()->hostName(), "client" + std::to_string(c));
    ASSERT_EQ(clients[c]->fatClientInfo()->hostDevices().length(), 4u) << c;
  }
  CL::FATClientDeviceInfo *last = clients[12345]->fatClientInfo()->hostDevices()[3];
  EXPECT_STREQ(last->deviceServerName(), "media8");
  EXPECT_EQ(last->device()->lun(), 12345 % LUNS);
  EXPECT_STREQ(last->device()->devicePort()->portWWN(), "21:00:8");
  FT::SANClientInfoSeq_var onOne = query->getSANClientList("master", "media3");
  EXPECT_EQ(onOne->length(), (CORBA::ULong)(CLIENTS * 4 / SERVERS));
  stopSite(site);
}

}  // namespace
