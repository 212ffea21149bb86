// Status reporting, the exception ladder and the way out of the process, run
// in a forked child so that the exit status and both streams can be checked.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "frontend/admincheck.h"
#include "frontend/exit.h"
#include "frontend/globals.h"
#include "frontend/report.h"
#include "platform/debuglog.h"
#include "platform/messages.h"
#include "platform/statustext.h"
#include "session/session.h"
#include "tool_runner.h"

namespace {

const int RETURNED = 199;  // the body came back instead of ending the process

struct Captured {
  std::string out, err, log;
  int status;
};

struct ErrorFields {
  int code;
  std::wstring message;
  std::wstring additional;
};

QZSLOpException refusal(const std::vector<ErrorFields> &records) {
  Corvane::Tessark::SL::ErrorRecordSeq seq;
  seq.length(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    seq[i].errorCode = records[i].code;
    seq[i].recIndex = static_cast<CORBA::Long>(i);
    seq[i].localizedMsg = CORBA::wstring_dup(records[i].message.c_str());
    seq[i].additionalMsg = CORBA::wstring_dup(records[i].additional.c_str());
  }
  QZSLOpException exception;
  exception.errRecSeq = seq;
  return exception;
}

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class Report : public ::testing::Test {
protected:
  void SetUp() override {
    home.makeLogDir();
    std::filesystem::create_directory_symlink(QZ_CATALOG_DIR, home.path("msg"));
  }

  // Runs `body` as a fresh qzftconfig process would after start-up: the
  // program name set, the debug log open, messages in `locale`.
  Captured run(const std::function<void()> &body, const char *locale = "C") {
    std::string outFile = home.path("out"), errFile = home.path("err");
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
      int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      setenv("TESSARK_HOME", home.dir.c_str(), 1);
      progname = "qzftconfig";
      snprintf(lc_messages, sizeof lc_messages, "%s", locale);
      int error = 0;
      open_debug_log(home.path("logs").c_str(), "admin", "qzftconfig", 0666, &error);
      body();
      fflush(stdout);
      fflush(stderr);
      _exit(RETURNED);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {readFile(outFile), readFile(errFile), home.debugLog(),
            WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
  }

  TestHome home;
};

TEST_F(Report, PlainInformationGoesToStdoutAndEndsWith0) {
  Captured c = run([] {
    QZ_LOOKUP("ZrtFtc0051N", "No SAN clients found");
    reportInfo(LOG_INFO, "No SAN clients found", false, "");
  });
  EXPECT_EQ(c.out, "No SAN clients found\n\n");
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(c.status, 0);
  EXPECT_TRUE(contains(c.log, " 4 qzftconfig: No SAN clients found:\n")) << c.log;
  EXPECT_FALSE(contains(c.log, "EXIT")) << c.log;
}

TEST_F(Report, PlainErrorGoesToStderrAndStillEndsWith0) {
  Captured c = run([] {
    QZ_LOOKUP("ZrtFtc0050N", "SAN client not found");
    reportInfo(LOG_ERROR, "SAN client not found", false, "c1");
  });
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, "SAN client not found\n\n");
  EXPECT_EQ(c.status, 0);
  EXPECT_TRUE(contains(c.log, " 16 qzftconfig: SAN client not found:c1\n")) << c.log;
}

TEST_F(Report, LocalizedOnTheTerminalEnglishInTheLog) {
  Captured c = run(
      [] {
        QZ_LOOKUP("ZrtFtc0051N", "No SAN clients found");
        reportInfo(LOG_INFO, "No SAN clients found", false, "");
      },
      "de_DE.UTF-8");
  EXPECT_EQ(c.out, "Keine SAN-Clients gefunden\n\n");
  EXPECT_TRUE(contains(c.log, " 4 qzftconfig: No SAN clients found:\n")) << c.log;
}

TEST_F(Report, ServiceFailureEndsWithItsCode) {
  Captured c = run([] {
    snprintf(localizedMsg, sizeof localizedMsg, "Failed to delete SAN client");
    reportInfo(refusal({{5, L"Zugriff verweigert \u00fc", L""}}), LOG_ERROR,
               "Failed to delete SAN client", false, "c1");
  });
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err,
            "Failed to delete SAN client\n\n"
            "EXIT error: Zugriff verweigert \xc3\xbc\n"
            "EXIT status = 5\n");
  EXPECT_EQ(c.status, 5);
  std::string caller = " 16 qzftconfig: Failed to delete SAN client:c1\n";
  std::string summary = std::string(" 16 qzftconfig: EXIT error:") + getECmsg(5) +
                        " ; Additional info:  ; EXIT status: 5\n";
  ASSERT_TRUE(contains(c.log, caller)) << c.log;
  ASSERT_TRUE(contains(c.log, summary)) << c.log;
  EXPECT_LT(c.log.find(caller), c.log.find(summary));
}

