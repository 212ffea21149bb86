// The qzsld process as its users meet it: start-up refusals, stopping, a kill
// in the middle of changes, and the refusals that no command of the tool
// provokes.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <iterator>
#include <sstream>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "stubs.h"

namespace {

struct StartCase {
  const char *name;
  std::string args;     // "@" stands for a fresh directory
  const char *file;     // written to @/in.json when not null
  int status;
  std::string message;  // the first line of stderr
  const char *conf = "";  // appended to @/qz.conf
};

void PrintTo(const StartCase &c, std::ostream *os) { *os << c.name; }

class StartUp : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartUp, IsRefusedWithTheReason) {
  SiteOptions options;
  options.startService = false;
  std::string home = startSite(options).home, line = GetParam().args + "\n" + GetParam().message;
  for (size_t at; (at = line.find('@')) != std::string::npos;)
    line.replace(at, 1, home);
  if (GetParam().file)
    writeFile(home + "/in.json", GetParam().file);
  writeFile(home + "/qz.conf", readFile(home + "/qz.conf") + GetParam().conf);
  std::istringstream words(line.substr(0, line.find('\n')));
  RunResult r = runService({std::istream_iterator<std::string>(words), {}}, home);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "qzsld: " + line.substr(line.find('\n') + 1)) << r.err;
  // Mistakes on the command line come with the usage.
  EXPECT_EQ(r.err.find("\nusage: qzsld [--port N] ") != std::string::npos, GetParam().status == 2) << r.err;
  EXPECT_EQ(r.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Qzsld, StartUp,
    ::testing::Values(
        StartCase{"PortNotANumber", "--port=7x9", nullptr, 2, "--port needs a port number from 1 to 65535, not \"7x9\""},
        StartCase{"StrayArgument", "--port 7390 7391", nullptr, 2, "unexpected argument 7391"},
        StartCase{"BadPortInConf", "--db @/db", nullptr, 1,
                  "@/qz.conf: QZSL_PORT must be a port number from 1 to 65535, not \"0x10\"", "qzsl_port = 0x10\n"},
        StartCase{"UnknownOption", "--port 7390 --verbose", nullptr, 2, "unknown option --verbose"},
        StartCase{"NoDatabase", "--port 7390 --db /nonexistent/dir/q.db", nullptr, 1,
                  "cannot open database /nonexistent/dir/q.db: unable to open database file"},
        StartCase{"NoJournal", "--port 7390 --db @/db --journal /nonexistent/j.log", nullptr, 1,
                  "cannot open journal /nonexistent/j.log: No such file or directory"},
        StartCase{"BadInventory", "--port 7390 --db @/db --inventory @/in.json",
                  R"({"servers": [{"hostName": "m", "hostname": "x"}]})", 1,
                  "@/in.json: servers[0]: unknown member \"hostname\""},
        StartCase{"BadFaultRule", "--port 7390 --db @/db --faults @/in.json",
                  R"({"rules": [{"op": "getFATServerLst"}]})", 1, "rules[0]: unknown operation \"getFATServerLst\""},
        StartCase{"FaultCallOutOfRange", "--port 7390 --db @/db --faults @/in.json",
                  R"({"rules": [{"op": "destroy", "call": 4294967297, "action": "hang"}]})", 1,
                  "rules[0]: \"call\" must fit in 32 bits"},
        StartCase{"FaultErrorCodeOutOfRange", "--port 7390 --db @/db --faults @/in.json",
                  R"({"rules": [{"op": "destroy", "action": "raise", "errors": [{"errorCode": 4294967301}]}]})",
                  1, "rules[0].errors[0]: \"errorCode\" must fit in 32 bits"}),
    [](const ::testing::TestParamInfo<StartCase> &info) { return std::string(info.param.name); });

// Without --port, qzsld serves where qz.conf sends the tool, and says so.
TEST(Listening, OnTheConfiguredPort) {
  SiteOptions options;
  options.portFromConf = true;
  Site site = startSite(options);
  SV::FATServerInfoSeq_var servers = queryOf(site)->getFATServerList("");
  EXPECT_EQ(servers->length(), 0u);
  EXPECT_EQ(readFile(site.home + "/qzsld.out"), "qzsld: listening on 127.0.0.1:" + std::to_string(site.port) + "\n");
  stopSite(site);
}

const char *const TWO_CLIENTS = R"({"clients": [{"fatClientInfo": {"hostName": "c1"}},
                                                {"fatClientInfo": {"hostName": "c2"}}]})";

