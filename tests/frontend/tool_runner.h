// Runs qzftconfig, or a piece of it, in a child process under a private
// installation root, and captures exactly what it writes and how it ends.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/shared.h"

// The tool with LANG=C unless `env` sets it; as `uid` (and that group) unless -1.
RunResult runTool(const TestHome &home, std::vector<std::string> args, std::vector<std::string> env = {},
                  uid_t uid = (uid_t)-1);
