#include "harness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static void fail(const std::string &what) { throw std::runtime_error(what); }

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out)
    fail("cannot write " + path);
}

std::string demoInventory() { return readFile(QZ_SOURCE_DIR "/qzsld/demo/inventory.json"); }

static int removeEntry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

// The homes go at the end of a run that passed; QZ_KEEP_SITES keeps them.
struct RemoveHomes : ::testing::Environment {
  std::vector<std::string> homes;
  void TearDown() override {
    if (!getenv("QZ_KEEP_SITES") && ::testing::UnitTest::GetInstance()->Passed())
      for (const std::string &home : homes)
        nftw(home.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  }
};
static RemoveHomes *const made = new RemoveHomes;
static ::testing::Environment *const registered = ::testing::AddGlobalTestEnvironment(made);

static int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
    fail("no free port");
  close(fd);
  return ntohs(address.sin_port);
}

static double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Waits up to `seconds` for `pid`; returns its wait status, or -1 if it still runs.
static int waitFor(pid_t pid, double seconds) {
  double deadline = now() + seconds;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid)
      return status;
    if (done < 0)
      return 0;
    if (now() > deadline)
      return -1;
    usleep(1000);
  }
}

static void makeDir(const std::string &path, mode_t mode) {
  if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
    fail("mkdir " + path);
  chmod(path.c_str(), mode);
}

static void writeConfig(const Site &site) {
  std::string conf = "# written by the test harness\n";
  if (!site.options.master.empty())
    conf += "SERVER = " + site.options.master + "\n";
  conf += "USE_KMTL = AUTOMATIC\n";
  if (!site.options.defaultPort)
    conf += "QZSL_PORT = " + std::to_string(site.port) + "\n";
  conf += site.options.confExtra;
  writeFile(site.home + "/qz.conf", conf);
  chmod((site.home + "/qz.conf").c_str(), 0644);
}

// Forks and execs `args` with its output on `out` and `err`, in the C locale
// and with TESSARK_HOME=`home` when given, as `uid` when it is not -1.
static pid_t spawn(std::vector<std::string> args, int out, int err, const std::string &home,
                   const std::vector<std::string> &env = {}, uid_t uid = (uid_t)-1) {
  pid_t pid = fork();
  if (pid != 0)
    return pid;
  dup2(out, 1);
  dup2(err, 2);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  setenv("LANG", "C", 1);
  if (!home.empty())
    setenv("TESSARK_HOME", home.c_str(), 1);
  for (const std::string &pair : env)
    putenv(strdup(pair.c_str()));
  if (uid != (uid_t)-1 && (setgid(uid) != 0 || setuid(uid) != 0))
    _exit(126);
  std::vector<char *> argv;
  for (std::string &a : args)
    argv.push_back(&a[0]);
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Runs `args` to completion (killed after `seconds`) with its output captured.
static RunResult runToEnd(const std::vector<std::string> &args, const std::string &home,
                          const std::vector<std::string> &env, uid_t uid, int seconds) {
  char outName[] = "/tmp/qzrun.out.XXXXXX", errName[] = "/tmp/qzrun.err.XXXXXX";
  int out = mkstemp(outName), err = mkstemp(errName);
  pid_t pid = spawn(args, out, err, home, env, uid);
  int status = waitFor(pid, seconds);
  if (status == -1) {
    kill(pid, SIGKILL);
    status = waitFor(pid, 5);
  }
  close(out);
  close(err);
  RunResult result{readFile(outName), readFile(errName), 0};
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  unlink(outName);
  unlink(errName);
  return result;
}

static pid_t spawnService(const Site &site, bool import) {
  std::vector<std::string> args = {QZSLD_BIN, "--port",  std::to_string(site.port), "--db", site.db,
                                   "--journal", site.journal, "--ready-file", site.home + "/qzsld.ready"};
  if (site.options.portFromConf)
    args.erase(args.begin() + 1, args.begin() + 3);
  if (import)
    args.insert(args.end(), {"--inventory", site.inventoryFile});
  if (!site.options.faults.empty())
    args.insert(args.end(), {"--faults", site.faultsFile});
  args.insert(args.end(), site.options.qzsldArgs.begin(), site.options.qzsldArgs.end());
  unlink((site.home + "/qzsld.ready").c_str());
  int out = open((site.home + "/qzsld.out").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  pid_t pid = spawn(args, out, out, site.home);
  close(out);
  return pid;
}

// Starts qzsld and waits until it listens; a port taken meanwhile by someone
// else makes it exit, and then another port is tried.
static void launch(Site &site, bool import) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    site.pid = spawnService(site, import);
    double deadline = now() + 120;
    while (now() < deadline) {
      if (access((site.home + "/qzsld.ready").c_str(), F_OK) == 0)
        return;
      if (waitFor(site.pid, 0) != -1)
        break;
      usleep(2000);
    }
    if (waitFor(site.pid, 0) == -1) {
      kill(site.pid, SIGKILL);
      waitFor(site.pid, 5);
    }
    site.pid = -1;
    if (site.options.defaultPort)
      break;
    site.port = freePort();
    writeConfig(site);
  }
  fail("qzsld did not start; see " + site.home + "/qzsld.out:\n" + readFile(site.home + "/qzsld.out"));
}