// SIGTERM does not wait for a call that never ends: the caller loses the
// connection and qzsld exits 0.
TEST(Stopping, SigtermEndsQzsldWithACallInFlight) {
  SiteOptions options;
  options.inventory = TWO_CLIENTS;
  options.faults = faultRules({R"({"op": "getFATServerList", "action": "hang"})"});
  Site site = startSite(options);
  FT::FATServiceQueryFacet_var query = queryOf(site);
  std::string outcome;
  std::thread caller([&] { outcome = refusal([&] { SV::FATServerInfoSeq_var s = query->getFATServerList(""); }); });
  for (std::vector<std::string> lines; lines.empty() || lines.back() != "getFATServerList \"\""; lines = journal(site))
    usleep(2000);
  int status = signalSite(site, SIGTERM);
  caller.join();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(outcome == "TRANSIENT" || outcome == "COMM_FAILURE") << outcome;
}

FT::FTConfigInfoSeq settingsOf(const std::vector<std::string> &names) {
  FT::FTConfigInfoSeq settings;
  settings.length(names.size());
  for (size_t i = 0; i < names.size(); ++i)
    settings[i] = new OBV_FT::FTConfigInfo(names[i].c_str(), names[i].c_str(), true);
  return settings;
}

// Four writers add settings until qzsld is killed; every setting acknowledged
// before the SIGKILL is there after the restart.
TEST(Durability, AcknowledgedChangesSurviveAKill) {
  SiteOptions options;
  options.inventory = TWO_CLIENTS;
  Site site = startSite(options);
  std::mutex lock;
  std::vector<std::string> acknowledged;
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      try {
        FT::FATServiceModifiableFacet_var modify = modifyOf(site);
        for (int i = 0;; ++i) {
          std::string name = "K" + std::to_string(t) + "-" + std::to_string(i);
          modify->updateFTConfigInfoSeq("c1", FT::QZSL_QZU_CLIENT, settingsOf({name}));
          std::lock_guard<std::mutex> guard(lock);
          acknowledged.push_back(name);
        }
      } catch (const CORBA::Exception &) {
        // The kill, met at any point.
      }
    });
  usleep(400000);
  EXPECT_EQ(WTERMSIG(signalSite(site, SIGKILL)), SIGKILL);
  for (std::thread &writer : writers)
    writer.join();
  ASSERT_GT(acknowledged.size(), 10u);
  restartSite(site);
  FT::FATServiceQueryFacet_var query = queryOf(site);
  FT::FTConfigInfoSeq_var found = query->getFTConfigInfoSeq("c1", "c1", FT::QZSL_QZU_CLIENT, settingsOf(acknowledged));
  Json expected(sequenceToJson(settingsOf(acknowledged)));
  EXPECT_TRUE(sameJson(expected.get(), sequenceToJson(found.in())));
  stopSite(site);
}

const char *const SMALL_SITE = R"({
  "servers": [{"hostName": "media1", "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}},
              {"hostName": "media2"}],
  "clients": [{"fatClientInfo": {"hostName": "c1"}, "afatUsageInfo": {"usagePref": "Always"}}],
  "settings": [{"host": "m", "machineType": "QZSL_QZU_MASTER", "confName": "K", "confValue": "1"}]})";

// The command tests meet these refusals only as injected faults.
TEST(Refusals, QzsldsOwnCodes) {
  SiteOptions options;
  options.inventory = SMALL_SITE;
  Site site = startSite(options);
  FT::FATServiceModifiableFacet_var modify = modifyOf(site);
  FT::FATUsageInfo_var always = new OBV_FT::FATUsageInfo("Always", new OBV_FT::FATWaitPeriod(0, 0), true);
  FT::FATUsageInfo_var odd = new OBV_FT::FATUsageInfo("Sometimes", new OBV_FT::FATWaitPeriod(0, 0), true);
  FT::FTConfigInfoSeq unset;
  unset.length(1);
  unset[0] = new OBV_FT::FTConfigInfo("UNSET", "", false);
  const std::pair<std::function<void()>, const char *> cases[] = {
      {[&] { modify->setServerPipeLimit("media1", 9); },
       "225:connection limit 9 is out of range for FT server media1: the maximum is 8"},
      {[&] { modify->addUsageInfo("c1", FT::QZSL_QZU_CLIENT, always); },
       "228:an FT usage preference is already defined for host c1 (QZSL_QZU_CLIENT)"},
      {[&] { modify->setUsageInfo("c1", FT::QZSL_QZU_CLIENT, odd); },
       "229:\"Sometimes\" is not an FT usage preference (Preferred, Always, Never, FailIfNoFT)"},
      {[&] { modify->deleteFTConfigInfoSeq("m", FT::QZSL_QZU_MASTER, unset); },
       "230:none of the given FT settings is defined for host m (QZSL_QZU_MASTER)"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(refusal(c.first), c.second);
  stopSite(site);
}

}  // namespace