TEST_F(Report, AdditionalInformationFollowsTheStatus) {
  Captured c = run([] {
    snprintf(localizedMsg, sizeof localizedMsg, "Failed");
    reportInfo(refusal({{77, L"busy", L"try later"}}), LOG_ERROR, "Failed", false, "m1");
  });
  EXPECT_EQ(c.err, "Failed\n\nEXIT error: busy\nEXIT status = 77\ntry later\n");
  EXPECT_EQ(c.status, 77);
  EXPECT_TRUE(contains(c.log, std::string("EXIT error:") + getECmsg(77) +
                                  " ; Additional info: try later ; EXIT status: 77\n"))
      << c.log;
}

TEST_F(Report, OnlyTheFirstRecordCounts) {
  Captured c = run([] {
    localizedMsg[0] = '\0';
    reportInfo(refusal({{9, L"first", L""}, {11, L"second", L"more"}}), LOG_ERROR, "Failed", false, "");
  });
  EXPECT_EQ(c.err, "EXIT error: first\nEXIT status = 9\n");
  EXPECT_EQ(c.status, 9);
}

TEST_F(Report, CodesBeyondAByteEndWith252) {
  Captured c = run([] {
    localizedMsg[0] = '\0';
    reportInfo(refusal({{300, L"big", L""}}), LOG_ERROR, "Failed", false, "");
  });
  EXPECT_EQ(c.err, "EXIT error: big\nEXIT status = 300\n");
  EXPECT_EQ(c.status, 252);
  EXPECT_EQ(run([] { reportInfo(refusal({{-3, L"neg", L""}}), LOG_ERROR, "Failed", false, ""); }).status, 252);
}

TEST_F(Report, ServiceFailureWithCode0EndsWith0WithoutExitLines) {
  Captured c = run([] {
    snprintf(localizedMsg, sizeof localizedMsg, "Failed to list");
    reportInfo(refusal({{0, L"nothing", L"x"}}), LOG_ERROR, "Failed to list", false, "");
  });
  EXPECT_EQ(c.err, "Failed to list\n\n");
  EXPECT_EQ(c.status, 0);
  EXPECT_FALSE(contains(c.log, "EXIT")) << c.log;
}

TEST_F(Report, ExceptionWithoutRecordsReadsAsSuccess) {
  Captured c = run([] {
    snprintf(localizedMsg, sizeof localizedMsg, "Failed to list");
    reportInfo(QZSLOpException(), LOG_ERROR, "Failed to list", false, "");
  });
  EXPECT_EQ(c.err, "Failed to list\n\n");
  EXPECT_EQ(c.status, 0);
}

TEST_F(Report, GenericFailureShowsOnlyTheGenericMessage) {
  Captured c = run([] {
    snprintf(localizedMsg, sizeof localizedMsg, "caller text");
    reportInfo(refusal({{5, L"x", L""}}), LOG_ERROR, "Failed to initialize orb", true, "", false);
  });
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, "Encountered with an error, check the log for details\n\n");
  EXPECT_EQ(c.status, 130);
  EXPECT_TRUE(contains(c.log, " 16 qzftconfig: Failed to initialize orb:\n")) << c.log;
}

TEST_F(Report, WithoutExitAfterTheCallerGoesOn) {
  Captured c = run([] {
    snprintf(localizedMsg, sizeof localizedMsg, "Rescan of c1 failed");
    reportInfo(refusal({{5, L"x", L""}}), LOG_ERROR, "Rescan failed", false, "c1", false);
    snprintf(localizedMsg, sizeof localizedMsg, "Rescan of c2 started");
    reportInfo(LOG_INFO, "Rescan started", false, "c2", false);
    printf("after\n");
  });
  EXPECT_EQ(c.err, "Rescan of c1 failed\n\n");
  EXPECT_EQ(c.out, "Rescan of c2 started\n\nafter\n");
  EXPECT_EQ(c.status, RETURNED);
}

TEST_F(Report, RefusalLooksUpItsMessageAndEndsWithTheCode) {
  Captured c = run([] {
    reportRefusal(refusal({{41, L"no such client", L""}}), "ZrtFtc0046N",
                  "Failed to change SAN client FT configuration for -np", "c1");
  });
  EXPECT_EQ(c.err,
            "Failed to change SAN client FT configuration for -np\n\n"
            "EXIT error: no such client\nEXIT status = 41\n");
  EXPECT_EQ(c.status, 41);
  EXPECT_TRUE(contains(c.log, " 16 qzftconfig: Failed to change SAN client FT configuration for -np:c1\n"));
}

