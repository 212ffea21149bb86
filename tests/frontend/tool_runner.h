// Runs qzftconfig, or a piece of it, in a child process under a private
// installation root, and captures exactly what it writes and how it ends.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/run_result.h"

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

// The tool with LANG=C unless `env` sets it; as `uid` (and that group) unless -1.
RunResult runTool(const TestHome &home, std::vector<std::string> args, std::vector<std::string> env = {},
                  uid_t uid = (uid_t)-1);
