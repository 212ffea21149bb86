#include "tests/run_result.h"

#include <csignal>
#include <cstdio>
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
