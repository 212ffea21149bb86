#include "tool_runner.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
  chmod(path("logs").c_str(), 0755);
  chmod(path("logs/admin").c_str(), mode);
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

RunResult capture(const TestHome &home, const std::function<void()> &child) {
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    for (int fd : {1, 2}) {
      int file = open(home.path(fd == 1 ? ".out" : ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(file, fd);
      close(file);
    }
    alarm(60);  // survives exec
    child();
    fflush(stdout);
    fflush(stderr);
    _exit(RETURNED);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {readFile(home.path(".out")), readFile(home.path(".err")),
          WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

static std::vector<char *> pointers(std::vector<std::string> &strings) {
  std::vector<char *> result;
  for (std::string &s : strings) result.push_back(&s[0]);
  result.push_back(nullptr);
  return result;
}

RunResult runTool(const TestHome &home, const std::vector<std::string> &args,
                  const std::vector<std::string> &env, uid_t uid) {
  return capture(home, [&] {
    std::vector<std::string> argv = {QZFTCONFIG_PATH}, envp = env;
    argv.insert(argv.end(), args.begin(), args.end());
    // The first entry of a name wins, so `env` overrides these.
    envp.insert(envp.end(), {"TESSARK_HOME=" + home.dir, "PATH=/usr/bin:/bin", "LANG=C"});
    if (uid != (uid_t)-1 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0))
      _exit(201);
    execve(QZFTCONFIG_PATH, pointers(argv).data(), pointers(envp).data());
    _exit(202);
  });
}
