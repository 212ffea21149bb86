// "-changeclient" and "-deleteclient": what is sent, what is stored, and what
// the client listing shows afterwards.
#include "changes_site.h"

namespace {

using Lines = std::vector<std::string>;

const char *const CHANGED = "SAN client preferences changed successfully\n\n";
const char *const DELETED = "SAN client deleted successfully\n\n";
const char *const PORTS_KEY =
    R"([{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"","isClient":false}])";

struct ClientPrefsTest : ChangesTest {
  // The preference lines of "-listclients -C <client> -verbose".
  std::string preferences(const std::string &client) {
    RunResult r = run({"-listclients", "-C", client, "-verbose"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string shown;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("Client Ports/Server", 0) == 0 || line.rfind("Usage Preference", 0) == 0 ||
          line.rfind("Backup Wait Time", 0) == 0 || line.rfind("Restore Wait Time", 0) == 0)
        shown += line + "\n";
    return shown;
  }
};

// The listing shows wait periods only with "preferred".
std::string shown(const std::string &ports, const std::string &preference, int backup = -1,
                  int restore = -1) {
  std::string text = "Client Ports/Server  : " + ports + "\nUsage Preference     : " + preference + "\n";
  if (backup >= 0)
    text += "Backup Wait Time     : " + std::to_string(backup) +
            "\nRestore Wait Time    : " + std::to_string(restore) + "\n";
  return text;
}

// c1 has no record of its own: the replacement is refused and the record added.
TEST_F(ClientPrefsTest, PreferredForAClientWithoutRecordIsAdded) {
  start();
  ASSERT_EQ(preferences("c1"), shown("2", "preferred", 15, 5));
  clearJournal(site);
  RunResult r = run({"-changeclient", "-C", "c1", "-ftpref", "preferred", "-ftwait", "10", "-ftrwait", "20"});
  EXPECT_EQ(r.out, CHANGED);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  const std::string usage =
      R"({"usagePref":"Preferred","waitPeriod":{"backupWaitPeriod":10,"restoreWaitPeriod":20},"isClientUsageInfo":false})";
  EXPECT_EQ(calls(), (Lines{R"(setUsageInfo "c1" QZSL_QZU_CLIENT )" + usage,
                            R"(addUsageInfo "c1" QZSL_QZU_CLIENT )" + usage}));
  EXPECT_TRUE(logged("4 SAN client preferences changed successfully:c1"));
  EXPECT_EQ(preferences("c1"), shown("2", "preferred", 10, 20));
  restartSite(site);
  EXPECT_EQ(preferences("c1"), shown("2", "preferred", 10, 20));
}

TEST_F(ClientPrefsTest, AlwaysReplacesTheClientsOwnRecord) {
  start();
  RunResult r = run({"-cc", "-C", "c2", "-ftpref", "always"});
  EXPECT_EQ(r.out, CHANGED);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(setUsageInfo "c2" QZSL_QZU_CLIENT {"usagePref":"Always","waitPeriod":{"backupWaitPeriod":0,"restoreWaitPeriod":0},"isClientUsageInfo":false})"}));
  EXPECT_EQ(preferences("c2"), shown("3", "always"));
  EXPECT_EQ(run({"-cc", "-C", "c2", "-ftpref", "fail"}).status, 0);
  EXPECT_EQ(preferences("c2"), shown("3", "fail"));
}

TEST_F(ClientPrefsTest, ClientAloneFallsBackToTheMasterDefaults) {
  start();
  RunResult r = run({"-changeclient", "-C", "c2"});
  EXPECT_EQ(r.out, CHANGED);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(deleteUsageInfo "c2")"}));
  EXPECT_FALSE(logged("8 This client was already using master server defaults: c2"));
  restartSite(site);
  EXPECT_EQ(preferences("c2"), shown("3", "preferred", 15, 5));

  // Asked again, there is nothing left to remove; that is no failure.
  clearJournal(site);
  r = run({"-changeclient", "-C", "c2"});
  EXPECT_EQ(r.out, CHANGED);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(deleteUsageInfo "c2")"}));
  EXPECT_TRUE(logged("8 This client was already using master server defaults: c2"));
}

TEST_F(ClientPrefsTest, PortsPerServerAsTyped) {
  start();
  RunResult r = run({"-changeclient", "-C", "c1", "-np", "04"});
  EXPECT_EQ(r.out, CHANGED);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(updateFTConfigInfoSeq "c1" QZSL_QZU_CLIENT [{"confName":"FT_MAX_CLIENT_PORTS_PER_SERVER","confValue":"04","isClient":false}])"}));
  restartSite(site);
  EXPECT_EQ(preferences("c1"), shown("04", "preferred", 15, 5));
}

TEST_F(ClientPrefsTest, RefusedPortsPerServer) {
  start();
  RunResult r = run({"-changeclient", "-C", "nosuch", "-np", "2"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to change SAN client FT configuration for -np",
                               "SAN client nosuch is not known to the FT service", 222));
  EXPECT_EQ(r.status, 222);
  EXPECT_TRUE(logged("16 Failed to change SAN client FT configuration for -np:nosuch"));
}

TEST_F(ClientPrefsTest, RefusedPreference) {
  start();
  RunResult r = run({"-changeclient", "-C", "nosuch", "-ftpref", "never"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to change SAN client preferences",
                               "SAN client nosuch is not known to the FT service", 222));
  EXPECT_EQ(r.status, 222);
  Lines sent = calls();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].rfind("setUsageInfo \"nosuch\" QZSL_QZU_CLIENT ", 0), 0u) << sent[0];
  EXPECT_EQ(sent[1].rfind("addUsageInfo \"nosuch\" QZSL_QZU_CLIENT ", 0), 0u) << sent[1];
}

