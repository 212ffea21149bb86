// "-rescanclient" and "-rescanallclients": the requests made, the results and
// time-outs reported, the summary and the run status. The time-outs of six
// minutes run under libfaketime a hundred times faster; the service itself
// runs at the real pace.
#include "changes_site.h"

#include <algorithm>
#include <cstdlib>

namespace {

using Lines = std::vector<std::string>;

// Call time-outs far beyond the rescan time-outs, also at a hundred times the
// pace of the clock.
const char *const LONG_TIMEOUTS = "CONNECT_TIMEOUT = 1000000\nREQUEST_TIMEOUT = 1000000\n";

std::string summary(int total, int requested) {
  return "\nOf a total of " + std::to_string(total) +
         " clients, a rescan was successfully requested for " + std::to_string(requested) + "\n\n";
}

std::string hang(const std::string &client) {
  return R"({"op": "startClientDiscovery", "arg": ")" + client + R"(", "action": "hang"})";
}

Lines lines(const std::string &text) {
  Lines all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  return all;
}

Lines sorted(Lines all) {
  std::sort(all.begin(), all.end());
  return all;
}

struct RescanTest : ChangesTest {
  void startRescans(const std::string &faults, const std::string &inventory, int discoveryMs) {
    start(faults, inventory, {"--discovery-ms", std::to_string(discoveryMs)}, LONG_TIMEOUTS);
  }
  // A run with a clock a hundred times faster.
  RunResult fast(const std::vector<std::string> &args) {
    std::vector<std::string> env = {"LD_PRELOAD=" QZ_LIBFAKETIME, "FAKETIME=+0 x100"};
    // libfaketime's own condition-variable wrappers hide omniORB's waits from
    // a ThreadSanitizer build; the suppressions cover those.
    const char *tsan = getenv("TSAN_OPTIONS");
    std::string options = tsan ? tsan : "";
    if (options.find("suppressions=") == std::string::npos)
      options += " suppressions=" QZ_TSAN_SUPPRESSIONS;
    env.push_back("TSAN_OPTIONS=" + options);
    return runTool(site, args, env);
  }
  // The clients that discovery was requested for, sorted.
  Lines discovered() {
    Lines clients;
    for (const std::string &line : calls())
      if (line.rfind("startClientDiscovery ", 0) == 0) clients.push_back(line.substr(21));
    return sorted(clients);
  }
};

Lines quoted(std::initializer_list<const char *> clients) {
  Lines all;
  for (const char *client : clients) all.push_back(std::string("\"") + client + "\"");
  return sorted(all);
}

TEST_F(RescanTest, OneClient) {
  start();
  RunResult r = run({"-rescanclient", "c1"});
  EXPECT_EQ(r.out, "SAN client rescan is successful\n\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(startClientDiscovery "c1")"}));
  EXPECT_TRUE(logged("4 SAN client rescan is successful:c1"));

  clearJournal(site);
  r = run({"-rc", "-C", "c2", "-verbose"});
  EXPECT_EQ(r.out, "SAN client rescan is successful\n\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(startClientDiscovery "c2")"}));
}

TEST_F(RescanTest, OneClientRefused) {
  start();
  RunResult r = run({"-rescanclient", "nosuch"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to rescan the SAN client : nosuch",
                               "SAN client nosuch is not known to the FT service", 222));
  EXPECT_EQ(r.status, 222);
  EXPECT_TRUE(logged("16 Failed to rescan the SAN client:nosuch"));
}

TEST_F(RescanTest, ThreeClients) {
  start();
  RunResult r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, summary(3, 3));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls().front(), R"(getSANClientList "master1" "")");
  EXPECT_EQ(discovered(), quoted({"c1", "c2", "c3"}));
  EXPECT_EQ(count("acontrolFacet"), 3);
  EXPECT_TRUE(logged("4 Request rescan for client : c2"));
}

