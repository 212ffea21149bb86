// A private installation root per test: $TESSARK_HOME points at a fresh
// temporary directory, with the folder of the tool's debug log, that is
// removed again when the test ends.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/run_result.h"

class TempHome : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qzplatform.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    setenv("TESSARK_HOME", home.c_str(), 1);
    std::filesystem::create_directories(path("logs/admin"));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }
  std::string path(const std::string &relative) const { return home + "/" + relative; }
  void write_file(const std::string &relative, const std::string &content) const {
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    std::ofstream(path(relative), std::ios::binary) << content;
  }
  std::string home;
};
