// The qzsld process as its users meet it: start-up refusals, stopping, a kill
// in the middle of changes, and the refusals that no command of the tool
// provokes, through the omniORB stubs of the remote contract.

#include <algorithm>
#include <codecvt>
#include <iterator>
#include <locale>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "errors.h"
#include "recordjson.h"
#include "tests/harness.h"

namespace SL = Corvane::Tessark::SL;
namespace BT = Brantis::Tessark;

namespace {

// The test process's ORB, with every value factory registered.
CORBA::ORB_ptr testOrb() {
  static CORBA::ORB_ptr orb = [] {
    int argc = 1;
    const char *argv[] = {"qzsld_tests", nullptr};
    CORBA::ORB_ptr started = CORBA::ORB_init(argc, const_cast<char **>(argv));
    registerValueFactories(started);
    return started;
  }();
  return orb;
}

FT::FATServiceManager_ptr managerOf(const Site &site) {
  std::string location = "corbaloc:iiop:1.2@127.0.0.1:" + std::to_string(site.port) + "/qzsl/HSFactory";
  CORBA::Object_var object = testOrb()->string_to_object(location.c_str());
  BT::HostSession_var session = BT::HostSessionFactory::_narrow(object)->getHostSession("testhost", "C");
  return session->getFATServiceManager();
}

FT::FATServiceQueryFacet_ptr queryOf(const Site &site) {
  return FT::FATServiceQueryFacet::_narrow(SL::QueryableFacet_var(FT::FATServiceManager_var(managerOf(site))->aqueryFacet()));
}
FT::FATServiceModifiableFacet_ptr modifyOf(const Site &site) {
  return FT::FATServiceModifiableFacet::_narrow(
      SL::ModifiableFacet_var(FT::FATServiceManager_var(managerOf(site))->amodifyFacet()));
}

// A wide text (UTF-16 units, surrogate pairs combined) as UTF-8.
std::string utf8(const CORBA::WChar *wide) {
  std::u16string units(wide, wide + std::char_traits<CORBA::WChar>::length(wide));
  return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>().to_bytes(units);
}

// The refusal a call ends with: "code:message" of each error record, the
// name of another CORBA exception, or "none".
std::string refusal(const std::function<void()> &call) {
  try {
    call();
  } catch (const SL::QZSLOpException &e) {
    std::string text;
    for (CORBA::ULong i = 0; i < e.errRecSeq.length(); ++i)
      text += (i ? "|" : "") + std::to_string(e.errRecSeq[i].errorCode) + ":" + utf8(e.errRecSeq[i].localizedMsg);
    return text;
  } catch (const CORBA::Exception &e) {
    return e._name();
  }
  return "none";
}

// How qzsld ends a start that it refuses.
enum { START_REFUSED = 1, BAD_COMMAND_LINE = 2 };

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
  std::string home = startSite(options).dir, line = GetParam().args + "\n" + GetParam().message;
  for (size_t at; (at = line.find('@')) != std::string::npos;) line.replace(at, 1, home);
  if (GetParam().file) writeFile(home + "/in.json", GetParam().file);
  writeFile(home + "/qz.conf", readFile(home + "/qz.conf") + GetParam().conf);
  std::istringstream words(line.substr(0, line.find('\n')));
  RunResult r = runService({std::istream_iterator<std::string>(words), {}}, home);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "qzsld: " + line.substr(line.find('\n') + 1)) << r.err;
  // Mistakes on the command line come with the usage.
  EXPECT_EQ(r.err.find("\nusage: qzsld [--port N] ") != std::string::npos, GetParam().status == BAD_COMMAND_LINE)
      << r.err;
  EXPECT_EQ(r.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Qzsld, StartUp,
    ::testing::Values(
        StartCase{"PortNotANumber", "--port=7x9", nullptr, BAD_COMMAND_LINE,
                  "--port needs a port number from 1 to 65535, not \"7x9\""},
        StartCase{"BadPortInConf", "--db @/db", nullptr, START_REFUSED,
                  "@/qz.conf line 4: bad value \"0x10\" for qzsl_port", "qzsl_port = 0x10\n"},
        StartCase{"NoDatabase", "--port 7390 --db /nonexistent/dir/q.db", nullptr, START_REFUSED,
                  "cannot open database /nonexistent/dir/q.db: unable to open database file"},
        StartCase{"BadInventory", "--port 7390 --db @/db --inventory @/in.json",
                  R"({"servers": [{"hostName": "m", "hostname": "x"}]})", START_REFUSED,
                  "@/in.json: servers[0]: unknown member \"hostname\""},
        StartCase{"BadFaultRule", "--port 7390 --db @/db --faults @/in.json",
                  R"({"rules": [{"op": "getFATServerLst"}]})", START_REFUSED,
                  "rules[0]: unknown operation \"getFATServerLst\""},
        StartCase{"FaultCallOutOfRange", "--port 7390 --db @/db --faults @/in.json",
                  R"({"rules": [{"op": "destroy", "call": 4294967297, "action": "hang"}]})", START_REFUSED,
                  "rules[0]: \"call\" must fit in 32 bits"},
        StartCase{"FaultErrorCodeOutOfRange", "--port 7390 --db @/db --faults @/in.json",
                  R"({"rules": [{"op": "destroy", "action": "raise", "errors": [{"errorCode": 4294967301}]}]})",
                  START_REFUSED, "rules[0].errors[0]: \"errorCode\" must fit in 32 bits"},
        StartCase{"UnknownAdminGroupInConf", "--db @/db", nullptr, START_REFUSED,
                  "no group qz-none for the administrators", "QZSL_ADMIN_GROUP = qz-none\n"},
        StartCase{"UnknownAdminGroupOption", "--db @/db --admin-group qz-none2", nullptr, START_REFUSED,
                  "no group qz-none2 for the administrators", "QZSL_ADMIN_GROUP = nogroup\n"}),
    rowName<StartCase>);

