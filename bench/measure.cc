// measure OUT CMD [ARGS...]: runs CMD with its standard output sent to OUT and
// prints "<wall µs> <user µs> <sys µs> <peak RSS KiB> <exit status>" of that
// one child on standard output.
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long long micros(const timespec &t) { return t.tv_sec * 1000000LL + t.tv_nsec / 1000; }
static long long micros(const timeval &t) { return t.tv_sec * 1000000LL + t.tv_usec; }

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: measure OUT CMD [ARGS...]\n");
    return 2;
  }
  timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) _exit(126);
    dup2(out, 1);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  clock_gettime(CLOCK_MONOTONIC, &end);
  printf("%lld %lld %lld %ld %d\n", micros(end) - micros(start), micros(usage.ru_utime),
         micros(usage.ru_stime), usage.ru_maxrss,
         WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
