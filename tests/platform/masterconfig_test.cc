#include "platform/masterconfig.h"

#include <cerrno>

#include "platform/debuglog.h"
#include "tests/platform/temphome.h"

namespace {

class MasterConfigTest : public TempHome {
protected:
  // The values read, in one line, or the read's result and its log when it fails.
  std::string read(const std::string &text) {
    std::filesystem::remove(path("logs/admin/qzftconfig.log"));
    int error = 0;
    open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error);
    write_file("qz.conf", text);
    if (int result = QZ_read_master_config()) {
      return "result " + std::to_string(result) + ": " + debugLog();
    }
    const master_config_t *c = get_master_config_ptr();
    std::string servers;
    for (const std::string &server : c->servers) servers += server + ",";
    return servers + " " + std::to_string(c->connect_timeout) + " " + std::to_string(c->request_timeout) + " " +
           std::to_string(c->use_kmtl) + " " + std::to_string(c->qzsl_port) + " " + std::to_string(c->verbose) + " " + c->qzsl_account + "/" +
           c->admin_group + "/" + (c->open_reads ? "open" : "closed");
  }
};

TEST_F(MasterConfigTest, KeysCommentsDefaultsAndLimits) {
  EXPECT_EQ(read("# master-server configuration\n\nSERVER = master1\nSERVER=media2   # a comment after the value\n"
                 "   CONNECT_TIMEOUT =  45\r\nREQUEST_TIMEOUT\t=\t600\nUSE_KMTL = prohibited\nQZSL_PORT = 65535\n"
                 "VERBOSE = 3\nEMM_SERVER = ignored-key\nServer = media3\nQZSL_ACCOUNT = tessark\n"
                 "qzsl_admin_group = ftadmins\nQZSL_OPEN_READS = yes\n"),
            "master1,media2,media3, 45 600 " + std::to_string(USE_KMTL_PROHIBITED) + " 65535 3 tessark/ftadmins/open");
  EXPECT_EQ(get_configured_verbose("qzftconfig", "admin"), 3);
  const std::string automatic = std::to_string(USE_KMTL_AUTOMATIC);
  EXPECT_EQ(read("# no servers at all\n"), " 300 300 " + automatic + " 0 0 qzsl//closed");
  EXPECT_EQ(read("USE_KMTL = REQUIRED\n"), " 300 300 " + std::to_string(USE_KMTL_REQUIRED) + " 0 0 qzsl//closed");
  EXPECT_EQ(read("CONNECT_TIMEOUT = 1\nREQUEST_TIMEOUT = 2147483647\nQZSL_PORT = 1\nVERBOSE = 0\n"
                 "QZSL_OPEN_READS = No\n"),
            " 1 2147483647 " + automatic + " 1 0 qzsl//closed");
}

TEST_F(MasterConfigTest, MalformedLinesAreRefusedWithFileAndLine) {
  for (const char *line : {"= value", "SERVER =", "SERVER = two words", "CONNECT_TIMEOUT = 0",
                           "CONNECT_TIMEOUT = -5", "REQUEST_TIMEOUT = 10s", "REQUEST_TIMEOUT = 2147483648",
                           "USE_KMTL = SOMETIMES", "QZSL_PORT = 65536", "QZSL_PORT = 0", "VERBOSE = high",
                           "QZSL_ACCOUNT =", "QZSL_ADMIN_GROUP = two words", "QZSL_OPEN_READS = maybe"}) {
    std::string result = read(std::string("# header\nSERVER = m\n") + line + "\n");
    EXPECT_EQ(result.rfind("result " + std::to_string(EINVAL) + ": ", 0), 0u) << line << "\n" << result;
    EXPECT_NE(result.find(" " + logged(LOG_ERROR, "QZ_read_master_config: ") + path("qz.conf") + " line 3: "),
              std::string::npos)
        << line << "\n" << result;
  }
}

}  // namespace
