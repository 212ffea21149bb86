#include "tool_runner.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

TestHome::TestHome(const std::string &conf) {
  char pattern[] = "/tmp/qzfrontend.XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  dir = pattern;
  chmod(dir.c_str(), 0755);
  umask(022);  // what the tests write, "nobody" must read
  if (!conf.empty()) std::ofstream(path("qz.conf")) << conf;
}

TestHome::~TestHome() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

void TestHome::makeLogDir(mode_t mode) const {
  std::filesystem::create_directories(path("logs/admin"));
  chmod(path("logs/admin").c_str(), mode);
}

RunResult runTool(const TestHome &home, std::vector<std::string> args, std::vector<std::string> env, uid_t uid) {
  args.insert(args.begin(), QZFTCONFIG_PATH);
  // The first entry of a name wins, so `env` overrides these.
  env.insert(env.end(), {"TESSARK_HOME=" + home.dir, "PATH=/usr/bin:/bin", "LANG=C"});
  std::vector<char *> argv, envp;
  for (std::string &s : args) argv.push_back(&s[0]);
  for (std::string &s : env) envp.push_back(&s[0]);
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  return capture([&] {
    if (uid != (uid_t)-1 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) _exit(201);
    execve(QZFTCONFIG_PATH, argv.data(), envp.data());
    _exit(202);
  });
}
