// A private installation root per test: $TESSARK_HOME points at a fresh
// temporary directory that is removed again when the test ends.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

class TempHome : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qzplatform.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    setenv("TESSARK_HOME", home.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    unsetenv("TESSARK_HOME");
  }
  std::string path(const std::string &relative) const { return home + "/" + relative; }
  void write_file(const std::string &relative, const std::string &content) const {
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    std::ofstream(path(relative), std::ios::binary) << content;
  }
  std::string home;
};

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `body` as the user "nobody" in a child process (root passes every
// permission check); its exit code, or -1.
template <class Body> int as_nobody(Body body) {
  struct passwd *nobody = getpwnam("nobody");
  if (nobody == nullptr) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(100);
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
