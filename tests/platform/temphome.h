// A private installation root per test: $TESSARK_HOME points at a fresh
// temporary directory, with the folder of the tool's debug log, that is
// removed again when the test ends.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/shared.h"

class TempHome : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("TESSARK_HOME", home.c_str(), 1);
    made.makeLogDir();
  }
  std::string path(const std::string &relative) const { return made.path(relative); }
  void write_file(const std::string &relative, const std::string &content) const {
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    std::ofstream(path(relative), std::ios::binary) << content;
  }
  TestHome made{""};
  const std::string home = made.dir;
};
