#include "harness.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <pwd.h>
#include <set>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Waits at least `ms` milliseconds for `pid`; its wait status, or -1 if it still runs.
static int waitFor(pid_t pid, long ms) {
  for (long waited = 0;; ++waited, usleep(1000)) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done != 0) return done == pid ? status : 0;
    if (waited >= ms) return -1;
  }
}

// A SIGKILL cannot be refused: waiting for its end needs no bound.
static void killAndReap(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

RunResult capture(const std::function<void()> &child, int seconds) {
  FILE *out = tmpfile(), *err = tmpfile();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    child();
    fflush(nullptr);
    _exit(RETURNED);
  }
  int status = waitFor(pid, seconds * 1000L);
  if (status == -1) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  // The files have no name left; the process's own link to each still reads it whole.
  auto text = [](FILE *file) {
    std::string read = readFile("/proc/self/fd/" + std::to_string(fileno(file)));
    fclose(file);
    return read;
  };
  return {text(out), text(err), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

// The homes go at the end of a run that passed; QZ_KEEP_SITES keeps them.
struct RemoveHomes : ::testing::Environment {
  Lines homes;
  void TearDown() override {
    if (getenv("QZ_KEEP_SITES") || !::testing::UnitTest::GetInstance()->Passed()) return;
    std::error_code ignored;
    for (const std::string &home : homes) std::filesystem::remove_all(home, ignored);
  }
};
static RemoveHomes *const made = new RemoveHomes;
static ::testing::Environment *const registered = ::testing::AddGlobalTestEnvironment(made);

TestHome::TestHome(const std::string &conf) {
  char pattern[] = "/tmp/qzsite.XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no temporary folder");
  dir = pattern;
  made->homes.push_back(dir);
  chmod(dir.c_str(), 0755);
  umask(022);  // what the tests write, "nobody" must read
  if (!conf.empty()) writeFile(path("qz.conf"), conf);
}

void TestHome::makeLogDir(mode_t mode) const {
  std::filesystem::create_directories(path("logs/admin"));
  chmod(path("logs/admin").c_str(), mode);
}

int loopbackSocket(int port, bool connected) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if ((connected ? connect : bind)(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) return fd;
  close(fd);
  return -1;
}

static int freePort() {
  int fd = loopbackSocket(0);
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
    throw std::runtime_error("no free port");
  close(fd);
  return ntohs(address.sin_port);
}

static void writeConfig(const Site &site) {
  std::string port = site.options.defaultPort ? "" : "QZSL_PORT = " + std::to_string(site.port) + "\n";
  writeFile(site.path("qz.conf"), BASE_CONF + port + site.options.confExtra);
}

// The command line that runs `words` in the C locale, with TESSARK_HOME=`home`
// when given and `env` added. env(1) sets them: the child of a test with
// threads of its own may not allocate, as another thread may have held the
// allocator's lock at the fork.
static Lines inEnvironment(const std::string &home, const Lines &env, const Lines &words) {
  Lines command = {"/usr/bin/env", "-u", "LC_ALL", "-u", "LC_MESSAGES", "LANG=C"};
  if (!home.empty()) command.push_back("TESSARK_HOME=" + home);
  command.insert(command.end(), env.begin(), env.end());
  command.insert(command.end(), words.begin(), words.end());
  return command;
}

// The argument vector of `words` for execv, made before the fork.
static std::vector<char *> argumentsOf(Lines &words) {
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  return argv;
}

// The command line that runs `program` as `user` with its primary group and
// no other; `program` alone for "".
static Lines switchTo(const std::string &user, const char *program) {
  if (user.empty()) return {program};
  const passwd *entry = getpwnam(user.c_str());
  if (!entry) throw std::runtime_error("no local user " + user);
  return {"/usr/bin/setpriv", "--reuid=" + std::to_string(entry->pw_uid),
          "--regid=" + std::to_string(entry->pw_gid), "--clear-groups", program};
}

static RunResult runProgram(const char *program, const std::string &home, const Lines &args,
                            const RunOptions &how) {
  Lines command = inEnvironment(home, how.env, switchTo(how.user, program));
  command.insert(command.end(), args.begin(), args.end());
  std::vector<char *> argv = argumentsOf(command);
  return capture(
      [&] {
        if (how.stdoutTo) {
          int fds[2] = {-1, open(how.stdoutTo, O_WRONLY)};
          if (!*how.stdoutTo && pipe(fds) == 0) close(fds[0]);
          dup2(fds[1], 1);
        }
        execv(argv[0], argv.data());
        _exit(127);
      },
      how.seconds);
}

RunResult runTool(const TestHome &home, const Lines &args, const RunOptions &how) {
  return runProgram(QZFTCONFIG_BIN, home.dir, args, how);
}

RunResult runService(const Lines &args, const std::string &home) { return runProgram(QZSLD_BIN, home, args, {}); }

// Starts qzsld and waits until it listens; a port taken meanwhile by someone
// else makes it exit, and then another port is tried.
static void launch(Site &site, bool import) {
  std::string ready = site.path("qzsld.ready"), out = site.path("qzsld.out");
  for (int attempt = 0; attempt < 5; ++attempt) {
    Lines args = inEnvironment(site.dir, {}, switchTo(site.options.serviceUser, QZSLD_BIN));
    args.insert(args.end(), {"--db", site.path("var/qzsld.db"), "--journal", site.path("journal.log"),
                             "--ready-file", ready});
    if (!site.options.portFromConf) args.insert(args.end(), {"--port", std::to_string(site.port)});
    if (import) args.insert(args.end(), {"--inventory", site.path("inventory.json")});
    if (!site.options.faults.empty()) args.insert(args.end(), {"--faults", site.path("faults.json")});
    args.insert(args.end(), site.options.qzsldArgs.begin(), site.options.qzsldArgs.end());
    unlink(ready.c_str());
    std::vector<char *> argv = argumentsOf(args);
    int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if ((site.pid = fork()) == 0) dup2(fd, 1), dup2(fd, 2), execv(argv[0], argv.data()), _exit(127);
    close(fd);
    bool running = true;
    for (int waited = 0; waited < 60000 && (running = waitFor(site.pid, 0) == -1); ++waited, usleep(2000))
      if (access(ready.c_str(), F_OK) == 0) return;
    if (running) killAndReap(site.pid);
    site.pid = -1;
    if (site.options.defaultPort) break;
    site.port = freePort();
    writeConfig(site);
  }
  throw std::runtime_error("qzsld did not start; see " + out + ":\n" + readFile(out));
}

Site startSite(const SiteOptions &options) {
  Site site;
  static_cast<TestHome &>(site) = TestHome("");
  site.options = options;
  mkdir(site.path("var").c_str(), 0755);
  site.makeLogDir(0777);
  // A service of another user writes its database, journal and ready file.
  if (const passwd *owner = options.serviceUser.empty() ? nullptr : getpwnam(options.serviceUser.c_str()))
    for (const char *dir : {"", "var"})
      if (chown(site.path(dir).c_str(), owner->pw_uid, owner->pw_gid) != 0) throw std::runtime_error("chown");
  if (symlink(QZ_CATALOG_DIR, site.path("msg").c_str()) != 0) throw std::runtime_error("cannot link the catalogs");
  writeFile(site.path("inventory.json"), options.inventory.empty() ? "{}" : options.inventory);
  if (!options.faults.empty()) writeFile(site.path("faults.json"), options.faults);
  site.port = options.defaultPort ? 7390 : freePort();
  writeConfig(site);
  if (options.startService) launch(site, true);
  return site;
}

int signalSite(Site &site, int signal) {
  if (site.pid <= 0) return -1;
  kill(site.pid, signal);
  int status = waitFor(site.pid, 10000);
  if (status == -1) killAndReap(site.pid);
  site.pid = -1;
  return status;
}

void restartSite(Site &site) {
  stopSite(site);
  launch(site, false);
}

// libfaketime's own condition-variable wrappers hide omniORB's waits from a
// ThreadSanitizer build; the suppressions cover those.
Lines fastClock() {
  const char *tsan = getenv("TSAN_OPTIONS");
  std::string options = tsan ? tsan : "";
  if (options.find("suppressions=") == std::string::npos) options += " suppressions=" QZ_TSAN_SUPPRESSIONS;
  return {"LD_PRELOAD=" QZ_LIBFAKETIME, "FAKETIME=+0 x100", "TSAN_OPTIONS=" + options};
}

std::string demoInventory() { return readFile(QZ_SOURCE_DIR "/qzsld/demo/inventory.json"); }

static Lines linesOf(const std::string &text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Journal lines start with the time of the call ("2024-05-01T13:02:03.045Z "),
// which no test can predict.
Lines journal(const Site &site) {
  Lines lines = linesOf(readFile(site.path("journal.log")));
  for (std::string &line : lines) line.erase(0, line.find(' ') + 1);
  return lines;
}

Lines ftCalls(const Site &site) {
  static const std::set<std::string> sessionCalls = {"getHostSession", "getFATServiceManager", "aqueryFacet",
                                                     "amodifyFacet",   "acontrolFacet",        "destroy"};
  Lines ft;
  for (const std::string &line : journal(site))
    if (!sessionCalls.count(line.substr(0, line.find(' ')))) ft.push_back(line);
  return ft;
}

Lines logLines(const TestHome &home) {
  Lines lines;
  for (const std::string &line : linesOf(home.debugLog())) {
    // "date time [pid] [tid] level tag: text"
    size_t level = line.find("] ", line.find("] ") + 2) + 2, space = line.find(' ', level);
    if (line.compare(level, space - level, std::to_string(LOG_TRACE)) != 0)
      lines.push_back(line.substr(level, space + 1 - level) + line.substr(line.find(": ", space) + 2));
  }
  return lines;
}

std::string faultRules(std::initializer_list<std::string> rules) {
  std::string text;
  for (const std::string &rule : rules) text += (text.empty() ? "" : ", ") + rule;
  return "{\"rules\": [" + text + "]}";
}

static std::string ruleHead(const std::string &op, const std::string &arg) {
  return R"({"op": ")" + op + "\", " + (arg.empty() ? "" : R"("arg": ")" + arg + "\", ");
}

std::string refusalRule(const std::string &op, int code, const std::string &message, const std::string &arg,
                        const std::string &extra) {
  return ruleHead(op, arg) + R"("action": "raise", "errors": [{"errorCode": )" + std::to_string(code) +
         R"(, "localizedMsg": ")" + message + R"(", "additionalMsg": ")" + extra + R"("}]})";
}

std::string replyRule(const std::string &op, const std::string &result, const std::string &arg) {
  return ruleHead(op, arg) + R"("action": "reply", "result": )" + result + "}";
}
