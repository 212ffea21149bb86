// The process: command line, start-up failures, what is published, stopping,
// surviving a kill, and serving several callers at once.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "qzsld_harness.h"

namespace {

const char *const USAGE =
    "usage: qzsld --port N [--db FILE] [--inventory FILE] [--faults FILE] [--journal FILE]\n"
    "             [--ready-file FILE] [--discovery-ms N] [--export FILE]\n"
    "             [--factory normal|missing|wrongtype] [--help]\n";

const char *const TWO_CLIENTS = R"({"clients": [{"fatClientInfo": {"hostName": "c1"}},
                                                {"fatClientInfo": {"hostName": "c2"}}]})";

double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TEST(CommandLine, HelpDescribesEveryOption) {
  Outcome run = runQzsld({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind(USAGE, 0), 0u) << run.out;
  for (const char *option : {"--port", "--db", "--inventory", "--export", "--faults", "--journal", "--ready-file",
                             "--discovery-ms", "--factory", "--help", "qzsld/INVENTORY.md", "TESSARK_HOME"})
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

struct BadLine {
  std::vector<std::string> args;
  const char *message;
};

class BadCommandLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadCommandLine, ShowsTheReasonAndTheUsageAndExits2) {
  Outcome run = runQzsld(GetParam().args);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, std::string("qzsld: ") + GetParam().message + "\n" + USAGE);
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadCommandLine,
    ::testing::Values(BadLine{{}, "--port is required"},
                      BadLine{{"--db", "x.db"}, "--port is required"},
                      BadLine{{"--port", "http"}, "--port needs a port number from 1 to 65535, not \"http\""},
                      BadLine{{"--port", "65536"}, "--port needs a port number from 1 to 65535, not \"65536\""},
                      BadLine{{"--port", "7390", "--discovery-ms", "-1"},
                              "--discovery-ms needs a number of milliseconds, not \"-1\""},
                      BadLine{{"--port", "7390", "--factory", "odd"}, "--factory must be normal, missing or wrongtype"},
                      BadLine{{"--port", "7390", "--verbose"}, "unknown option --verbose"},
                      BadLine{{"--port", "7390", "--db"}, "--db needs a value"},
                      BadLine{{"--port", "7390", "--journal", ""}, "--journal needs a value"}));

TEST(StartUp, FailuresExit1WithTheReason) {
  Outcome run = runQzsld({"--port", "7390", "--db", "/nonexistent/dir/q.db"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("qzsld: cannot open database /nonexistent/dir/q.db: ", 0), 0u) << run.err;
  std::string dir = tempDir();
  run = runQzsld({"--port", "7390", "--db", dir + "/db", "--journal", "/nonexistent/j.log"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("qzsld: cannot open journal /nonexistent/j.log: ", 0), 0u) << run.err;
  run = runQzsld({"--port", "7390", "--db", dir + "/db", "--inventory", dir + "/none.json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("none.json"), std::string::npos) << run.err;
}

TEST(StartUp, APortInUseExits1) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
  listen(fd, 1);
  std::string port = std::to_string(ntohs(address.sin_port)), dir = tempDir();
  Outcome run = runQzsld({"--port", port, "--db", dir + "/db", "--ready-file", dir + "/ready"});
  close(fd);
  EXPECT_EQ(run.status, 1);
  // omniORB's own account comes first.
  EXPECT_NE(run.err.find("\nqzsld: cannot serve on 127.0.0.1:" + port + ": INITIALIZE\n"), std::string::npos)
      << run.err;
  EXPECT_NE(access((dir + "/ready").c_str(), F_OK), 0);
}

TEST(StartUp, TheDatabaseDefaultsToTheInstallationRoot) {
  std::string home = tempDir();
  mkdir((home + "/var").c_str(), 0755);
  Outcome run = runQzsld({"--export", home + "/out.json"}, home);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(access((home + "/var/qzsld.db").c_str(), F_OK), 0);
  EXPECT_EQ(readText(home + "/out.json"), "{\n  \"servers\": [],\n  \"clients\": [],\n  \"usage\": [],\n  \"settings\": []\n}\n");
}

TEST(Serving, TheReadyFileHoldsThePid) {
  Qzsld service = startQzsld("");
  EXPECT_EQ(readText(service.readyFile), std::to_string(service.pid) + "\n");
  EXPECT_EQ(stopQzsld(service, SIGINT), 0);
}

TEST(Serving, MissingFactoryIsNoObject) {
  Qzsld service = startQzsld("", "", {"--factory", "missing"});
  std::string location = "corbaloc:iiop:1.2@127.0.0.1:" + std::to_string(service.port) + "/qzsl/HSFactory";
  CORBA::Object_var object = testOrb()->string_to_object(location.c_str());
  EXPECT_EQ(refusal([&] { object->_non_existent() ? throw CORBA::OBJECT_NOT_EXIST() : void(); }),
            "OBJECT_NOT_EXIST");
  EXPECT_EQ(refusal([&] { BT::HostSessionFactory_var f = BT::HostSessionFactory::_narrow(object); }),
            "OBJECT_NOT_EXIST");
  EXPECT_EQ(stopQzsld(service), 0);
}

TEST(Serving, WrongTypeFactoryDoesNotNarrow) {
  Qzsld service = startQzsld("", "", {"--factory", "wrongtype"});
  std::string location = "corbaloc:iiop:1.2@127.0.0.1:" + std::to_string(service.port) + "/qzsl/HSFactory";
  CORBA::Object_var object = testOrb()->string_to_object(location.c_str());
  EXPECT_FALSE(object->_non_existent());
  EXPECT_TRUE(object->_is_a("IDL:Brantis/LCE/Monitor:1.0"));
  BT::HostSessionFactory_var factory = BT::HostSessionFactory::_narrow(object);
  EXPECT_TRUE(CORBA::is_nil(factory));
  EXPECT_EQ(stopQzsld(service), 0);
}

// Five rescans at once overlap: each arrives before any of them ends.
TEST(Serving, DiscoveriesRunSideBySide) {
  Qzsld service = startQzsld(TWO_CLIENTS, "", {"--discovery-ms", "300"});
  std::vector<FT::FATServiceControlFacet_var> facets(5);
  for (auto &facet : facets)
    facet = controlOf(service);
  std::vector<double> begin(5), end(5);
  std::vector<std::string> outcome(5);
  std::vector<std::thread> threads;
  double start = seconds();
  for (int i = 0; i < 5; ++i)
    threads.emplace_back([&, i] {
      begin[i] = seconds();
      outcome[i] = refusal([&] { facets[i]->startClientDiscovery(i % 2 ? "c1" : "c2"); });
      end[i] = seconds();
    });
  for (std::thread &thread : threads)
    thread.join();
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(outcome[i], "none") << i;
  EXPECT_LT(*std::max_element(begin.begin(), begin.end()), *std::min_element(end.begin(), end.end()));
  std::vector<std::string> lines = journalLines(service);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string &l) { return l.rfind("startClientDiscovery ", 0) == 0; }),
            5);
  std::printf("five discoveries of 300 ms: %.3f s\n", seconds() - start);
  EXPECT_EQ(stopQzsld(service), 0);
}

