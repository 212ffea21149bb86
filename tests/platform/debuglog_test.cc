#include "platform/debuglog.h"

#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "tests/platform/temphome.h"

namespace {

const std::string TIME = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})";

class DebugLogTest : public TempHome {
protected:
  int open_log() {
    int error = 0;
    return open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error);
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
  // The main thread's id is the pid.
  const std::string head = TIME + " \\[" + std::to_string(getpid()) + "\\] \\[" + std::to_string(getpid()) + "\\] ";
  const std::string expected = "earlier line\n" + head + "16 qzftconfig: No SAN clients found:\n" + head +
                               "8 t: first second  third\n" + head +
                               R"(2 qzftconfig: command line: /opt/bin/qzftconfig\.exe -lc -C "host a" "")" "\n";
  EXPECT_TRUE(std::regex_match(debugLog(), std::regex(expected))) << debugLog();
  // A new log takes 0666 under the umask.
  std::filesystem::remove(path("logs/admin/qzftconfig.log"));
  mode_t old = umask(022);
  open_log();
  umask(old);
  EXPECT_EQ(std::filesystem::status(path("logs/admin/qzftconfig.log")).permissions(), std::filesystem::perms(0644));
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
  const std::regex line(TIME + R"( \[\d+\] \[\d+\] 4 qzftconfig: x{300})");
  std::istringstream in(debugLog());
  int count = 0;
  for (std::string text; std::getline(in, text); ++count) ASSERT_TRUE(std::regex_match(text, line)) << text;
  EXPECT_EQ(count, 2000);
}

}  // namespace
