// A large site: 20,000 SAN clients with four devices each, listed in one call.
#include <gtest/gtest.h>

#include <chrono>

#include "qzsld_harness.h"

namespace {

double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

const int CLIENTS = 20000, SERVERS = 10, LUNS = 8;

std::string lun(int server, int number) {
  return R"({"lun": )" + std::to_string(number) +
         R"(, "status": 1, "inquiryPageCode83": "naa.)" + std::to_string(server * 100 + number) +
         R"(", "devicePort": {"portd": )" + std::to_string(server) +
         R"(, "vendor": "QLogic", "portNumber": 0, "mode": 2, "status": 524288, "model": "QLE2562", "portWWN": "21:00:00:24:ff:00:00:)" +
         std::to_string(server) + R"("}})";
}

std::string largeSite() {
  std::string json = R"({"servers": [)";
  for (int s = 0; s < SERVERS; ++s) {
    json += std::string(s ? "," : "") + R"({"hostName": "media)" + std::to_string(s) +
            R"(", "masterServerName": "master", "state": 1, "devices": [)";
    for (int l = 0; l < LUNS; ++l)
      json += (l ? "," : "") + lun(s, l);
    json += "]}";
  }
  json += R"(], "clients": [)";
  for (int c = 0; c < CLIENTS; ++c) {
    json += std::string(c ? "," : "") + R"({"fatClientInfo": {"hostName": "client)" + std::to_string(c) +
            R"(", "masterServerName": "master", "state": 1, "serviceVersion": "10.2", "hostDevices": [)";
    for (int d = 0; d < 4; ++d) {
      int server = (c + d) % SERVERS;
      json += std::string(d ? "," : "") + R"({"deviceServerName": "media)" + std::to_string(server) +
              R"(", "status": 1, "name": "/dev/sg)" + std::to_string(d) +
              R"(", "hbaPort": {"portNumber": )" + std::to_string(d % 2) +
              R"(, "portWWN": "10:00:)" + std::to_string(c) + R"("}, "device": )" + lun(server, c % LUNS) + "}";
    }
    json += "]}}";
  }
  return json + "]}";
}

TEST(LargeSite, ListsTwentyThousandClientsWithFourDevicesEach) {
  double begin = seconds();
  Qzsld service = startQzsld(largeSite());
  ASSERT_GT(service.pid, 0);
  std::printf("import of %d clients: %.2f s\n", CLIENTS, seconds() - begin);
  FT::FATServiceQueryFacet_var query = queryOf(service);
  omniORB::setClientCallTimeout(query, 120000);
  begin = seconds();
  FT::SANClientInfoSeq_var clients = query->getSANClientList("", "");
  std::printf("getSANClientList of %d clients: %.2f s\n", CLIENTS, seconds() - begin);
  ASSERT_EQ(clients->length(), (CORBA::ULong)CLIENTS);
  for (CORBA::ULong c = 0; c < clients->length(); ++c) {
    CL::FATClientInfo *client = clients[c]->fatClientInfo();
    ASSERT_EQ(client->hostDevices().length(), 4u) << c;
    ASSERT_EQ(std::string(client->hostName()), "client" + std::to_string(c));
  }
  CL::FATClientDeviceInfo *device = clients[12345]->fatClientInfo()->hostDevices()[3];
  EXPECT_STREQ(device->deviceServerName(), "media8");
  EXPECT_EQ(device->device()->lun(), 12345 % LUNS);
  EXPECT_STREQ(device->device()->devicePort()->portWWN(), "21:00:00:24:ff:00:00:8");
  EXPECT_STREQ(device->hbaPort()->portWWN(), "10:00:12345");
  begin = seconds();
  FT::SANClientInfoSeq_var onOne = query->getSANClientList("master", "media3");
  std::printf("getSANClientList of one FT server: %.2f s\n", seconds() - begin);
  EXPECT_EQ(onOne->length(), (CORBA::ULong)(CLIENTS * 4 / SERVERS));
  EXPECT_EQ(stopQzsld(service), 0);
}

}  // namespace