TEST(Serving, SigtermEndsWaitingDiscoveriesAndExits0) {
  Qzsld service = startQzsld(TWO_CLIENTS, "", {"--discovery-ms", "60000"});
  FT::FATServiceControlFacet_var control = controlOf(service);
  std::string outcome;
  std::thread rescan([&] { outcome = refusal([&] { control->startClientDiscovery("c1"); }); });
  while (journalLines(service).back() != "startClientDiscovery \"c1\"")
    usleep(2000);
  EXPECT_EQ(stopQzsld(service, SIGTERM, 10), 0);
  rescan.join();
  // The reply or the closing connection, whichever the caller sees first.
  EXPECT_TRUE(outcome == "TRANSIENT" || outcome == "COMM_FAILURE") << outcome;
}

// Every change that was acknowledged before a SIGKILL is there after the restart.
TEST(Durability, AcknowledgedChangesSurviveAKill) {
  Qzsld service = startQzsld(TWO_CLIENTS);
  std::mutex lock;
  std::vector<std::string> acknowledged;
  std::atomic<bool> killed{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      // A slow thread may meet the kill before it has its facet.
      FT::FATServiceModifiableFacet_var modify;
      try {
        modify = modifyOf(service);
      } catch (const CORBA::Exception &) {
        return;
      }
      for (int i = 0; !killed; ++i) {
        std::string name = "burst-" + std::to_string(t) + "-" + std::to_string(i);
        try {
          CL::FATClientInfo_var added = modify->addClient(name.c_str());
          FT::FTConfigInfoSeq settings;
          settings.length(1);
          settings[0] = new OBV_FT::FTConfigInfo("FT_MAX_CLIENT_PORTS_PER_SERVER", name.c_str(), false);
          modify->updateFTConfigInfoSeq(name.c_str(), FT::QZSL_QZU_CLIENT, settings);
          std::lock_guard<std::mutex> guard(lock);
          acknowledged.push_back(name);
        } catch (const CORBA::Exception &) {
          return;
        }
      }
    });
  usleep(400000);
  killed = true;
  EXPECT_EQ(WTERMSIG(stopQzsld(service, SIGKILL)), SIGKILL);
  for (std::thread &writer : writers)
    writer.join();
  ASSERT_GT(acknowledged.size(), 10u);

  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open(service.db.c_str(), &db), SQLITE_OK);
  sqlite3_stmt *check = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ((const char *)sqlite3_column_text(check, 0), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);

  restartQzsld(service);
  FT::FATServiceQueryFacet_var query = queryOf(service);
  for (const std::string &name : acknowledged) {
    FT::SANClientInfo_var client = query->getSANClientInfo(name.c_str());
    ASSERT_NE(client.in(), nullptr) << name;
    FT::FTConfigInfoSeq keys;
    keys.length(1);
    keys[0] = new OBV_FT::FTConfigInfo("FT_MAX_CLIENT_PORTS_PER_SERVER", "", false);
    FT::FTConfigInfoSeq_var found = query->getFTConfigInfoSeq("", name.c_str(), FT::QZSL_QZU_CLIENT, keys);
    ASSERT_EQ(found->length(), 1u) << name;
    EXPECT_STREQ(found[0]->confValue(), name.c_str());
  }
  FT::SANClientInfo_var original = query->getSANClientInfo("c2");
  EXPECT_NE(original.in(), nullptr);
  std::printf("acknowledged before the kill: %zu changes\n", acknowledged.size() * 2);
  EXPECT_EQ(stopQzsld(service), 0);
}

}  // namespace
