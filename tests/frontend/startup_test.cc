// Start-up seen from outside the process: configuration, debug log and the
// administrator-rights check.

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <tuple>
#include <unistd.h>

#include "platform/version.h"
#include "tests/harness.h"

namespace {

const std::string SUPERUSER = "qzftconfig: must be superuser to execute\n";
const std::string CHECK = " check_if_local_qzu_admin_for_secure_command: ";
// A debug-log line's level, as it stands in the file.
std::string level(int value) { return " " + std::to_string(value); }
// A qz.conf with `value` for USE_KMTL, whose QZSL is nowhere.
std::string kmtl(const std::string &value) { return "SERVER = master1\nUSE_KMTL = " + value + "\nQZSL_PORT = 1\n"; }

// A configuration that cannot be read ends the run with the read's own
// result, ahead of any argument error; the least values of each key pass.
TEST(Startup, ConfigurationReadOrRefused) {
  const std::string refused = "Error occurred during initialization, check master configuration file\n";
  for (const auto &[conf, err, status] : std::vector<std::tuple<std::string, std::string, int>>{
           {"", refused, ENOENT},
           {"SERVER x\n", refused, EINVAL},
           {"SERVER = m\nUSE_KMTL = AUTOMATIC\nQZSL_PORT = 1\nVERBOSE = 0\nCONNECT_TIMEOUT = 1\nREQUEST_TIMEOUT = 1\n",
            "\nInvalid hostname name or length. Special characters are not allowed in Hostname\n\nUSAGE:\n"
            "    qzftconfig -[dc]deleteclient <client_name>\n\n",
            STATUS_USAGE}}) {
    SCOPED_TRACE(conf);
    TestHome home(conf);
    expectRun(runTool(home, {"-dc", "a:b"}), "", err, status);
  }
}

// The log directory may be open to everyone, and the installed one is
// root's: whatever was planted at the log's path stops root and any other
// caller without blocking, and nothing is written or created through it. A
// caller other than root whom the rights check allows runs without a log
// where he may not write one, never into root's file.
TEST(Startup, DebugLogOnlyAsAPlainFileWhereItsDirectoryIs) {
  TestHome none;
  expectRun(runTool(none, {"-lc"}), "", GENERIC_FAILURE, STATUS_INTERNAL);
  EXPECT_FALSE(std::filesystem::exists(none.path("logs")));
  auto blocked = [](const char *reason) {
    return "qzftconfig: terminating - cannot open debug file: " + std::string(reason) + "\n\n";
  };
  const std::string at = " logs/admin/qzftconfig.log", loop = blocked("Too many levels of symbolic links (40)"),
                    conf = kmtl("REQUIRED"), root = "", nobody = "nobody";
  const int noLog = STATUS_NO_DEBUG_LOG, internal = STATUS_INTERNAL;
  for (const auto &[user, mode, plant, err, status, logged] :
       std::vector<std::tuple<std::string, mode_t, std::string, std::string, int, bool>>{
           {root, 0777, "mkdir" + at, blocked("Is a directory (21)"), noLog, false},
           {root, 0777, "mkfifo" + at, blocked("No such device or address (6)"), noLog, false},
           {root, 0777, "ln -s ../../absent" + at, loop, noLog, false},
           {root, 0777, "ln -s ../../qz.conf" + at, loop, noLog, false},
           {root, 0777, "ln qz.conf" + at, blocked("Too many links (31)"), noLog, false},
           {nobody, 0755, ":", GENERIC_FAILURE, internal, false},
           {nobody, 0777, "echo root >" + at, GENERIC_FAILURE, internal, false},
           {nobody, 0777, ":", GENERIC_FAILURE, internal, true},
           {nobody, 0777, "ln -s ../../qz.conf" + at, loop, noLog, false}}) {
    if (user == nobody && getuid() != 0) continue;  // only root may run as nobody
    SCOPED_TRACE(user + " " + std::to_string(mode) + " " + plant);
    TestHome home(conf);
    home.makeLogDir(mode);
    ASSERT_EQ(system(("cd " + home.dir + " && " + plant).c_str()), 0);
    // Only a file is read: a FIFO would wait for a writer.
    auto log = [&] { return std::filesystem::is_regular_file(home.path(at.substr(1))) ? home.debugLog() : ""; };
    std::string before = log();
    expectRun(runTool(home, {"-lc"}, {{}, user}), "", err, status);
    EXPECT_FALSE(std::filesystem::exists(home.path("absent")));
    EXPECT_EQ(readFile(home.path("qz.conf")), conf);
    EXPECT_EQ(log().find("use_kmtl == USE_KMTL_REQUIRED") != std::string::npos, logged) << log();
    if (!logged) {
      EXPECT_EQ(log(), before);
    }
  }
}

// Each run opens the log anew: after a rotation has moved it away, the next
// run starts a new file and the old one keeps what it had.
TEST(Startup, DebugLogAfterRotation) {
  TestHome home;
  home.makeLogDir();
  expectRun(runTool(home, {"-lc", "-C", "before"}), "", GENERIC_FAILURE, STATUS_INTERNAL);
  std::filesystem::rename(home.path("logs/admin/qzftconfig.log"), home.path("logs/admin/qzftconfig.log.1"));
  expectRun(runTool(home, {"-lc", "-C", "after"}), "", GENERIC_FAILURE, STATUS_INTERNAL);
  std::string rotated = readFile(home.path("logs/admin/qzftconfig.log.1")), current = home.debugLog();
  EXPECT_NE(rotated.find("-lc -C before"), std::string::npos) << rotated;
  EXPECT_EQ(rotated.find("after"), std::string::npos) << rotated;
  EXPECT_NE(current.find("-lc -C after"), std::string::npos) << current;
  EXPECT_EQ(current.find("before"), std::string::npos) << current;
}

// Beyond any fixed buffer, and beyond what the system takes as a path.
TEST(Startup, LongHomeIsUsedWhole) {
  TestHome home;
  const std::string root = home.dir, name(250, 'h');
  home.dir += "/" + name + "/" + name + "/" + name + "/" + name + "/" + name;
  home.makeLogDir();
  std::filesystem::copy_file(root + "/qz.conf", home.path("qz.conf"));
  expectRun(runTool(home, {"-lc"}), "", GENERIC_FAILURE, STATUS_INTERNAL);
  EXPECT_NE(home.debugLog().find("command line: "), std::string::npos);
  for (int i = 0; i < 12; ++i) home.dir += "/" + name;
  EXPECT_EQ(runTool(home, {"-lc"}).status, STATUS_NO_DEBUG_LOG);
  home.dir = root;
}

// "--version" and "--help" alone answer whoever may run the program, ahead
// of everything that stops the other command lines: a log that cannot be
// opened, a configuration that cannot be read, a caller without rights.
TEST(Startup, VersionAndHelpAnswerEveryCaller) {
  TestHome plain;
  const RunResult usage = runTool(plain, {"-help"});
  ASSERT_EQ(usage.status, STATUS_USAGE);
  TestHome blockedLog(""), refused(kmtl("PROHIBITED"));
  blockedLog.makeLogDir();
  std::filesystem::create_directory(blockedLog.path("logs/admin/qzftconfig.log"));
  std::vector<std::tuple<const TestHome *, RunOptions, int>> callers = {{&blockedLog, {}, STATUS_NO_DEBUG_LOG}};
  if (getuid() == 0) callers.emplace_back(&refused, RunOptions({}, "nobody"), STATUS_NOT_ALLOWED);
  for (const auto &[home, as, otherwise] : callers) {
    SCOPED_TRACE(home->dir);
    EXPECT_EQ(runTool(*home, {"-help"}, as).status, otherwise);
    const RunResult version = runTool(*home, {"--version"}, as), help = runTool(*home, {"--help"}, as);
    EXPECT_EQ(version.out, "qzftconfig " QZ_VERSION "\n");
    EXPECT_EQ(help.out, usage.err);
    for (const RunResult &r : {version, help})
      EXPECT_EQ(r.err + "status " + std::to_string(r.status), "status " + std::to_string(STATUS_OK));
  }
}

// A caller refused unless the row says otherwise.
struct RightsCase {
  std::string credential;  // empty: none; else run in the home once ca.pem and nobody.pem are there
  std::string logLine;
  std::string conf = "AUTOMATIC";  // the USE_KMTL value
  Lines env = {};
  std::string err = SUPERUSER;
  int status = STATUS_NOT_ALLOWED;
};
// A caller who passes the check.
RightsCase passing(const std::string &credential, const std::string &logLine, const std::string &conf = "AUTOMATIC") {
  return {credential, logLine, conf, {}, GENERIC_FAILURE, STATUS_INTERNAL};
}

// Passing the check means reaching the command, which finds no service here;
// a refused caller never gets as far as the arguments.
TEST(Rights, UnprivilegedCaller) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to run as nobody";
  TestHome certs("");
  // sign CN FILE ISSUER [CLOCK SHIFT] [EXTENSIONS]; each certificate's key is beside it.
  ASSERT_EQ(system(("cd " + certs.dir + " && ft=" QZ_LIBFAKETIME R"( && exec >/dev/null 2>&1 && set -e
    key() { echo -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout $1.key; }
    sign() { openssl req $(key $2) -out u.csr -subj "/CN=$1"; LD_PRELOAD=$ft FAKETIME=${4:-+0} openssl x509 -req -in u.csr \
             -CA $3 -CAkey $3.key -CAcreateserial -out $2 -days 2 ${5:+-extfile $5}; }
    for ca in ca other; do openssl req -x509 $(key $ca.pem) -out $ca.pem -subj /CN=QZ-$ca -days 9; done
    printf 'basicConstraints=critical,CA:TRUE\n' > ca.ext
    sign nobody nobody.pem ca.pem; sign .nobody dot.pem ca.pem; sign nobody byother.pem other.pem
    sign nobody old.pem ca.pem -10d; sign nobody new.pem ca.pem +5d; sign nobody isca.pem ca.pem +0 ca.ext
    sign QZ-mid mid.pem ca.pem +0 ca.ext; sign nobody bymid.pem mid.pem
    openssl req $(key v1.pem) -out v1.csr -subj /CN=nobody; openssl x509 -req -in v1.csr -key v1.pem.key -out v1.pem)").c_str()), 0);
  setenv("CERTS", certs.dir.c_str(), 1);
  std::ofstream(certs.path("group")) << "nogroup:x:65534:\n";
  // Another login name for uid 65534, through a private passwd file.
  auto as = [&](const char *login, const char *file) {
    std::ofstream(certs.path(file)) << login << ":x:65534:65534::/:/bin/false\n";
    return Lines{"LD_PRELOAD=libnss_wrapper.so", "NSS_WRAPPER_PASSWD=" + certs.path(file),
                 "NSS_WRAPPER_GROUP=" + certs.path("group")};
  };
  const std::string trace = level(LOG_TRACE), cred = trace + " checkUserCredential: ",
                    failed = trace + CHECK + "checkUserCredential failed: ", in = "cp $CERTS/",
                    to = " var/credentials/nobody.pem", passed = trace + CHECK + "use_kmtl == USE_KMTL_AUTOMATIC\n";
  for (const RightsCase &c : std::vector<RightsCase>{
           {"", failed + "2\n"},
           {"", level(LOG_ERROR) + CHECK + SUPERUSER, "AUTOMATIC", {"LANG=de_DE.UTF-8"},
            "qzftconfig: Ausführung nur als Superuser möglich\n"},
           passing(":", passed),
           {":", trace + CHECK + "use_kmtl == USE_KMTL_PROHIBITED\n", "PROHIBITED"},
           passing("", trace + CHECK + "use_kmtl == USE_KMTL_REQUIRED\n", "REQUIRED"),
           // Every certificate in ca.pem is trusted, an intermediate CA too.
           passing("cat $CERTS/other.pem $CERTS/ca.pem > var/credentials/ca.pem", passed),
           passing("cp $CERTS/mid.pem var/credentials/ca.pem && cp $CERTS/bymid.pem" + to, passed),
           {in + "byother.pem" + to, cred + "certificate does not verify: "},
           {in + "old.pem" + to, failed + "5\n"},
           {in + "new.pem" + to, failed + "4\n"},
           {in + "isca.pem" + to, cred + "the certificate is a CA certificate"},
           // A version 1 certificate that issued itself could sign others, trusted or not.
           {"cp $CERTS/v1.pem var/credentials/ca.pem && cp $CERTS/v1.pem" + to,
            cred + "the certificate is a CA certificate (X509_check_ca gives 3)\n"},
           {in + "dot.pem" + to, cred + "the certificate's subject CN is not the login name nobody\n"},
           {"echo garbage >" + to, failed + "3\n"},
           {"echo garbage > var/credentials/ca.pem", cred + "ca.pem holds no certificate"},
           // Every file and folder read must be root's and writable by no one else; no link is followed.
           {"chmod g+w var/credentials", "/var/credentials: writable by group or others\n"},
           {"chmod o+w .", ": writable by group or others\n"},
           {"chmod o+w var/credentials/ca.pem", "ca.pem: writable by group or others\n"},
           {"chown nobody var", "/var: owned by uid 65534, not by root\n"},
           {"chown nobody" + to, "owned by uid 65534"},
           {"mv var/credentials var/real && ln -s real var/credentials", "/var/credentials: Not a directory\n"},
           {in + "dot.pem var/credentials/.nobody.pem", cred + "login name .nobody cannot name a credential\n",
            "AUTOMATIC", as(".nobody", "dot")},
           {"mkdir var/credentials/x && cp var/credentials/nobody.pem var/credentials/x",
            cred + "login name x/nobody cannot name a credential\n", "AUTOMATIC", as("x/nobody", "slash")}}) {
    SCOPED_TRACE(c.conf + " " + c.credential + " " + c.err);
    TestHome home(kmtl(c.conf));
    home.makeLogDir(0777);
    std::filesystem::create_directory_symlink(QZ_CATALOG_DIR, home.path("msg"));
    if (!c.credential.empty()) {
      std::filesystem::create_directories(home.path("var/credentials"));
      for (const char *file : {"ca.pem", "nobody.pem"})
        std::filesystem::copy_file(certs.path(file), home.path("var/credentials/") + file);
      ASSERT_EQ(system(("cd " + home.dir + " && " + c.credential).c_str()), 0);
    }
    expectRun(runTool(home, {c.status == STATUS_NOT_ALLOWED ? "-bogus" : "-lc"}, {c.env, "nobody"}), "", c.err,
              c.status);
    EXPECT_NE(home.debugLog().find(c.logLine), std::string::npos) << home.debugLog();
  }
}

// Only the credential check of a caller who is not root needs libcrypto.
TEST(Rights, RootRunNeverLoadsLibcrypto) {
  TestHome home;
  RunResult r = runTool(home, {"-lc"}, Lines{"LD_DEBUG=libs"});
  EXPECT_EQ(r.status, STATUS_INTERNAL);
  EXPECT_NE(r.err.find("libjansson"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("libcrypto"), std::string::npos) << r.err;
}

}  // namespace