// The single ladder around every remote step.
TEST_F(Report, GuardedCallPassesRefusalsToTheCaller) {
  Captured c = run([] {
    int refusedWith = -1;
    guardedCall([] { throw refusal({{8, L"gone", L""}}); },
                [&](const QZSLOpException &e) { refusedWith = e.errRecSeq[0].errorCode; });
    bool ran = false;
    guardedCall([&] { ran = true; }, [](const QZSLOpException &) { _exit(3); });
    printf("%d %d\n", refusedWith, ran);
  });
  EXPECT_EQ(c.out, "8 1\n");
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(c.status, RETURNED);
}

TEST_F(Report, GuardedCallEndsOnOrbExceptions) {
  Captured c = run([] {
    guardedCall([] { throw CORBA::TRANSIENT(0, CORBA::COMPLETED_NO); },
                [](const QZSLOpException &) { _exit(3); });
  });
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, "Got Corba Exception, see log for details\n\n");
  EXPECT_EQ(c.status, 130);
  EXPECT_TRUE(contains(c.log, " 16 qzftconfig: CORBA Exception caught as ")) << c.log;
  EXPECT_TRUE(contains(c.log, "TRANSIENT")) << c.log;
}

TEST_F(Report, GuardedCallEndsOnStandardExceptions) {
  Captured c = run([] {
    guardedCall([] { throw std::runtime_error("disk on fire"); },
                [](const QZSLOpException &) { _exit(3); });
  });
  EXPECT_EQ(c.err, "Got an Exception, see log for details\n\n");
  EXPECT_EQ(c.status, 130);
  EXPECT_TRUE(contains(c.log, " 16 qzftconfig: Exception caught as disk on fire\n")) << c.log;
}

TEST_F(Report, GuardedCallEndsOnAnythingElse) {
  Captured c = run([] {
    guardedCall([] { throw 42; }, [](const QZSLOpException &) { _exit(3); });
  });
  EXPECT_EQ(c.err, "Unknown C++ Exception\n");
  EXPECT_EQ(c.status, 130);
  EXPECT_FALSE(contains(c.log, "caught")) << c.log;
}

TEST_F(Report, ExitKeepsStatusesToOneByte) {
  EXPECT_EQ(run([] { qzftconfig_exit(255); }).status, 255);
  EXPECT_EQ(run([] { qzftconfig_exit(256); }).status, 252);
  EXPECT_EQ(run([] { qzftconfig_exit(-1); }).status, 252);
  EXPECT_EQ(run([] { qzftconfig_exit(0); }).status, 0);
  Captured c = run([] {
    printf("unfinished line");
    fprintf(stderr, "err");
    qzftconfig_exit(7);
  });
  EXPECT_EQ(c.out, "unfinished line");
  EXPECT_EQ(c.err, "err");
  EXPECT_EQ(c.status, 7);
}

TEST_F(Report, ExitIgnoresASessionThatCannotBeDestroyed) {
  Captured c = run([] {
    int argc = 1;
    char name[] = "qzftconfig";
    char *argv[] = {name, nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(argc, argv);
    // Nothing listens on port 1, so destroy() fails with an ORB exception.
    CORBA::Object_var object = orb->string_to_object("corbaloc:iiop:1.2@127.0.0.1:1/qzsl/session");
    m_hostSession = Brantis::Tessark::HostSession::_unchecked_narrow(object);
    printf("session set\n");
    qzftconfig_exit(300);
  });
  EXPECT_EQ(c.out, "session set\n");
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(c.status, 252);
}

TEST_F(Report, RemoteOutputIsFramed) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  FILE *stream = fdopen(fds[1], "w");
  bRemote = 1;
  int written = xfprintf(stream, "%s: %d", "ab", 7);
  bRemote = 0;
  fclose(stream);
  unsigned char bytes[64];
  ssize_t n = read(fds[0], bytes, sizeof bytes);
  close(fds[0]);
  EXPECT_EQ(written, 5);
  ASSERT_EQ(n, 10);
  EXPECT_EQ((bytes[0] << 8) | bytes[1], 6);  // length with the terminator
  EXPECT_EQ((bytes[2] << 8) | bytes[3], fds[1]);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes + 4), 6), std::string("ab: 7\0", 6));
  EXPECT_EQ(OUTSOCK, fds[1]);
}

TEST_F(Report, JobManagerCopiesStderrToTheLog) {
  Captured c = run([] {
    jobmgr_flag = 1;
    xfprintf(stderr, "%s", "to stderr\n");
    xfprintf(stdout, "%s", "to stdout\n");
  });
  EXPECT_EQ(c.err, "to stderr\n");
  EXPECT_EQ(c.out, "to stdout\n");
  EXPECT_TRUE(contains(c.log, " 2 qzftconfig: to stderr\n")) << c.log;
  EXPECT_FALSE(contains(c.log, "to stdout")) << c.log;
}

}  // namespace
