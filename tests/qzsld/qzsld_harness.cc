#include "qzsld_harness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

std::string readText(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

static std::vector<std::string> &madeDirs() {
  static std::vector<std::string> dirs;
  return dirs;
}

std::string tempDir() {
  char pattern[] = "/tmp/qzsldtest.XXXXXX";
  if (!mkdtemp(pattern))
    abort();
  madeDirs().push_back(pattern);
  return pattern;
}

static int removeEntry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

// Removes the test directories when the whole run is over; QZSLD_KEEP keeps
// them for inspection.
struct RemoveDirs : ::testing::Environment {
  void TearDown() override {
    if (getenv("QZSLD_KEEP"))
      return;
    for (const std::string &dir : madeDirs())
      nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  }
};
static ::testing::Environment *const removeDirs = ::testing::AddGlobalTestEnvironment(new RemoveDirs);

static int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

static double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

static int waitFor(pid_t pid, double seconds) {
  double deadline = now() + seconds;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid)
      return status;
    if (done < 0 || now() > deadline)
      return -1;
    usleep(1000);
  }
}

static pid_t spawn(const std::vector<std::string> &args, const std::string &out, const std::string &err,
                   const std::string &home) {
  pid_t pid = fork();
  if (pid == 0) {
    int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    int errFd = err == out ? outFd : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (!home.empty())
      setenv("TESSARK_HOME", home.c_str(), 1);
    std::vector<std::string> all = {QZSLD_BIN};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all)
      argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

static void launch(Qzsld &service, std::vector<std::string> args) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::vector<std::string> all = {"--port",    std::to_string(service.port), "--db", service.db,
                                    "--journal", service.journal, "--ready-file", service.readyFile};
    all.insert(all.end(), args.begin(), args.end());
    unlink(service.readyFile.c_str());
    service.pid = spawn(all, service.output, service.output, "");
    double deadline = now() + 120;
    while (now() < deadline) {
      if (access(service.readyFile.c_str(), F_OK) == 0)
        return;
      if (waitFor(service.pid, 0) != -1)
        break;
      usleep(2000);
    }
    if (waitFor(service.pid, 0) == -1) {
      kill(service.pid, SIGKILL);
      waitFor(service.pid, 5);
    }
    service.pid = -1;
    service.port = freePort();
  }
  ADD_FAILURE() << "qzsld did not start:\n" << readText(service.output);
}

Qzsld startQzsld(const std::string &inventory, const std::string &faults,
                 const std::vector<std::string> &extra) {
  Qzsld service;
  service.dir = tempDir();
  service.db = service.dir + "/qzsld.db";
  service.journal = service.dir + "/journal.log";
  service.readyFile = service.dir + "/ready";
  service.output = service.dir + "/qzsld.out";
  service.port = freePort();
  std::vector<std::string> args = extra;
  if (!inventory.empty()) {
    writeText(service.dir + "/inventory.json", inventory);
    args.push_back("--inventory");
    args.push_back(service.dir + "/inventory.json");
  }
  if (!faults.empty()) {
    writeText(service.dir + "/faults.json", faults);
    args.push_back("--faults");
    args.push_back(service.dir + "/faults.json");
  }
  launch(service, args);
  return service;
}

void restartQzsld(Qzsld &service, const std::vector<std::string> &extra) {
  if (service.pid > 0)
    stopQzsld(service);
  launch(service, extra);
}

int stopQzsld(Qzsld &service, int signal, double seconds) {
  if (service.pid <= 0)
    return -1;
  kill(service.pid, signal);
  int status = waitFor(service.pid, seconds);
  if (status == -1) {
    kill(service.pid, SIGKILL);
    waitFor(service.pid, 5);
  }
  service.pid = -1;
  return status;
}

Outcome runQzsld(const std::vector<std::string> &args, const std::string &home) {
  std::string dir = tempDir();
  pid_t pid = spawn(args, dir + "/out", dir + "/err", home);
  int status = waitFor(pid, 60);
  if (status == -1) {
    kill(pid, SIGKILL);
    waitFor(pid, 5);
  }
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readText(dir + "/out"),
          readText(dir + "/err")};
  return run;
}