Site startSite(const SiteOptions &options) {
  Site site;
  site.options = options;
  char pattern[] = "/tmp/qzsite.XXXXXX";
  if (!mkdtemp(pattern))
    fail("mkdtemp");
  site.home = pattern;
  made->homes.push_back(site.home);
  chmod(site.home.c_str(), 0755);
  makeDir(site.home + "/var", 0755);
  makeDir(site.home + "/logs", 0755);
  if (options.logDir)
    makeDir(site.home + "/logs/admin", 0777);
  symlink(QZ_CATALOG_DIR, (site.home + "/msg").c_str());
  site.db = site.home + "/var/qzsld.db";
  site.journal = site.home + "/journal.log";
  site.faultsFile = site.home + "/faults.json";
  site.inventoryFile = site.home + "/inventory.json";
  writeFile(site.inventoryFile, options.inventory.empty() ? "{}" : options.inventory);
  if (!options.faults.empty())
    writeFile(site.faultsFile, options.faults);
  site.port = options.defaultPort ? 7390 : freePort();
  writeConfig(site);
  if (options.startService)
    launch(site, true);
  return site;
}

int signalSite(Site &site, int signal) {
  if (site.pid <= 0)
    return -1;
  kill(site.pid, signal);
  int status = waitFor(site.pid, 10);
  if (status == -1) {
    kill(site.pid, SIGKILL);
    waitFor(site.pid, 5);
  }
  site.pid = -1;
  return status;
}

void stopSite(Site &site) { signalSite(site, SIGTERM); }

void restartSite(Site &site) {
  stopSite(site);
  launch(site, false);
}

RunResult runTool(const Site &site, const std::vector<std::string> &args,
                  const std::vector<std::string> &env, uid_t uid, int timeoutSeconds) {
  std::vector<std::string> all = {QZFTCONFIG_BIN};
  all.insert(all.end(), args.begin(), args.end());
  return runToEnd(all, site.home, env, uid, timeoutSeconds);
}

// libfaketime's own condition-variable wrappers hide omniORB's waits from a
// ThreadSanitizer build; the suppressions cover those.
std::vector<std::string> fastClock() {
  const char *tsan = getenv("TSAN_OPTIONS");
  std::string options = tsan ? tsan : "";
  if (options.find("suppressions=") == std::string::npos)
    options += " suppressions=" QZ_TSAN_SUPPRESSIONS;
  return {"LD_PRELOAD=" QZ_LIBFAKETIME, "FAKETIME=+0 x100", "TSAN_OPTIONS=" + options};
}

RunResult runService(const std::vector<std::string> &args, const std::string &home) {
  std::vector<std::string> all = {QZSLD_BIN};
  all.insert(all.end(), args.begin(), args.end());
  return runToEnd(all, home, {}, (uid_t)-1, 120);
}

static std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Journal lines start with the time of the call ("2024-05-01T13:02:03.045Z "),
// which no test can predict.
std::vector<std::string> journal(const Site &site) {
  std::vector<std::string> lines = linesOf(readFile(site.journal));
  for (std::string &line : lines)
    line.erase(0, line.find(' ') + 1);
  return lines;
}

std::string debugLog(const Site &site) {
  return readFile(site.home + "/logs/admin/qzftconfig.log");
}

std::vector<std::string> ftCalls(const Site &site) {
  static const std::set<std::string> sessionCalls = {"getHostSession", "getFATServiceManager", "aqueryFacet",
                                                     "amodifyFacet",   "acontrolFacet",        "destroy"};
  std::vector<std::string> ft;
  for (const std::string &line : journal(site))
    if (!sessionCalls.count(line.substr(0, line.find(' '))))
      ft.push_back(line);
  return ft;
}

std::vector<std::string> logLines(const Site &site) {
  std::vector<std::string> lines;
  for (const std::string &line : linesOf(debugLog(site))) {
    // "date time [pid] [tid] level tag: text"
    std::istringstream fields(line);
    std::string date, time, pid, tid, level, tag;
    fields >> date >> time >> pid >> tid >> level >> tag;
    if (level == "2")
      continue;
    std::string text;
    std::getline(fields, text);
    if (!text.empty() && text[0] == ' ')
      text.erase(0, 1);
    lines.push_back(level + " " + text);
  }
  return lines;
}

std::string faultRules(std::initializer_list<std::string> rules) {
  std::string text;
  for (const std::string &rule : rules)
    text += (text.empty() ? "" : ", ") + rule;
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
