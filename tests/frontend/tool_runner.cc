#include "tool_runner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

TestHome::TestHome(const std::string &conf) {
  char pattern[] = "/tmp/qzfrontend.XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  dir = pattern;
  chmod(dir.c_str(), 0755);
  if (!conf.empty()) write("qz.conf", conf);
}

TestHome::~TestHome() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

void TestHome::write(const std::string &relative, const std::string &content) const {
  std::filesystem::path file(path(relative));
  std::filesystem::create_directories(file.parent_path());
  for (std::filesystem::path p = file.parent_path(); p.string().size() > dir.size(); p = p.parent_path())
    chmod(p.c_str(), 0755);
  std::ofstream(file, std::ios::binary) << content;
  chmod(file.c_str(), 0644);
}

void TestHome::makeLogDir(mode_t mode) const {
  std::filesystem::create_directories(path("logs/admin"));
  chmod(path("logs").c_str(), 0755);
  chmod(path("logs/admin").c_str(), mode);
}

std::string TestHome::debugLog() const { return readFile(path("logs/admin/qzftconfig.log")); }

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

[[noreturn]] void execTool(const TestHome &home, const std::vector<std::string> &args,
                           const std::vector<std::string> &env, uid_t uid, const char *argv0) {
  std::vector<std::string> environment = {"TESSARK_HOME=" + home.dir, "PATH=/usr/bin:/bin"};
  bool langGiven = false;
  for (const std::string &entry : env) {
    environment.push_back(entry);
    if (entry.rfind("LANG=", 0) == 0) langGiven = true;
  }
  if (!langGiven) environment.push_back("LANG=C");
  std::vector<char *> envp;
  for (std::string &entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  std::string program = QZFTCONFIG_PATH;
  std::vector<std::string> argvStore = {argv0 ? argv0 : program};
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &arg : argvStore) argv.push_back(&arg[0]);
  argv.push_back(nullptr);

  if (uid != (uid_t)-1 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0))
    _exit(201);
  execve(program.c_str(), argv.data(), envp.data());
  _exit(202);
}

// Reads both pipes to their end, so that neither stream can block the tool.
void drain(int outFd, int errFd, RunResult &result, pid_t pid) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string *sinks[2] = {&result.out, &result.err};
  int open = 2;
  time_t deadline = time(nullptr) + 60;
  while (open > 0) {
    if (time(nullptr) > deadline) {
      kill(pid, SIGKILL);
      deadline = time(nullptr) + 3600;
    }
    if (poll(fds, 2, 1000) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, n);
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

RunResult runTool(const TestHome &home, const std::vector<std::string> &args,
                  const std::vector<std::string> &env, uid_t uid, const char *argv0) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) abort();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(outPipe[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    execTool(home, args, env, uid, argv0);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  RunResult result{"", "", -1};
  drain(outPipe[0], errPipe[0], result, pid);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
