// What every test binary shares: how a run of a program ended, the one way
// to compare it, whole-file reads and writes, and a private installation root.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/types.h>

struct RunResult {
  std::string out, err;  // standard output and error, exactly
  int status;            // exit status, or 128 + signal number
};

const int RETURNED = 199;  // the child's code came back instead of ending the process

// Runs `child` in a fork with its standard output and error captured; one
// that outlives `seconds` is killed.
RunResult capture(const std::function<void()> &child, int seconds = 60);

// Fails unless the run printed exactly `out` and `err` and ended with `status`.
inline void expectRun(const RunResult &r, const std::string &out, const std::string &err, int status) {
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, status);
}

// The file's bytes; "" when it cannot be read.
inline std::string readFile(const std::string &path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

inline void writeFile(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A private TESSARK_HOME (mode 0755) holding qz.conf; removed on destruction.
struct TestHome {
  explicit TestHome(const std::string &conf = "SERVER = master1\nUSE_KMTL = AUTOMATIC\nQZSL_PORT = 1\n");
  TestHome(const TestHome &) = delete;  // the destructor removes the folder
  ~TestHome();
  std::string path(const std::string &relative) const { return dir + "/" + relative; }
  // The tool keeps a debug log only where logs/admin exists.
  void makeLogDir(mode_t mode = 0755) const;
  std::string debugLog() const { return readFile(path("logs/admin/qzftconfig.log")); }
  std::string dir;
};
