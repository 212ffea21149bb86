#include "platform/debuglog.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/masterconfig.h"
#include "tests/platform/temphome.h"

namespace {

const std::regex LINE(R"(^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) \[(\d+)\] \[(\d+)\] (\d+) ([^:]*): (.*)$)");

class DebugLogTest : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    std::filesystem::create_directories(path("logs/admin"));
  }
  int open_log() {
    int error = 0;
    int fd = open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error);
    EXPECT_GT(fd, 2) << error;
    return fd;
  }
  std::vector<std::string> lines() {
    std::vector<std::string> result;
    std::istringstream in(read_file(path("logs/admin/qzftconfig.log")));
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
};

TEST_F(DebugLogTest, LineCarriesTimePidThreadLevelTagAndText) {
  open_log();
  logmsg(LOG_ERROR, "No SAN clients found:", "qzftconfig");
  logmsg(LOG_TRACE, nullptr, nullptr);
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 2u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(got[0], m, LINE)) << got[0];
  EXPECT_EQ(m[2], std::to_string(getpid()));
  EXPECT_EQ(m[3], std::to_string(getpid()));  // the main thread's id is the pid
  EXPECT_EQ(m[4], "16");
  EXPECT_EQ(m[5], "qzftconfig");
  EXPECT_EQ(m[6], "No SAN clients found:");
  ASSERT_TRUE(std::regex_match(got[1], m, LINE)) << got[1];
  EXPECT_EQ(m[4], "2");
  EXPECT_EQ(m[5], "");
  EXPECT_EQ(m[6], "");
}

TEST_F(DebugLogTest, EmbeddedNewlinesDoNotSplitTheEntry) {
  open_log();
  logmsg(LOG_WARNING, "first\nsecond\r\nthird\n\n", "t");
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 1u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(got[0], m, LINE));
  EXPECT_EQ(m[6], "first second  third");
}

TEST_F(DebugLogTest, FileModeFollowsTheUmask) {
  mode_t old = umask(022);
  open_log();
  umask(old);
  struct stat info;
  ASSERT_EQ(stat(path("logs/admin/qzftconfig.log").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(DebugLogTest, ExistingLogIsAppendedTo) {
  write_file("logs/admin/qzftconfig.log", "earlier line\n");
  open_log();
  logmsg(LOG_INFO, "later", "t");
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], "earlier line");
}

TEST_F(DebugLogTest, MissingDirectoryGivesTheErrno) {
  int error = 0;
  EXPECT_EQ(open_debug_log(path("nowhere").c_str(), "admin", "qzftconfig", 0666, &error), -1);
  EXPECT_EQ(error, ENOENT);
}

// Every line of the file is well formed and each writer's sequence is whole.
void expect_intact(const std::vector<std::string> &got, size_t writers, int perWriter, const std::string &pad) {
  ASSERT_EQ(got.size(), writers * perWriter);
  std::map<std::string, int> next;
  for (const std::string &line : got) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, LINE)) << line;
    std::istringstream text(m[6].str());
    std::string writer, padding;
    int number = -1;
    text >> writer >> number >> padding;
    EXPECT_EQ(padding, pad);
    EXPECT_EQ(number, next[writer]++) << line;
  }
  EXPECT_EQ(next.size(), writers);
}

TEST_F(DebugLogTest, ConcurrentProcessesNeverGarbleLines) {
  const int PER_PROCESS = 1000;
  const std::string pad(300, 'x');  // long lines make a torn write likelier
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int error = 0;
      // Each process opens the file itself, as two runs of the tool would.
      if (open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error) < 0) _exit(1);
      for (int i = 0; i < PER_PROCESS; ++i)
        logmsg(LOG_INFO, ("p" + std::to_string(child) + " " + std::to_string(i) + " " + pad).c_str(), "qzftconfig");
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  expect_intact(lines(), 2, PER_PROCESS, pad);
}

TEST_F(DebugLogTest, ConcurrentThreadsNeverGarbleLines) {
  open_log();
  const int PER_THREAD = 500;
  const std::string pad(200, 'y');
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &pad] {
      for (int i = 0; i < PER_THREAD; ++i)
        logmsg(LOG_INFO, ("t" + std::to_string(t) + " " + std::to_string(i) + " " + pad).c_str(), "worker");
    });
  for (std::thread &thread : threads) thread.join();
  expect_intact(lines(), 4, PER_THREAD, pad);
}

TEST_F(DebugLogTest, CommandLineIsOneTraceLine) {
  open_log();
  char *argv[] = {const_cast<char *>("/opt/bin/qzftconfig"), const_cast<char *>("-lc"),
                  const_cast<char *>("-C"), const_cast<char *>("host a"), const_cast<char *>("")};
  logparams(5, argv);
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 1u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(got[0], m, LINE));
  EXPECT_EQ(m[4], "2");
  EXPECT_EQ(m[5], "qzftconfig");
  EXPECT_EQ(m[6], "command line: /opt/bin/qzftconfig -lc -C \"host a\" \"\"");
}

TEST_F(DebugLogTest, ConfiguredVerboseComesFromTheConfiguration) {
  write_file("qz.conf", "SERVER = m1\nVERBOSE = 5\n");
  ASSERT_EQ(QZ_read_master_config(), 0);
  EXPECT_EQ(get_configured_verbose("qzftconfig", "admin"), 5);
  write_file("qz.conf", "SERVER = m1\n");
  ASSERT_EQ(QZ_read_master_config(), 0);
  EXPECT_EQ(get_configured_verbose("qzftconfig", "admin"), 0);
}

}  // namespace
