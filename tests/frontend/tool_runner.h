// Runs the built qzftconfig against a private installation root and captures
// exactly what it writes and how it ends.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

struct RunResult {
  std::string out;  // standard output, exactly
  std::string err;  // standard error, exactly
  int status;       // exit status, or 128 + signal number
};

// A private TESSARK_HOME (mode 0755) holding qz.conf; removed on destruction.
struct TestHome {
  explicit TestHome(const std::string &conf = "SERVER = master1\nUSE_KMTL = AUTOMATIC\nQZSL_PORT = 1\n");
  ~TestHome();
  TestHome(const TestHome &) = delete;
  TestHome &operator=(const TestHome &) = delete;

  std::string path(const std::string &relative) const { return dir + "/" + relative; }
  // Writes a file (mode 0644), creating its directories (mode 0755).
  void write(const std::string &relative, const std::string &content) const;
  // Creates logs/admin with `mode`, so that the tool keeps its debug log.
  void makeLogDir(mode_t mode = 0755) const;
  std::string debugLog() const;

  std::string dir;
};

// Runs qzftconfig with `args` (argv[0] is the binary's path unless `argv0`
// is given) under `home`, with LANG=C unless `env` sets it. A run as `uid`
// (not -1) also takes that uid as its group. A run that outlives 60 seconds is
// killed.
RunResult runTool(const TestHome &home, const std::vector<std::string> &args,
                  const std::vector<std::string> &env = {}, uid_t uid = (uid_t)-1,
                  const char *argv0 = nullptr);

std::string readFile(const std::string &path);
