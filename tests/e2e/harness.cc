#include "harness.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

std::string demoInventory() { return readFile(QZ_SOURCE_DIR "/qzsld/demo/inventory.json"); }

// The homes go at the end of a run that passed; QZ_KEEP_SITES keeps them.
struct RemoveHomes : ::testing::Environment {
  std::vector<std::string> homes;
  void TearDown() override {
    if (getenv("QZ_KEEP_SITES") || !::testing::UnitTest::GetInstance()->Passed()) return;
    for (const std::string &home : homes)
      nftw(home.c_str(), [](const char *path, const struct stat *, int, FTW *) { return remove(path); }, 16,
           FTW_DEPTH | FTW_PHYS);
  }
};
static RemoveHomes *const made = new RemoveHomes;
static ::testing::Environment *const registered = ::testing::AddGlobalTestEnvironment(made);

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

static void writeConfig(const Site &site) {
  std::string port = site.options.defaultPort ? "" : "QZSL_PORT = " + std::to_string(site.port) + "\n";
  writeFile(site.home + "/qz.conf", "SERVER = master1\nUSE_KMTL = AUTOMATIC\n" + port + site.options.confExtra);
}

// Execs `args` in the C locale, with TESSARK_HOME=`home` when given, `env`
// added and both output streams on `output` when given.
[[noreturn]] static void execute(std::vector<std::string> args, const std::string &home,
                                 const std::vector<std::string> &env = {}, int output = -1) {
  if (output >= 0) dup2(output, 1), dup2(output, 2);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  setenv("LANG", "C", 1);
  if (!home.empty()) setenv("TESSARK_HOME", home.c_str(), 1);
  for (const std::string &pair : env) putenv(strdup(pair.c_str()));
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Runs `command` followed by `args` to completion (killed after `seconds`)
// with its output captured.
static RunResult runToEnd(std::vector<std::string> command, const std::vector<std::string> &args,
                          const std::string &home, const std::vector<std::string> &env = {}, int seconds = 120) {
  command.insert(command.end(), args.begin(), args.end());
  return capture([&] { execute(command, home, env); }, seconds);
}

// The command line that runs the rest as `user` with its primary group and
// no other; empty for "".
static std::vector<std::string> switchTo(const std::string &user) {
  if (user.empty()) return {};
  const passwd *entry = getpwnam(user.c_str());
  if (!entry) throw std::runtime_error("no local user " + user);
  return {"/usr/bin/setpriv", "--reuid=" + std::to_string(entry->pw_uid),
          "--regid=" + std::to_string(entry->pw_gid), "--clear-groups"};
}

// Starts qzsld and waits until it listens; a port taken meanwhile by someone
// else makes it exit, and then another port is tried.
static void launch(Site &site, bool import) {
  std::string ready = site.home + "/qzsld.ready", out = site.home + "/qzsld.out";
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::vector<std::string> args = switchTo(site.options.serviceUser);
    args.insert(args.end(), {QZSLD_BIN, "--db", site.home + "/var/qzsld.db", "--journal",
                             site.home + "/journal.log", "--ready-file", ready});
    if (!site.options.portFromConf) args.insert(args.end(), {"--port", std::to_string(site.port)});
    if (import) args.insert(args.end(), {"--inventory", site.home + "/inventory.json"});
    if (!site.options.faults.empty()) args.insert(args.end(), {"--faults", site.home + "/faults.json"});
    args.insert(args.end(), site.options.qzsldArgs.begin(), site.options.qzsldArgs.end());
    unlink(ready.c_str());
    int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if ((site.pid = fork()) == 0) execute(args, site.home, {}, fd);
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
  site.options = options;
  char pattern[] = "/tmp/qzsite.XXXXXX";
  site.home = mkdtemp(pattern);
  made->homes.push_back(site.home);
  chmod(site.home.c_str(), 0755);
  for (const char *dir : {"/var", "/logs", "/logs/admin"}) mkdir((site.home + dir).c_str(), 0755);
  // A service of another user writes its database, journal and ready file.
  if (const passwd *owner = options.serviceUser.empty() ? nullptr : getpwnam(options.serviceUser.c_str()))
    for (const char *dir : {"", "/var"})
      if (chown((site.home + dir).c_str(), owner->pw_uid, owner->pw_gid) != 0) throw std::runtime_error("chown");
  chmod((site.home + "/logs/admin").c_str(), 0777);
  if (symlink(QZ_CATALOG_DIR, (site.home + "/msg").c_str()) != 0) throw std::runtime_error("cannot link the catalogs");
  writeFile(site.home + "/inventory.json", options.inventory.empty() ? "{}" : options.inventory);
  if (!options.faults.empty()) writeFile(site.home + "/faults.json", options.faults);
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

RunResult runTool(const Site &site, const std::vector<std::string> &args, const std::vector<std::string> &env,
                  int timeoutSeconds) {
  return runToEnd({QZFTCONFIG_BIN}, args, site.home, env, timeoutSeconds);
}

RunResult runToolInto(const Site &site, const std::vector<std::string> &args, const std::string &out) {
  std::vector<std::string> command = {QZFTCONFIG_BIN};
  command.insert(command.end(), args.begin(), args.end());
  return capture([&] {
    int fds[2] = {-1, open(out.c_str(), O_WRONLY)};
    if (out.empty() && pipe(fds) == 0) close(fds[0]);
    dup2(fds[1], 1);
    execute(command, site.home);
  });
}

RunResult runToolAs(const std::string &user, const Site &site, const std::vector<std::string> &args) {
  std::vector<std::string> command = switchTo(user);
  command.push_back(QZFTCONFIG_BIN);
  return runToEnd(command, args, site.home);
}

RunResult runService(const std::vector<std::string> &args, const std::string &home) {
  return runToEnd({QZSLD_BIN}, args, home);
}

// libfaketime's own condition-variable wrappers hide omniORB's waits from a
// ThreadSanitizer build; the suppressions cover those.
std::vector<std::string> fastClock() {
  const char *tsan = getenv("TSAN_OPTIONS");
  std::string options = tsan ? tsan : "";
  if (options.find("suppressions=") == std::string::npos) options += " suppressions=" QZ_TSAN_SUPPRESSIONS;
  return {"LD_PRELOAD=" QZ_LIBFAKETIME, "FAKETIME=+0 x100", "TSAN_OPTIONS=" + options};
}

static std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Journal lines start with the time of the call ("2024-05-01T13:02:03.045Z "),
// which no test can predict.
std::vector<std::string> journal(const Site &site) {
  std::vector<std::string> lines = linesOf(readFile(site.home + "/journal.log"));
  for (std::string &line : lines) line.erase(0, line.find(' ') + 1);
  return lines;
}

std::vector<std::string> ftCalls(const Site &site) {
  static const std::set<std::string> sessionCalls = {"getHostSession", "getFATServiceManager", "aqueryFacet",
                                                     "amodifyFacet",   "acontrolFacet",        "destroy"};
  std::vector<std::string> ft;
  for (const std::string &line : journal(site))
    if (!sessionCalls.count(line.substr(0, line.find(' ')))) ft.push_back(line);
  return ft;
}

std::string debugLog(const Site &site) { return readFile(site.home + "/logs/admin/qzftconfig.log"); }

std::vector<std::string> logLines(const Site &site) {
  std::vector<std::string> lines;
  for (const std::string &line : linesOf(debugLog(site))) {
    // "date time [pid] [tid] level tag: text"
    size_t level = line.find("] ", line.find("] ") + 2) + 2, space = line.find(' ', level);
    if (line.compare(level, space - level, "2") != 0)
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
