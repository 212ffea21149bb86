// "-rescanclient" and "-rescanallclients", one row per case: the requests
// made, the results and time-outs reported, the summary and the run status.
// The six-minute time-outs run under libfaketime a hundred times faster;
// qzsld itself keeps the real pace.
#include "changes_site.h"

#include <filesystem>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "qzsld/errors.h"

namespace {

// A row names what it sets; by default qzsld answers at once, on the real clock.
struct Rescan {
  const char *name;
  int clients;         // SAN clients c1 .. c<clients> of master1
  std::string faults;  // fault rules ("" = none)
  Lines args;
  std::string out;
  Lines calls;         // the FT calls, in any order: the workers race ({} = not checked)
  std::string err = "";
  int status = STATUS_OK;
  Lines logged = {};         // debug-log lines that must be there
  int discoveryMs = 0;       // how long qzsld takes over each discovery
  bool faultWorker = false;  // SIGSEGV to the worker of c1 during its request
  bool fast = false;         // the tool's clock runs a hundred times faster ...
  std::string conf = "";     // ... with these qz.conf time-outs
};

void PrintTo(const Rescan &row, std::ostream *os) { *os << row.name; }
using RescanTest = SiteTest<Rescan>;

// An inventory of SAN clients c1 .. c<count> of master1.
std::string clientsInventory(int count) {
  std::string text = R"({"clients": [)";
  for (int i = 1; i <= count; ++i)
    text += std::string(i > 1 ? ", " : "") + R"({"fatClientInfo": {"hostName": "c)" + std::to_string(i) +
            R"(", "masterServerName": "master1", "state": 1}})";
  return text + "]}";
}

// Once the worker of c1 is inside its request, signals it with SIGSEGV: the
// tool is this process's child other than qzsld, and its newest thread is
// the worker.
void faultTheWorker(const Site &site) {
  for (int tries = 0; tries < 3000; ++tries, usleep(10000)) {
    Lines calls = journal(site);
    if (std::find(calls.begin(), calls.end(), "startClientDiscovery \"c1\"") == calls.end()) continue;
    for (const auto &process : std::filesystem::directory_iterator("/proc")) {
      int pid = atoi(process.path().filename().c_str()), parent = 0;
      if (pid <= 0 || pid == site.pid) continue;
      std::string stat = readFile(process.path() / "stat");
      if (sscanf(stat.c_str() + stat.rfind(')') + 1, " %*c %d", &parent) != 1 || parent != getpid()) continue;
      int worker = 0;
      for (const auto &task : std::filesystem::directory_iterator(process.path() / "task"))
        worker = std::max(worker, atoi(task.path().filename().c_str()));
      syscall(SYS_tgkill, pid, worker, SIGSEGV);
      return;
    }
  }
  ADD_FAILURE() << "no worker to signal";
}

TEST_P(RescanTest, LeavesExactlyWhatTheRowSays) {
  const Rescan &c = GetParam();
  SiteOptions options;
  options.inventory = clientsInventory(c.clients);
  options.faults = c.faults;
  options.qzsldArgs = {"--discovery-ms", std::to_string(c.discoveryMs)};
  options.confExtra = c.conf;
  site = startSite(options);
  std::thread signaller;
  if (c.faultWorker) signaller = std::thread(faultTheWorker, std::cref(site));
  RunResult r = runTool(site, c.args, c.fast ? fastClock() : Lines{});
  if (signaller.joinable()) signaller.join();
  expectRun(r, c.out, c.err, c.status);
  if (!c.calls.empty()) { EXPECT_EQ(sorted(ftCalls(site)), sorted(c.calls)); }
  expectLogged(site, c.logged);
}

// `row` on the fast clock, by default with call time-outs far beyond the rescan time-outs.
Rescan faster(Rescan row, const std::string &conf = "CONNECT_TIMEOUT = 1000000\nREQUEST_TIMEOUT = 1000000\n") {
  row.fast = true; row.conf = conf;
  return row;
}
std::string summary(int total, int requested) {
  return "\nOf a total of " + std::to_string(total) + " clients, a rescan was successfully requested for " +
         std::to_string(requested) + "\n\n";
}
std::string result(const char *client, int status) {
  return std::string("Rescan result status for client ") + client + " = " + std::to_string(status);
}
std::string discovery(const std::string &client) { return "startClientDiscovery \"" + client + "\""; }
const char *const LIST = R"(getSANClientList "master1" "")";
// The list, and a request for each of c1 .. c<count>.
Lines requests(int count) {
  Lines calls = {LIST};
  for (int i = 1; i <= count; ++i) calls.push_back(discovery("c" + std::to_string(i)));
  return calls;
}
std::string hang(const std::string &client) {
  return R"({"op": "startClientDiscovery", "arg": ")" + client + R"(", "action": "hang"})";
}
std::string waiting(int times, const std::string &clients) {
  std::string text;
  while (times-- > 0) text += "\nWaiting for the following clients:\n" + clients;
  return text;
}

const char *const RESCANNED = "SAN client rescan is successful\n\n";
const char *const TIMED_OUT = "\nRescan for the following clients failed (timed out):\n";