std::vector<std::string> journalLines(const Qzsld &service) {
  std::vector<std::string> lines;
  std::istringstream in(readText(service.journal));
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

void clearJournal(const Qzsld &service) { truncate(service.journal.c_str(), 0); }

CORBA::ORB_ptr testOrb() {
  static CORBA::ORB_ptr orb = [] {
    int argc = 5;
    const char *argv[] = {"qzsld_tests", "-ORBgiopMaxMsgSize", "268435456", "-ORBclientCallTimeOutPeriod",
                          "60000", nullptr};
    CORBA::ORB_ptr started = CORBA::ORB_init(argc, const_cast<char **>(argv));
    registerValueFactories(started);
    return started;
  }();
  return orb;
}

BT::HostSessionFactory_ptr factoryOf(const Qzsld &service) {
  std::string location = "corbaloc:iiop:1.2@127.0.0.1:" + std::to_string(service.port) + "/qzsl/HSFactory";
  CORBA::Object_var object = testOrb()->string_to_object(location.c_str());
  return BT::HostSessionFactory::_narrow(object);
}

BT::HostSession_ptr sessionOf(const Qzsld &service) {
  BT::HostSessionFactory_var factory = factoryOf(service);
  return factory->getHostSession("testhost", "C");
}

FT::FATServiceManager_ptr managerOf(const Qzsld &service) {
  BT::HostSession_var session = sessionOf(service);
  return session->getFATServiceManager();
}

FT::FATServiceQueryFacet_ptr queryOf(const Qzsld &service) {
  FT::FATServiceManager_var manager = managerOf(service);
  SL::QueryableFacet_var facet = manager->aqueryFacet();
  return FT::FATServiceQueryFacet::_narrow(facet);
}

FT::FATServiceModifiableFacet_ptr modifyOf(const Qzsld &service) {
  FT::FATServiceManager_var manager = managerOf(service);
  SL::ModifiableFacet_var facet = manager->amodifyFacet();
  return FT::FATServiceModifiableFacet::_narrow(facet);
}

FT::FATServiceControlFacet_ptr controlOf(const Qzsld &service) {
  FT::FATServiceManager_var manager = managerOf(service);
  SL::ControlFacet_var facet = manager->acontrolFacet();
  return FT::FATServiceControlFacet::_narrow(facet);
}

std::string utf8(const CORBA::WChar *wide) {
  std::string out;
  for (; wide && *wide; ++wide) {
    unsigned long c = (unsigned long)*wide;
    if (c >= 0xD800 && c < 0xDC00 && wide[1] >= 0xDC00 && wide[1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + ((unsigned long)*++wide - 0xDC00);
    if (c < 0x80) {
      out += (char)c;
    } else if (c < 0x800) {
      out += (char)(0xC0 | (c >> 6));
      out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += (char)(0xE0 | (c >> 12));
      out += (char)(0x80 | ((c >> 6) & 0x3F));
      out += (char)(0x80 | (c & 0x3F));
    } else {
      out += (char)(0xF0 | (c >> 18));
      out += (char)(0x80 | ((c >> 12) & 0x3F));
      out += (char)(0x80 | ((c >> 6) & 0x3F));
      out += (char)(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string errorsOf(const SL::QZSLOpException &e) {
  std::string text;
  for (CORBA::ULong i = 0; i < e.errRecSeq.length(); ++i)
    text += (i ? "|" : "") + std::to_string(e.errRecSeq[i].errorCode) + ":" +
            utf8(e.errRecSeq[i].localizedMsg);
  return text;
}

Json parseJson(const std::string &text) {
  json_error_t error;
  Json json(json_loads(text.c_str(), JSON_DECODE_ANY, &error));
  if (!json)
    ADD_FAILURE() << "bad JSON in the test: " << error.text << " at line " << error.line;
  return json;
}
