#include "platform/remoteout.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string drain(int fd) {
  std::string data;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, got);
  return data;
}

TEST(RemoteOut, ShortsInNetworkOrderAndWholeStringsWithTheirTerminator) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string longer(300000, 'q');  // more than the pipe holds
  std::string received;
  std::thread reader([&] { received = drain(fds[0]); });
  int error = 0;
  EXPECT_GE(put_short(fds[1], 0x1234, &error), 0);
  EXPECT_GE(put_short(fds[1], 65535, &error), 0);
  EXPECT_GE(put_string(fds[1], "abc", &error), 0);
  EXPECT_GE(put_string(fds[1], "", &error), 0);
  EXPECT_GE(put_string(fds[1], longer.c_str(), &error), 0);
  close(fds[1]);
  reader.join();
  close(fds[0]);
  EXPECT_EQ(received, std::string("\x12\x34\xFF\xFF" "abc\0\0", 9) + longer + '\0');
}

TEST(RemoteOut, FailuresAreNegativeWithTheErrno) {
  int error = 0;
  EXPECT_LT(put_short(-1, 1, &error), 0);
  EXPECT_EQ(error, EBADF);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  signal(SIGPIPE, SIG_IGN);
  error = 0;
  EXPECT_LT(put_string(fds[1], "lost", &error), 0);
  EXPECT_EQ(error, EPIPE);
  close(fds[1]);
}

}  // namespace
