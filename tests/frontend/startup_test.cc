// Start-up of the tool: configuration, debug log, catalogs and the
// administrator-rights check, each seen from outside the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tool_runner.h"

namespace {

const uid_t NOBODY = 65534;
const std::string GENERAL_USAGE_START = "\nUSAGE:\n    qzftconfig [-deleteclient]";
const std::string SUPERUSER = "qzftconfig: must be superuser to execute\n";

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

TEST(Startup, MissingConfigurationEndsWithTheReadResult) {
  TestHome home("");
  home.makeLogDir();
  RunResult r = runTool(home, {"-lc"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error occurred during initialization, check master configuration file\n");
  EXPECT_EQ(r.status, 2);  // ENOENT
  std::string log = home.debugLog();
  EXPECT_TRUE(contains(log, " 8 qzftconfig: Failed to get local machine's Master Server name\n")) << log;
  EXPECT_TRUE(contains(log, " 2 check_if_local_qzu_admin_for_secure_command: QZ_read_master_config failed: 2\n"))
      << log;
  EXPECT_TRUE(contains(log, " 16 check_if_local_qzu_admin_for_secure_command: Error occurred during "
                            "initialization, check master configuration file\n"))
      << log;
}

TEST(Startup, MalformedConfigurationComesBeforeArgumentErrors) {
  TestHome home("SERVER master1\n");
  RunResult r = runTool(home, {"-bogus"});
  EXPECT_EQ(r.err, "Error occurred during initialization, check master configuration file\n");
  EXPECT_EQ(r.status, 22);  // EINVAL
}

TEST(Startup, ConfigurationWithoutServerOnlyWarns) {
  TestHome home("USE_KMTL = AUTOMATIC\n");
  home.makeLogDir();
  RunResult r = runTool(home, {"-help"});
  EXPECT_EQ(r.status, 20);
  EXPECT_EQ(r.err.rfind(GENERAL_USAGE_START, 0), 0u) << r.err;
  EXPECT_TRUE(contains(home.debugLog(), " 8 qzftconfig: Failed to get local machine's Master Server name\n"));
}

TEST(Startup, UnopenableDebugLogEndsWith12) {
  TestHome home;
  home.makeLogDir();
  std::filesystem::create_directory(home.path("logs/admin/qzftconfig.log"));
  RunResult r = runTool(home, {"-lc"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "qzftconfig: terminating - cannot open debug file: Is a directory (21)\n\n");
  EXPECT_EQ(r.status, 12);
}

TEST(Startup, NoLogDirectoryMeansNoLog) {
  TestHome home;
  RunResult r = runTool(home, {"-help", "-lc"});
  EXPECT_EQ(r.status, 20);
  EXPECT_FALSE(std::filesystem::exists(home.path("logs")));
}

TEST(Startup, LogRecordsTheCommandLineAndTheRightsCheck) {
  TestHome home("SERVER = master1\nVERBOSE = 3\n");
  home.makeLogDir();
  RunResult r = runTool(home, {"-lc", "-C", "a b"});
  std::string log = home.debugLog();
  EXPECT_TRUE(contains(log, std::string(" 2 qzftconfig: command line: ") + QZFTCONFIG_PATH +
                                " -lc -C \"a b\"\n"))
      << log;
  EXPECT_TRUE(contains(log, " 2 qzftconfig: VERBOSE = 3\n")) << log;
  EXPECT_FALSE(contains(log, "Failed to get local machine's Master Server name")) << log;
}

TEST(Startup, ProgramNameComesFromArgv0) {
  TestHome home;
  RunResult r = runTool(home, {"-lc"}, {}, (uid_t)-1, "");
  EXPECT_EQ(r.err, "Failed to get program name\n\n");
  EXPECT_EQ(r.status, 36);

  // The name in messages is argv[0]'s last component without ".exe".
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as nobody";
  RunResult renamed = runTool(home, {}, {}, NOBODY, "/opt/bin/ftadmin.exe");
  EXPECT_EQ(renamed.err, "ftadmin: must be superuser to execute\n");
}

// German catalog on the terminal, English in the debug log.
class Localized : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directory_symlink(QZ_CATALOG_DIR, home.path("msg"));
  }
  TestHome home;
};

TEST_F(Localized, ArgumentErrorsFollowLang) {
  RunResult r = runTool(home, {"-verbose"}, {"LANG=de_DE.UTF-8"});
  EXPECT_EQ(r.status, 20);
  EXPECT_EQ(r.err.rfind("\nUngültige oder fehlende Argumente\n\nUSAGE:", 0), 0u) << r.err;

  r = runTool(home, {"-lc", "-x"}, {"LANG=de_DE.UTF-8"});
  EXPECT_EQ(r.err.rfind("\nUngültiges oder doppeltes Argument: -x\n", 0), 0u) << r.err;

  // LC_ALL outranks LANG.
  r = runTool(home, {"-lc", "-x"}, {"LANG=de_DE.UTF-8", "LC_ALL=C"});
  EXPECT_EQ(r.err.rfind("\nInvalid or duplicate argument: -x\n", 0), 0u) << r.err;
}

TEST_F(Localized, RefusalIsGermanOnTheTerminalAndEnglishInTheLog) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as nobody";
  home.makeLogDir(0777);
  RunResult r = runTool(home, {"-lc"}, {"LANG=de_DE.UTF-8"}, NOBODY);
  EXPECT_EQ(r.err, "qzftconfig: Ausführung nur als Superuser möglich\n");
  EXPECT_EQ(r.status, 140);
  std::string log = home.debugLog();
  EXPECT_TRUE(contains(log, " 16 check_if_local_qzu_admin_for_secure_command: qzftconfig: must be "
                            "superuser to execute\n"))
      << log;
}

// Credentials for the login "nobody": a CA, a certificate it signed, and one
// signed by a stranger.
class Rights : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/qzcreds.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    certs = pattern;
    std::string d = certs;
    std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::string script =
        "cd " + d + " && exec >/dev/null 2>&1 && "
        "openssl req -x509" + key + " -keyout ca.key -out ca.pem -subj /CN=QZ-Test-CA -days 2 && "
        "openssl req -x509" + key + " -keyout other.key -out other.pem -subj /CN=Other-CA -days 2 && "
        "openssl req" + key + " -keyout user.key -out user.csr -subj /CN=nobody && "
        "openssl x509 -req -in user.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out nobody.pem -days 2 && "
        "openssl x509 -req -in user.csr -CA other.pem -CAkey other.key -CAcreateserial -out stranger.pem -days 2";
    ASSERT_EQ(system(script.c_str()), 0);
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    std::filesystem::remove_all(certs, ignored);
  }
  void SetUp() override {
    if (getuid() != 0) GTEST_SKIP() << "needs root to run as nobody";
  }
  static void installCredential(const TestHome &home, const std::string &certificate) {
    home.write("var/credentials/ca.pem", readFile(certs + "/ca.pem"));
    home.write("var/credentials/nobody.pem", readFile(certs + "/" + certificate));
  }
  static std::string conf(const std::string &mode) {
    return "SERVER = master1\nUSE_KMTL = " + mode + "\nQZSL_PORT = 1\n";
  }
  // Passing the check means reaching the command line: the general usage.
  static void expectAllowed(const RunResult &r) {
    EXPECT_EQ(r.status, 20);
    EXPECT_EQ(r.err.rfind(GENERAL_USAGE_START, 0), 0u) << r.err;
  }
  static std::string certs;
};
std::string Rights::certs;

