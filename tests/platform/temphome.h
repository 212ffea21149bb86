// A private installation root per test: $TESSARK_HOME points at a fresh
// temporary directory with the folder of the tool's debug log.
#pragma once
#include <filesystem>

#include "tests/harness.h"

struct TempHome : ::testing::Test, TestHome {
  TempHome() : TestHome("") {
    setenv("TESSARK_HOME", dir.c_str(), 1);
    makeLogDir();
  }
  void write_file(const std::string &relative, const std::string &content) const {
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    writeFile(path(relative), content);
  }
};