// The requests go out in list order; all three finish between two
// one-second polls and are collected in table order.
TEST_F(RescanTest, ThreeClientsVerbose) {
  start("", CHANGES_INVENTORY, {"--discovery-ms", "1500"});
  RunResult r = run({"-ra", "-verbose"});
  EXPECT_EQ(r.out, summary(3, 3));
  EXPECT_EQ(r.err,
            "Request rescan for client : c1\n"
            "Request rescan for client : c2\n"
            "Request rescan for client : c3\n"
            "Rescan result status for client c1 = 0\n"
            "Rescan result status for client c2 = 0\n"
            "Rescan result status for client c3 = 0\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(logged("4 Rescan result status for client c3 = 0"));
}

// Twelve clients share the five entries: each is requested exactly once and
// each entry fetches its control facet once.
TEST_F(RescanTest, TwelveClients) {
  startRescans("", clientsInventory(12), 50);
  RunResult r = fast({"-rescanallclients", "-verbose"});
  EXPECT_EQ(r.out, summary(12, 12));
  EXPECT_EQ(r.status, 0);
  Lines requests, results;
  for (const std::string &line : lines(r.err)) {
    if (line.rfind("Request rescan for client : ", 0) == 0)
      requests.push_back(line.substr(28));
    else if (line.rfind("Rescan result status for client ", 0) == 0)
      results.push_back(line.substr(32));
    else
      ADD_FAILURE() << "unexpected: " << line;
  }
  EXPECT_EQ(requests, (Lines{"c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8", "c9", "c10", "c11", "c12"}));
  EXPECT_EQ(sorted(results), sorted({"c1 = 0", "c2 = 0", "c3 = 0", "c4 = 0", "c5 = 0", "c6 = 0",
                                     "c7 = 0", "c8 = 0", "c9 = 0", "c10 = 0", "c11 = 0", "c12 = 0"}));
  EXPECT_EQ(discovered(), quoted({"c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8", "c9", "c10", "c11", "c12"}));
  EXPECT_EQ(count("acontrolFacet"), 5);
  EXPECT_EQ(count("getSANClientList"), 1);
}

TEST_F(RescanTest, OneRefusal) {
  start(faultRules({refusal("startClientDiscovery", 25, "discovery failed", "c2")}));
  RunResult r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, summary(3, 2));
  EXPECT_EQ(r.err, "Rescan result status for client c2 = 25\n");
  EXPECT_EQ(r.status, 25);
  EXPECT_EQ(discovered(), quoted({"c1", "c2", "c3"}));
  EXPECT_TRUE(logged("16 Rescan result status for client c2 = 25"));
}

TEST_F(RescanTest, OneClientNeverAnswers) {
  startRescans(faultRules({hang("c2")}), CHANGES_INVENTORY, 0);
  RunResult r = fast({"-rescanallclients"});
  EXPECT_EQ(r.out, summary(3, 2));
  EXPECT_EQ(r.err, "\nRescan for the following clients failed (timed out):\nc2\n");
  EXPECT_EQ(r.status, 47);
  EXPECT_EQ(discovered(), quoted({"c1", "c2", "c3"}));
  EXPECT_TRUE(logged("16 Rescan for the following clients failed (timed out):"));
  EXPECT_TRUE(logged("16 c2"));
}

// The waiting clients are listed every ten seconds from the fortieth on.
TEST_F(RescanTest, WaitingClientsWithVerbose) {
  startRescans(faultRules({hang("c2")}), CHANGES_INVENTORY, 0);
  RunResult r = fast({"-rescanallclients", "-verbose"});
  EXPECT_EQ(r.status, 47);
  EXPECT_EQ(r.out, summary(3, 2));
  size_t firstList = r.err.find("\nWaiting for the following clients:\n");
  ASSERT_NE(firstList, std::string::npos) << r.err;
  std::string waiting;
  for (int second = 40; second < 360; second += 10)
    waiting += "\nWaiting for the following clients:\nc2\n";
  EXPECT_EQ(r.err.substr(firstList),
            waiting + "\nRescan for the following clients failed (timed out):\nc2\n");
  // Before that: the requests in list order, and the two results as they
  // came (c1 may even finish before c3 is requested).
  Lines requests, results;
  for (const std::string &line : lines(r.err.substr(0, firstList)))
    (line.rfind("Request ", 0) == 0 ? requests : results).push_back(line);
  EXPECT_EQ(requests, (Lines{"Request rescan for client : c1", "Request rescan for client : c2",
                             "Request rescan for client : c3"}));
  EXPECT_EQ(sorted(results), (Lines{"Rescan result status for client c1 = 0",
                                    "Rescan result status for client c3 = 0"}));
}