// An operator reading --help finds the options of a running service first;
// those that only make a service misbehave for tests stand apart after them.
TEST(Help, OperatorOptionsFirstTestingOptionsUnderTheirOwnHeading) {
  RunResult r = runService({"--help"});
  EXPECT_EQ(r.err + "status " + std::to_string(r.status), "status 0");
  EXPECT_EQ(r.out.rfind("usage: qzsld [--port N] ", 0), 0u) << r.out;
  const size_t help = r.out.find("\nOptions:\n"), testing = r.out.find("\nTesting options ");
  ASSERT_LT(help, testing) << r.out;
  for (const auto &[options, forTests] : std::vector<std::pair<std::vector<std::string>, bool>>{
           {{"--port N", "--db FILE", "--inventory FILE", "--export FILE", "--journal FILE", "--ready-file FILE",
             "-h, --help", "-V, --version"}, false},
           {{"--faults FILE", "--factory MODE", "--discovery-ms N"}, true}})
    for (const std::string &option : options) {
      const size_t at = r.out.find("\n  " + option + " ");
      EXPECT_TRUE(at != std::string::npos && at > help && (at > testing) == forTests) << option;
    }
}

const char *const TWO_CLIENTS = R"({"clients": [{"fatClientInfo": {"hostName": "c1"}},
                                                {"fatClientInfo": {"hostName": "c2"}}]})";

// Without --port, qzsld serves where qz.conf sends the tool, and says so; a
// site without an inventory is served empty, with the command that imports one.
TEST(Listening, OnTheConfiguredPort) {
  SiteOptions options;
  options.portFromConf = true;
  Site site = startSite(options);
  SV::FATServerInfoSeq_var servers = queryOf(site)->getFATServerList("");
  EXPECT_EQ(servers->length(), 0u);
  std::string db = site.path("var/qzsld.db");
  EXPECT_EQ(readFile(site.path("qzsld.out")),
            "qzsld: the inventory in " + db + " is empty; import one, with the service stopped, by: qzsld --db " + db +
                " --inventory FILE --export /dev/null\nqzsld: listening on 127.0.0.1:" + std::to_string(site.port) +
                "\n");
  struct stat status;
  ASSERT_EQ(stat(db.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);  // the service account's alone
  stopSite(site);
  // The command shown imports, and then the hint is gone.
  writeFile(site.path("in.json"), TWO_CLIENTS);
  ASSERT_EQ(runService({"--db", db, "--inventory", site.path("in.json"), "--export", "/dev/null"}, site.dir).status, 0);
  writeFile(site.path("qzsld.out"), "");
  restartSite(site);
  EXPECT_EQ(readFile(site.path("qzsld.out")), "qzsld: listening on 127.0.0.1:" + std::to_string(site.port) + "\n");
  stopSite(site);
}

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
  for (size_t i = 0; i < names.size(); ++i) settings[i] = new OBV_FT::FTConfigInfo(names[i].c_str(), names[i].c_str(), true);
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
  for (std::thread &writer : writers) writer.join();
  ASSERT_GT(acknowledged.size(), 10u);
  restartSite(site);
  FT::FATServiceQueryFacet_var query = queryOf(site);
  FT::FTConfigInfoSeq_var found = query->getFTConfigInfoSeq("c1", "c1", FT::QZSL_QZU_CLIENT, settingsOf(acknowledged));
  std::vector<std::string> kept;
  for (CORBA::ULong i = 0; i < found->length(); ++i)
    if (std::string(found[i]->confName()) == found[i]->confValue()) kept.push_back(found[i]->confName());
  for (std::vector<std::string> *names : {&acknowledged, &kept}) std::sort(names->begin(), names->end());
  EXPECT_EQ(kept, acknowledged);
  stopSite(site);
}

const char *const SMALL_SITE = R"({"servers": [{"hostName": "media1", "config": {"maxNumberOfPipes": 8, "numberOfPipes": 4}}]})";

// The command tests meet these refusals only as injected faults.
TEST(Refusals, QzsldsOwnCodes) {
  SiteOptions options;
  options.inventory = SMALL_SITE;
  // A refusal keeps every error record, and wide texts beyond the basic plane.
  const std::string first = std::to_string(CODE_UNAVAILABLE), second = std::to_string(CODE_SERVER_DOWN);
  options.faults = faultRules({R"({"op": "getMediaServersCountOfClient", "action": "raise", "errors": [
      {"errorCode": )" + first + R"(, "localizedMsg": "Dienst nicht verfügbar ✓ 𝄞"},
      {"errorCode": )" + second + R"(, "localizedMsg": "second"}]})"});
  Site site = startSite(options);
  FT::FATServiceModifiableFacet_var modify = modifyOf(site);
  FT::FATServiceQueryFacet_var query = queryOf(site);
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { modify->setServerPipeLimit("media1", 9); }, std::to_string(PIPE_LIMIT_OUT_OF_RANGE) +
                                                             ":connection limit 9 is out of range for FT server "
                                                             "media1: the maximum is 8"},
      {[&] { query->getMediaServersCountOfClient("c1"); }, first + ":Dienst nicht verfügbar ✓ 𝄞|" + second + ":second"}};
  for (const auto &c : cases) EXPECT_EQ(refusal(c.first), c.second);
  stopSite(site);
}

}  // namespace
