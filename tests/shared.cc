#include "tests/shared.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

RunResult capture(const std::function<void()> &child, int seconds) {
  FILE *out = tmpfile(), *err = tmpfile();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    child();
    fflush(nullptr);
    _exit(RETURNED);
  }
  int status = 0;
  for (long waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited, usleep(1000))
    if (waited == seconds * 1000L) kill(pid, SIGKILL);
  // The files have no name left; the process's own link to each still reads it whole.
  auto text = [](FILE *file) {
    std::string read = readFile("/proc/self/fd/" + std::to_string(fileno(file)));
    fclose(file);
    return read;
  };
  return {text(out), text(err), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

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