TEST_F(ClientPrefsTest, DeleteRemovesTheClientAndItsRecords) {
  start();
  RunResult r = run({"-deleteclient", "c2"});
  EXPECT_EQ(r.out, DELETED);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(deleteClient "c2")", R"(deleteUsageInfo "c2")",
                            std::string(R"(deleteFTConfigInfoSeq "c2" QZSL_QZU_CLIENT )") + PORTS_KEY}));
  EXPECT_TRUE(logged("4 SAN client deleted successfully:c2"));
  for (const std::string &line : logLines()) EXPECT_EQ(line.find("Failed to delete"), std::string::npos) << line;

  restartSite(site);
  r = run({"-listclients"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("c c2 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("c c1 "), std::string::npos) << r.out;
  // Its records went with it: a client of that name added again starts afresh.
  clearJournal(site);
  EXPECT_EQ(run({"-changeclient", "-C", "c2"}).status, 0);
  EXPECT_TRUE(logged("8 This client was already using master server defaults: c2"));
}

// A client that never had settings of its own is deleted all the same.
TEST_F(ClientPrefsTest, DeleteClientWithoutRecords) {
  start();
  RunResult r = run({"-dc", "c1", "-verbose"});
  EXPECT_EQ(r.out, DELETED);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls().size(), 3u);
  EXPECT_TRUE(logged("16 Failed to delete preferences record, client might have used master server defaults: c1"));
  EXPECT_TRUE(logged("16 Failed to delete client ports/server record, client might have used master server defaults: c1"));
}

TEST_F(ClientPrefsTest, DeleteUnknownClientStopsAtOnce) {
  start();
  RunResult r = run({"-deleteclient", "nosuch"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to delete the SAN client",
                               "SAN client nosuch is not known to the FT service", 222));
  EXPECT_EQ(r.status, 222);
  EXPECT_EQ(calls(), (Lines{R"(deleteClient "nosuch")"}));
}

// Only refusals of the record removals are harmless; a transport failure
// ends the run.
TEST_F(ClientPrefsTest, DeleteWithTransportFailureOnARecord) {
  start(faultRules({R"({"op": "deleteFTConfigInfoSeq", "action": "system", "exception": "INTERNAL"})"}));
  RunResult r = run({"-deleteclient", "c2"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Got Corba Exception, see log for details\n\n");
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(calls().size(), 3u);
}

}  // namespace