INSTANTIATE_TEST_SUITE_P(
    Rescans, RescanTest,
    ::testing::Values(
        Rescan{"One", 3, "", {"-rescanclient", "c1"}, RESCANNED, {discovery("c1")}, "", STATUS_OK,
               {logged(LOG_INFO, "SAN client rescan is successful:c1")}},
        Rescan{"OneRefused", 3, "", {"-rescanclient", "nosuch"}, "", {discovery("nosuch")},
               refusalText("Failed to rescan the SAN client : nosuch", "SAN client nosuch is not known to the FT service",
                           UNKNOWN_CLIENT),
               UNKNOWN_CLIENT, {logged(LOG_ERROR, "Failed to rescan the SAN client:nosuch")}},
        // Each request takes more than half the time-out: the launch wait starts
        // afresh whenever an entry comes free, so the third round still starts.
        faster({"TwelveSlowButSteady", 12, "", {"-rescanallclients"}, summary(12, 12), requests(12), "", STATUS_OK, {},
                2500}),
        // The entry of the refused c2 is the first to come free and is taken
        // for c6: its result is collected before the entry is reused.
        Rescan{"SevenOneRefusedEarly", 7,
               faultRules({refusalRule("startClientDiscovery", CODE_DISCOVERY_FAILED, "discovery failed", "c2")}),
               {"-rescanallclients"}, summary(7, 6), requests(7), result("c2", CODE_DISCOVERY_FAILED) + "\n", CODE_DISCOVERY_FAILED,
               {logged(LOG_ERROR, result("c2", CODE_DISCOVERY_FAILED))}, 1500},
        // A worker that caught a segmentation fault during a request that succeeded.
        Rescan{"WorkerFaulted", 1, "", {"-rescanallclients"}, summary(1, 0), requests(1),
               result("c1", STATUS_RESCAN_FAULTED) + "\n", STATUS_RESCAN_FAULTED,
               {logged(LOG_ERROR, result("c1", STATUS_RESCAN_FAULTED))}, 3000, true},
        Rescan{"OneVerbose", 1, "", {"-ra", "-verbose"}, summary(1, 1), requests(1),
               "Request rescan for client : c1\n" + result("c1", STATUS_OK) + "\n"},
        // The clients still running are listed every ten seconds from the fortieth on.
        faster({"WaitingListedWithVerbose", 1, faultRules({hang("c1")}), {"-ra", "-verbose"}, summary(1, 0), requests(1),
                "Request rescan for client : c1\n" + waiting(32, "c1\n") + TIMED_OUT + "c1\n", STATUS_RESCAN_TIMED_OUT,
                {logged(LOG_INFO, "Waiting for the following clients:"),
                 logged(LOG_ERROR, "Rescan for the following clients failed (timed out):")}}),
        // A refusal collected before the time-out decides the run status.
        faster({"RefusalBeforeTimeOut", 3,
                faultRules({refusalRule("startClientDiscovery", CODE_DISCOVERY_FAILED, "discovery failed", "c1"), hang("c3")}),
                {"-rescanallclients"}, summary(3, 1), requests(3),
                result("c1", CODE_DISCOVERY_FAILED) + "\n" + TIMED_OUT + "c3\n", CODE_DISCOVERY_FAILED}),
        // Five requests that never end hold every entry: the clients still
        // waiting are given up, and the five are timed out at once.
        faster({"FiveNeverAnswerWhileMoreWait", 7, faultRules({hang("c1"), hang("c2"), hang("c3"), hang("c4"), hang("c5")}),
                {"-rescanallclients"}, summary(7, 0), requests(5),
                "\nRescan for the following clients was not attempted:\nc6\nc7\n" + std::string(TIMED_OUT) +
                    "c1\nc2\nc3\nc4\nc5\n", STATUS_RESCAN_TIMED_OUT,
                {logged(LOG_ERROR, "Rescan for the following clients was not attempted:"), logged(LOG_ERROR, "c7")}}),
        Rescan{"ClientListRefused", 3, faultRules({refusalRule("getSANClientList", CODE_UNREADABLE, "list unavailable")}),
               {"-rescanallclients"}, "", {LIST},
               refusalText("Failed to get SAN client details", "list unavailable", CODE_UNREADABLE), CODE_UNREADABLE,
               {logged(LOG_ERROR, "Failed to get SAN client details:")}},
        Rescan{"NoClients", 0, "", {"-rescanallclients"}, "No SAN clients found\n\n", {LIST}},
        // Elements without client information are passed over.
        Rescan{"ListWithNullElements", 3, faultRules({replyRule("getSANClientList", R"([{"fatClientInfo": {"hostName": "c1"}}, null,
                                      {"fatClientInfo": null}, {"fatClientInfo": {"hostName": "c3"}}])")}),
               {"-rescanallclients"}, summary(2, 2), {LIST, discovery("c1"), discovery("c3")}},
        // Workers failing side by side: the first one ends the run, once.
        Rescan{"EveryRequestFails", 12,
               faultRules({R"({"op": "startClientDiscovery", "action": "system", "exception": "COMM_FAILURE"})"}),
               {"-rescanallclients"}, "", {}, CORBA_FAILURE, STATUS_INTERNAL},
        Rescan{"EveryControlFacetRefused", 12, faultRules({refusalRule("acontrolFacet", CODE_NO_CONTROL, "control refused")}),
               {"-rescanallclients"}, "", {LIST},
               refusalText("Failed to get ControlFacet instance", "control refused", CODE_NO_CONTROL), CODE_NO_CONTROL},
        // A refusal without an error record is a failure of its own.
        Rescan{"RefusalWithoutRecord", 2,
               faultRules({R"({"op": "startClientDiscovery", "arg": "c2", "action": "raise", "errors": []})"}),
               {"-rescanallclients"}, summary(2, 1), requests(2), result("c2", STATUS_INTERNAL) + "\n", STATUS_INTERNAL},
        // The requests reach the ORB's call time-out together (on a busy
        // machine the fifth may not have left yet: calls not checked).
        faster({"AllTimeOutTogether", 12, faultRules({R"({"op": "startClientDiscovery", "action": "hang"})"}),
                {"-rescanallclients"}, "", {}, CORBA_FAILURE, STATUS_INTERNAL}, "CONNECT_TIMEOUT = 100\n")),
    rowName<Rescan>);

}  // namespace
