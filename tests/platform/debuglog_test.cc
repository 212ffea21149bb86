#include "platform/debuglog.h"

#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "tests/platform/temphome.h"

namespace {

// Time, pid, thread, level, tag: text.
const std::regex LINE(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[(\d+)\] \[(\d+)\] (\d+ [^:]*: .*)$)");

class DebugLogTest : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    std::filesystem::create_directories(path("logs/admin"));
  }
  int open_log() {
    int error = 0;
    return open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error);
  }
  std::vector<std::string> lines() {
    std::vector<std::string> result;
    std::istringstream in(read_file(path("logs/admin/qzftconfig.log")));
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
};

TEST_F(DebugLogTest, AppendedLinesCarryTimePidThreadLevelTagAndText) {
  write_file("logs/admin/qzftconfig.log", "earlier line\n");
  ASSERT_GT(open_log(), 2);
  logmsg(LOG_ERROR, "No SAN clients found:", "qzftconfig");
  logmsg(LOG_WARNING, "first\nsecond\r\nthird\n\n", "t");
  char *argv[] = {const_cast<char *>("/opt/bin/qzftconfig.exe"), const_cast<char *>("-lc"),
                  const_cast<char *>("-C"), const_cast<char *>("host a"), const_cast<char *>("")};
  logparams(5, argv);
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], "earlier line");
  const std::string pid = std::to_string(getpid());  // the main thread's id is the pid
  const char *expected[] = {"16 qzftconfig: No SAN clients found:", "8 t: first second  third",
                            "2 qzftconfig: command line: /opt/bin/qzftconfig.exe -lc -C \"host a\" \"\""};
  for (int i = 0; i < 3; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(got[i + 1], m, LINE)) << got[i + 1];
    EXPECT_EQ(m[1].str() + " " + m[2].str() + " " + m[3].str(), pid + " " + pid + " " + expected[i]);
  }
  // A new log takes 0666 under the umask.
  std::filesystem::remove(path("logs/admin/qzftconfig.log"));
  mode_t old = umask(022);
  open_log();
  umask(old);
  EXPECT_EQ(std::filesystem::status(path("logs/admin/qzftconfig.log")).permissions(),
            std::filesystem::perms(0644));
}

// Two processes that open the file each, as two runs of the tool would, with
// two threads in each; long lines make a torn write likelier.
TEST_F(DebugLogTest, ConcurrentWritersNeverGarbleLines) {
  const std::string pad(300, 'x');
  for (int child = 0; child < 2; ++child) {
    if (fork() == 0) {
      if (open_log() < 0) _exit(1);
      auto write = [&] {
        for (int i = 0; i < 500; ++i) logmsg(LOG_INFO, pad.c_str(), "qzftconfig");
      };
      std::thread second(write);
      write();
      second.join();
      _exit(0);
    }
  }
  for (int status = 0, child = 0; child < 2; ++child) {
    wait(&status);
    ASSERT_EQ(status, 0);
  }
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 2000u);
  std::smatch m;
  for (const std::string &line : got) ASSERT_TRUE(std::regex_match(line, m, LINE) && m[3] == "4 qzftconfig: " + pad) << line;
}

}  // namespace