// A refusal collected before the time-out decides the run status.
TEST_F(RescanTest, RefusalBeforeTimeOut) {
  startRescans(faultRules({refusal("startClientDiscovery", 25, "discovery failed", "c1"), hang("c3")}),
               CHANGES_INVENTORY, 0);
  RunResult r = fast({"-rescanallclients"});
  EXPECT_EQ(r.err,
            "Rescan result status for client c1 = 25\n"
            "\nRescan for the following clients failed (timed out):\nc3\n");
  EXPECT_EQ(r.out, summary(3, 1));
  EXPECT_EQ(r.status, 25);
}

// Five requests that never end hold every entry: the clients still waiting
// are given up after six minutes, and the five are timed out at once.
TEST_F(RescanTest, FiveNeverAnswerWhileMoreWait) {
  startRescans(faultRules({hang("c1"), hang("c2"), hang("c3"), hang("c4"), hang("c5")}),
               clientsInventory(7), 0);
  RunResult r = fast({"-rescanallclients"});
  EXPECT_EQ(r.err,
            "\nRescan for the following clients was not attempted:\nc6\nc7\n"
            "\nRescan for the following clients failed (timed out):\nc1\nc2\nc3\nc4\nc5\n");
  EXPECT_EQ(r.out, summary(7, 0));
  EXPECT_EQ(r.status, 47);
  EXPECT_EQ(discovered(), quoted({"c1", "c2", "c3", "c4", "c5"}));
  EXPECT_TRUE(logged("16 Rescan for the following clients was not attempted:"));
  EXPECT_TRUE(logged("16 c7"));
}

// Each request takes more than half the time-out; the launch wait starts
// afresh whenever an entry comes free, so the third round still starts.
TEST_F(RescanTest, SlowButSteadyRunNeverGivesUp) {
  startRescans("", clientsInventory(12), 2500);
  RunResult r = fast({"-rescanallclients"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, summary(12, 12));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(discovered().size(), 12u);
}

TEST_F(RescanTest, ClientListRefused) {
  start(faultRules({refusal("getSANClientList", 31, "list unavailable")}));
  RunResult r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to get SAN client details", "list unavailable", 31));
  EXPECT_EQ(r.status, 31);
  EXPECT_EQ(count("startClientDiscovery"), 0);
}

TEST_F(RescanTest, NoClients) {
  start("", R"({"servers": [{"hostName": "media1"}]})");
  RunResult r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, "No SAN clients found\n\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

// Elements without client information are passed over.
TEST_F(RescanTest, ListWithNullElements) {
  start(faultRules({R"({"op": "getSANClientList", "call": 1, "action": "reply", "result": [
                          null, {"fatClientInfo": null}]})",
                    R"({"op": "getSANClientList", "call": 2, "action": "reply", "result": [
                          {"fatClientInfo": {"hostName": "c1"}}, null, {"fatClientInfo": null},
                          {"fatClientInfo": {"hostName": "c3"}}]})"}));
  RunResult r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, summary(0, 0));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, summary(2, 2));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(discovered(), quoted({"c1", "c3"}));
}

// A transport failure inside a worker ends the whole run.
TEST_F(RescanTest, TransportFailureInAWorker) {
  start(faultRules({R"({"op": "startClientDiscovery", "arg": "c2", "action": "system", "exception": "INTERNAL"})"}),
        CHANGES_INVENTORY, {"--discovery-ms", "3000"});
  RunResult r = run({"-rescanallclients"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Got Corba Exception, see log for details\n\n");
  EXPECT_EQ(r.status, 130);
}

}  // namespace
