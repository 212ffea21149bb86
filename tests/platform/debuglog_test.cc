#include "platform/debuglog.h"

#include <cerrno>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

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
  // pid, thread, level, tag and text of a well-formed line.
  std::string fields(const std::string &line) {
    std::smatch m;
    if (!std::regex_match(line, m, LINE)) return "malformed: " + line;
    return m[2].str() + " " + m[3].str() + " " + m[4].str() + " " + m[5].str() + ": " + m[6].str();
  }
};

TEST_F(DebugLogTest, AppendedLinesCarryTimePidThreadLevelTagAndText) {
  write_file("logs/admin/qzftconfig.log", "earlier line\n");
  open_log();
  logmsg(LOG_ERROR, "No SAN clients found:", "qzftconfig");
  logmsg(LOG_WARNING, "first\nsecond\r\nthird\n\n", "t");
  char *argv[] = {const_cast<char *>("/opt/bin/qzftconfig.exe"), const_cast<char *>("-lc"),
                  const_cast<char *>("-C"), const_cast<char *>("host a"), const_cast<char *>("")};
  logparams(5, argv);
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], "earlier line");
  const std::string pid = std::to_string(getpid()) + " " + std::to_string(getpid());  // main thread id = pid
  EXPECT_EQ(fields(got[1]), pid + " 16 qzftconfig: No SAN clients found:");
  EXPECT_EQ(fields(got[2]), pid + " 8 t: first second  third");
  EXPECT_EQ(fields(got[3]), pid + " 2 qzftconfig: command line: /opt/bin/qzftconfig.exe -lc -C \"host a\" \"\"");

  std::filesystem::remove(path("logs/admin/qzftconfig.log"));
  mode_t old = umask(022);
  open_log();
  umask(old);
  struct stat info;
  ASSERT_EQ(stat(path("logs/admin/qzftconfig.log").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);  // 0666 under the umask
}

// The log directory may be open to everyone (root passes its permission
// checks alike): whatever was planted at the log's path is refused, the open
// never blocks, and nothing is written or created through it.
TEST_F(DebugLogTest, RefusesAnythingButAPlainFileAtItsPath) {
  chmod(path("logs/admin").c_str(), 0777);
  write_file("target", "kept\n");
  const std::string log = path("logs/admin/qzftconfig.log");
  struct Case {
    const char *name;
    std::function<void()> plant;
    int error;
  };
  for (const Case &c : std::vector<Case>{
           {"link", [&] { std::filesystem::create_symlink(path("target"), log); }, ELOOP},
           {"dangling link", [&] { std::filesystem::create_symlink(path("absent"), log); }, ELOOP},
           {"hard link", [&] { std::filesystem::create_hard_link(path("target"), log); }, EMLINK},
           {"FIFO", [&] { mkfifo(log.c_str(), 0666); }, ENXIO},
           {"directory", [&] { std::filesystem::create_directory(log); }, EISDIR}}) {
    SCOPED_TRACE(c.name);
    c.plant();
    int error = 0;
    alarm(20);  // an open that blocks ends the test instead of hanging it
    EXPECT_EQ(open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error), -1);
    alarm(0);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(read_file(path("target")), "kept\n");
    EXPECT_FALSE(std::filesystem::exists(path("absent")));
    std::filesystem::remove(log);
  }
}

TEST_F(DebugLogTest, ConcurrentWritersNeverGarbleLines) {
  // Two processes that open the file each, as two runs of the tool would,
  // plus two threads in each; long lines make a torn write likelier.
  const int PER_WRITER = 500;
  const std::string pad(300, 'x');
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int error = 0;
      if (open_debug_log(path("logs").c_str(), "admin", "qzftconfig", 0666, &error) < 0) _exit(1);
      auto write = [&](const std::string &writer) {
        for (int i = 0; i < PER_WRITER; ++i)
          logmsg(LOG_INFO, (writer + " " + std::to_string(i) + " " + pad).c_str(), "qzftconfig");
      };
      std::thread second(write, "p" + std::to_string(child) + "b");
      write("p" + std::to_string(child) + "a");
      second.join();
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 4u * PER_WRITER);
  std::map<std::string, int> next;
  for (const std::string &line : got) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, LINE)) << line;
    std::istringstream text(m[6].str());
    std::string writer, padding;
    int number = -1;
    text >> writer >> number >> padding;
    ASSERT_EQ(padding, pad);
    ASSERT_EQ(number, next[writer]++) << line;
  }
  EXPECT_EQ(next.size(), 4u);
}

}  // namespace
