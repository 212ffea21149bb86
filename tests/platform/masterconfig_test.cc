#include "platform/masterconfig.h"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/debuglog.h"
#include "tests/platform/temphome.h"

namespace {

class MasterConfigTest : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    std::filesystem::create_directories(path("logs/admin"));
    int error = 0;
    ASSERT_GT(open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error), 0);
  }
  std::string log() { return read_file(path("logs/admin/qzftconfig.log")); }
};

TEST_F(MasterConfigTest, FullFileIsRead) {
  write_file("qz.conf",
             "# master-server configuration\n"
             "\n"
             "SERVER = master1\n"
             "SERVER=media2   # a comment after the value\n"
             "   CONNECT_TIMEOUT =  45\r\n"
             "REQUEST_TIMEOUT\t=\t600\n"
             "USE_KMTL = prohibited\n"
             "QZSL_PORT = 65535\n"
             "VERBOSE = 3\n"
             "EMM_SERVER = ignored-key\n"
             "Server = media3\n");
  ASSERT_EQ(QZ_read_master_config(), 0);
  const master_config_t *config = get_master_config_ptr();
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->servers, (std::vector<std::string>{"master1", "media2", "media3"}));
  EXPECT_EQ(config->connect_timeout, 45);
  EXPECT_EQ(config->request_timeout, 600);
  EXPECT_EQ(config->use_kmtl, USE_KMTL_PROHIBITED);
  EXPECT_EQ(config->qzsl_port, 65535);
  EXPECT_EQ(config->verbose, 3);
}

TEST_F(MasterConfigTest, AbsentKeysTakeTheirDefaults) {
  write_file("qz.conf", "SERVER = m\n");
  ASSERT_EQ(QZ_read_master_config(), 0);
  const master_config_t *config = get_master_config_ptr();
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->connect_timeout, 300);
  EXPECT_EQ(config->request_timeout, 300);
  EXPECT_EQ(config->use_kmtl, USE_KMTL_AUTOMATIC);
  EXPECT_EQ(config->qzsl_port, 0);
  EXPECT_EQ(config->verbose, 0);

  write_file("qz.conf", "# no servers at all\n");
  ASSERT_EQ(QZ_read_master_config(), 0);
  EXPECT_TRUE(get_master_config_ptr()->servers.empty());
}

TEST_F(MasterConfigTest, UseKmtlWords) {
  for (auto [word, mode] : {std::pair<const char *, int>{"REQUIRED", USE_KMTL_REQUIRED},
                            {"PROHIBITED", USE_KMTL_PROHIBITED}, {"Automatic", USE_KMTL_AUTOMATIC}}) {
    write_file("qz.conf", std::string("USE_KMTL = ") + word + "\n");
    ASSERT_EQ(QZ_read_master_config(), 0) << word;
    EXPECT_EQ(get_master_config_ptr()->use_kmtl, mode) << word;
  }
}

TEST_F(MasterConfigTest, MissingFileIsEnoentAndKeepsTheLastGoodRead) {
  write_file("qz.conf", "SERVER = good\n");
  ASSERT_EQ(QZ_read_master_config(), 0);
  std::filesystem::remove(path("qz.conf"));
  EXPECT_EQ(QZ_read_master_config(), ENOENT);
  ASSERT_NE(get_master_config_ptr(), nullptr);
  EXPECT_EQ(get_master_config_ptr()->servers.at(0), "good");
  EXPECT_NE(log().find(path("qz.conf")), std::string::npos) << log();
}

TEST_F(MasterConfigTest, DirectoryInPlaceOfTheFileFails) {
  std::filesystem::create_directories(path("qz.conf"));
  EXPECT_EQ(QZ_read_master_config(), EISDIR);
}

TEST_F(MasterConfigTest, UnreadableFileGivesEacces) {
  // root reads every file, so the read is made by an unprivileged child.
  write_file("qz.conf", "SERVER = m\n");
  chmod(home.c_str(), 0755);
  chmod(path("qz.conf").c_str(), 0);
  struct passwd *nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(100);
    _exit(QZ_read_master_config());
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), EACCES);
}

TEST_F(MasterConfigTest, MalformedLinesAreRefusedWithFileAndLine) {
  const char *bad[] = {"SERVER master1",         "= value",
                       "SERVER =",               "SERVER = two words",
                       "CONNECT_TIMEOUT = 0",    "CONNECT_TIMEOUT = -5",
                       "REQUEST_TIMEOUT = 10s",  "REQUEST_TIMEOUT = 99999999999",
                       "USE_KMTL = SOMETIMES",   "QZSL_PORT = 65536",
                       "QZSL_PORT = 0",          "VERBOSE = high"};
  for (const char *line : bad) {
    std::filesystem::remove(path("logs/admin/qzftconfig.log"));
    int error = 0;
    ASSERT_GT(open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error), 0);
    write_file("qz.conf", std::string("# header\nSERVER = m\n") + line + "\n");
    EXPECT_EQ(QZ_read_master_config(), EINVAL) << line;
    std::string text = log();
    EXPECT_NE(text.find(" 16 QZ_read_master_config: " + path("qz.conf") + " line 3: "), std::string::npos)
        << line << "\n" << text;
  }
}

}  // namespace
