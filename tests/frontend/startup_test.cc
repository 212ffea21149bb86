// Start-up seen from outside the process: configuration, debug log and the
// administrator-rights check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <unistd.h>

#include "tool_runner.h"

namespace {

const std::string NO_SERVICE = "Encountered with an error, check the log for details\n\n";
const std::string SUPERUSER = "qzftconfig: must be superuser to execute\n";
const std::string CHECK = " check_if_local_qzu_admin_for_secure_command: ";

void expectRun(const RunResult &r, const std::string &err, int status) {
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, status);
}

// A configuration that cannot be read ends the run with the read's own
// result, ahead of any argument error; the least values of each key pass.
TEST(Startup, ConfigurationReadOrRefused) {
  const std::string refused = "Error occurred during initialization, check master configuration file\n";
  for (const auto &[conf, err, status] : std::vector<std::tuple<std::string, std::string, int>>{
           {"", refused, 2},
           {"SERVER x\n", refused, 22},
           {"SERVER = m\nUSE_KMTL = AUTOMATIC\nQZSL_PORT = 1\nVERBOSE = 0\nCONNECT_TIMEOUT = 1\nREQUEST_TIMEOUT = 1\n",
            "\nInvalid hostname name or length. Special characters are not allowed in Hostname\n\nUSAGE:\n"
            "    qzftconfig -[dc]deleteclient <client_name>\n\n",
            20}}) {
    SCOPED_TRACE(conf);
    TestHome home(conf);
    expectRun(runTool(home, {"-dc", "a:b"}), err, status);
  }
}

TEST(Startup, DebugLogOnlyWhereItsDirectoryIs) {
  TestHome none;
  expectRun(runTool(none, {"-lc"}), NO_SERVICE, 130);
  EXPECT_FALSE(std::filesystem::exists(none.path("logs")));

  TestHome blocked;
  blocked.makeLogDir();
  std::filesystem::create_directory(blocked.path("logs/admin/qzftconfig.log"));
  expectRun(runTool(blocked, {"-lc"}),
            "qzftconfig: terminating - cannot open debug file: Is a directory (21)\n\n", 12);
}

TEST(Startup, ProgramNameComesFromArgv0) {
  TestHome home;
  auto runAs = [&](const char *argv0) {
    return capture(home, [&home, argv0] {
      char *argv[] = {const_cast<char *>(argv0), const_cast<char *>("-bogus"), nullptr};
      setenv("TESSARK_HOME", home.dir.c_str(), 1);
      setenv("LANG", "C", 1);
      execv(QZFTCONFIG_PATH, argv);
    });
  };
  expectRun(runAs(""), "Failed to get program name\n\n", 36);
  home.makeLogDir();
  EXPECT_EQ(runAs("/opt/bin/qzftconfig.exe").status, 20);
  EXPECT_NE(home.debugLog().find(" 2 qzftconfig: VERBOSE = 0\n"), std::string::npos) << home.debugLog();
}

struct RightsCase {
  const char *mode, *lang;
  bool credential;
  std::string err;
  int status;
  std::string logLine;
};

// Passing the check means reaching the command, which finds no service here.
TEST(Rights, UnprivilegedCaller) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as nobody";
  TestHome certs("");
  std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  ASSERT_EQ(system(("cd " + certs.dir + " && exec >/dev/null 2>&1 && openssl req -x509" + key +
                    " -keyout ca.key -out ca.pem -subj /CN=QZ-Test-CA -days 2 && openssl req" + key +
                    " -keyout user.key -out user.csr -subj /CN=nobody && openssl x509 -req -in user.csr"
                    " -CA ca.pem -CAkey ca.key -CAcreateserial -out nobody.pem -days 2").c_str()), 0);
  for (const RightsCase &c : std::vector<RightsCase>{
           {"AUTOMATIC", "LANG=C", false, SUPERUSER, 140, " 2" + CHECK + "checkUserCredential failed: "},
           {"AUTOMATIC", "LANG=de_DE.UTF-8", false, "qzftconfig: Ausführung nur als Superuser möglich\n", 140,
            " 16" + CHECK + SUPERUSER},
           {"AUTOMATIC", "LANG=C", true, NO_SERVICE, 130, ""},
           {"PROHIBITED", "LANG=C", true, SUPERUSER, 140, " 2" + CHECK + "use_kmtl == USE_KMTL_PROHIBITED\n"},
           {"REQUIRED", "LANG=C", false, NO_SERVICE, 130, ""}}) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.lang + (c.credential ? " with credential" : ""));
    TestHome home("SERVER = master1\nUSE_KMTL = " + std::string(c.mode) + "\nQZSL_PORT = 1\n");
    home.makeLogDir(0777);
    std::filesystem::create_directory_symlink(QZ_CATALOG_DIR, home.path("msg"));
    if (c.credential) {
      std::filesystem::create_directories(home.path("var/credentials"));
      for (const char *file : {"ca.pem", "nobody.pem"})
        std::filesystem::copy_file(certs.path(file), home.path("var/credentials/") + file);
    }
    // A refused caller never gets as far as the arguments.
    std::string args = c.status == 140 ? "-bogus" : "-lc";
    expectRun(runTool(home, {args}, {c.lang}, 65534 /* nobody */), c.err, c.status);
    EXPECT_NE(home.debugLog().find(c.logLine), std::string::npos) << home.debugLog();
  }
}

}  // namespace
