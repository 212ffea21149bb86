#include "tool_runner.h"

#include <grp.h>
#include <unistd.h>

RunResult runTool(const TestHome &home, std::vector<std::string> args, std::vector<std::string> env, uid_t uid) {
  args.insert(args.begin(), QZFTCONFIG_PATH);
  // The first entry of a name wins, so `env` overrides these.
  env.insert(env.end(), {"TESSARK_HOME=" + home.dir, "PATH=/usr/bin:/bin", "LANG=C"});
  std::vector<char *> argv, envp;
  for (std::string &s : args) argv.push_back(&s[0]);
  for (std::string &s : env) envp.push_back(&s[0]);
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  return capture([&] {
    if (uid != (uid_t)-1 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) _exit(201);
    execve(QZFTCONFIG_PATH, argv.data(), envp.data());
    _exit(202);
  });
}