TEST_F(Rights, AutomaticWithoutCredentialIsRefused) {
  TestHome home(conf("AUTOMATIC"));
  home.makeLogDir(0777);
  RunResult r = runTool(home, {"-help"}, {}, NOBODY);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, SUPERUSER);
  EXPECT_EQ(r.status, 140);
  EXPECT_TRUE(contains(home.debugLog(), " 2 check_if_local_qzu_admin_for_secure_command: checkUserCredential failed: "));
}

TEST_F(Rights, AutomaticWithValidCredentialIsAllowed) {
  TestHome home(conf("AUTOMATIC"));
  installCredential(home, "nobody.pem");
  expectAllowed(runTool(home, {"-help"}, {}, NOBODY));
}

TEST_F(Rights, CredentialFromAnotherIssuerIsRefused) {
  TestHome home(conf("AUTOMATIC"));
  installCredential(home, "stranger.pem");
  RunResult r = runTool(home, {"-help"}, {}, NOBODY);
  EXPECT_EQ(r.err, SUPERUSER);
  EXPECT_EQ(r.status, 140);
}

TEST_F(Rights, ProhibitedRefusesWithoutLookingAtCredentials) {
  TestHome home(conf("PROHIBITED"));
  installCredential(home, "nobody.pem");
  home.makeLogDir(0777);
  RunResult r = runTool(home, {"-help"}, {}, NOBODY);
  EXPECT_EQ(r.err, SUPERUSER);
  EXPECT_EQ(r.status, 140);
  std::string log = home.debugLog();
  EXPECT_TRUE(contains(log, " 2 check_if_local_qzu_admin_for_secure_command: use_kmtl == USE_KMTL_PROHIBITED\n"));
  EXPECT_FALSE(contains(log, "checkUserCredential")) << log;
}

TEST_F(Rights, RequiredAllowsWithoutCredential) {
  TestHome home(conf("REQUIRED"));
  expectAllowed(runTool(home, {"-help"}, {}, NOBODY));
}

TEST_F(Rights, RootIsAllowedInEveryMode) {
  for (const char *mode : {"AUTOMATIC", "PROHIBITED", "REQUIRED"}) {
    SCOPED_TRACE(mode);
    TestHome home(conf(mode));
    expectAllowed(runTool(home, {"-help"}));
  }
}

TEST_F(Rights, RefusalComesBeforeArgumentErrors) {
  TestHome home(conf("AUTOMATIC"));
  RunResult r = runTool(home, {"-bogus"}, {}, NOBODY);
  EXPECT_EQ(r.err, SUPERUSER);
  EXPECT_EQ(r.status, 140);
}

}  // namespace
