#include "platform/debuglog.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/hostinfo.h"
#include "platform/shown.h"

namespace {

// The open log; -1 when none. Atomic so that worker threads may log while the
// main thread (re)opens it.
std::atomic<int> log_fd{-1};

// Keeps the log off descriptors 0 to 2: a process started with a standard
// stream closed would otherwise mix its printed output into the log.
int move_above_stdio(int fd) {
  if (fd > 2) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  int saved = errno;
  close(fd);
  errno = saved;
  return moved;
}

// The log is written as root in a directory that others may write to, so
// whatever stands at its path is suspect: a link is never followed (nor a
// dangling one created), a FIFO or device cannot block the open, and only a
// regular file with no second name elsewhere is written to.
int open_plain_file(const std::string &path, int mode) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                static_cast<mode_t>(mode));
  if (fd < 0) return -1;
  struct stat info;
  int error = 0;
  if (fstat(fd, &info) != 0) error = errno;
  else if (!S_ISREG(info.st_mode)) error = EINVAL;
  else if (info.st_nlink != 1) error = EMLINK;
  else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) error = errno;
  if (error == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

void append_timestamp(std::string &line) {
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  char stamp[64];
  size_t length = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  snprintf(stamp + length, sizeof stamp - length, ".%03ld", static_cast<long>(now.tv_usec / 1000));
  line += stamp;
}

// Texts of the service reach the log too: they are cleaned as on a terminal,
// since the log is read on one.
void append_one_line(std::string &line, const char *text) {
  size_t length = strlen(text);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
  std::string one(text, length);
  for (char &c : one)
    if (c == '\n' || c == '\r') c = ' ';
  line += shownText(one.c_str(), true);
}

void write_line(int fd, const std::string &line) {
  // One write keeps the line whole; a signal before anything was written
  // is retried, a short write to a full disk is not worth a second attempt.
  while (write(fd, line.data(), line.size()) < 0 && errno == EINTR) {
  }
}

bool needs_quotes(const char *argument) {
  return *argument == '\0' || strpbrk(argument, " \t") != nullptr;
}

}  // namespace

const char *tessark_home() {
  const char *home = getenv("TESSARK_HOME");
  return home != nullptr && *home != '\0' ? home : "/usr/vandor/tessark";
}

int open_debug_log(const char *dir, const char *name, const char *program, int mode, int *errorOut) {
  if (dir == nullptr || name == nullptr || program == nullptr) {
    if (errorOut) *errorOut = EINVAL;
    return -1;
  }
  std::string path = std::string(dir) + "/" + name + "/" + program + ".log";
  int fd = open_plain_file(path, mode);
  if (fd >= 0) fd = move_above_stdio(fd);
  if (fd < 0) {
    if (errorOut) *errorOut = errno;
    return -1;
  }
  int previous = log_fd.exchange(fd);
  if (previous >= 0) close(previous);
  return fd;
}

void logmsg(int level, const char *text, const char *tag) {
  int fd = log_fd.load();
  if (fd < 0) return;
  std::string line;
  line.reserve(64 + (text ? strlen(text) : 0));
  append_timestamp(line);
  line += " [" + std::to_string(getpid()) + "] [" + std::to_string(syscall(SYS_gettid)) + "] ";
  line += std::to_string(level);
  line += ' ';
  line += shownText(tag, false);
  line += ": ";
  append_one_line(line, text ? text : "");
  line += '\n';
  write_line(fd, line);
}

void logparams(int argc, char **argv) {
  if (log_fd.load() < 0 || argc <= 0 || argv == nullptr) return;
  std::string line = "command line:";
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
    line += ' ';
    if (needs_quotes(argv[i]))
      line += std::string("\"") + argv[i] + "\"";
    else
      line += argv[i];
  }
  // The same tag as every other line of the run, so one grep finds them all.
  const char *base = baseName(argv[0], "exe");
  std::string tag = base != nullptr ? base : "";
  logmsg(LOG_TRACE, line.c_str(), tag.c_str());
}
