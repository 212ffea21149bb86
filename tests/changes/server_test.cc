// "-changeserver" and "-deleteserver": the calls, their order, the limit check
// against the server's maximum, and what the server listing shows afterwards.
#include "changes_site.h"

namespace {

using Lines = std::vector<std::string>;

const char *const CHANGED = "FT server settings changed successfully\n\n";
const char *const CHANGESERVER_USAGE =
    "\nUSAGE:\n"
    "    qzftconfig -[cs]changeserver -Me <media_server>\n"
    "               -l <connection_limit> -state <active | disabled>\n\n";

struct ServerTest : ChangesTest {
  // State and limit lines of "-listservers -Me <server> -verbose".
  std::string settings(const std::string &server) {
    RunResult r = run({"-listservers", "-Me", server, "-verbose"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string shown;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("FT Server State", 0) == 0 || line.rfind("Connection Limit", 0) == 0)
        shown += line + "\n";
    return shown;
  }
};

std::string shown(const std::string &state, int limit) {
  return "FT Server State    : " + state + "\nConnection Limit   : " + std::to_string(limit) + "\n";
}

TEST_F(ServerTest, StateAndLimitUpToTheMaximum) {
  start();
  RunResult r = run({"-changeserver", "-Me", "media1", "-l", "8", "-state", "disabled"});
  EXPECT_EQ(r.out, CHANGED);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(changeServerState "media1" false)", R"(getServerConfiguration "media1")",
                            R"(setServerPipeLimit "media1" 8)"}));
  EXPECT_TRUE(logged("4 FT server settings changed successfully:media1"));
  restartSite(site);
  EXPECT_EQ(settings("media1"), shown("disabled", 8));

  clearJournal(site);
  EXPECT_EQ(run({"-cs", "-Me", "media1", "-l", "3", "-state", "active", "-verbose"}).status, 0);
  EXPECT_EQ(calls(), (Lines{R"(changeServerState "media1" true)", R"(getServerConfiguration "media1")",
                            R"(setServerPipeLimit "media1" 3)"}));
  EXPECT_EQ(settings("media1"), shown("active", 3));
}

// The state is changed before the limit is checked, and stays changed.
TEST_F(ServerTest, LimitAboveTheMaximum) {
  start();
  RunResult r = run({"-changeserver", "-Me", "media1", "-l", "9", "-state", "disabled"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, std::string("Connection limit exceeds, maximum connection limit: 8\n\n") +
                       CHANGESERVER_USAGE);
  EXPECT_EQ(r.status, 20);
  EXPECT_EQ(calls(), (Lines{R"(changeServerState "media1" false)", R"(getServerConfiguration "media1")"}));
  EXPECT_EQ(settings("media1"), shown("disabled", 4));
}

TEST_F(ServerTest, UnknownServerRefusesTheState) {
  start();
  RunResult r = run({"-changeserver", "-Me", "nosuch", "-l", "2", "-state", "active"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to change FT server settings",
                               "FT server nosuch is not known to the FT service", 221));
  EXPECT_EQ(r.status, 221);
  EXPECT_EQ(calls(), (Lines{R"(changeServerState "nosuch" true)"}));
  EXPECT_TRUE(logged("16 Failed to change FT server settings:nosuch"));
}

TEST_F(ServerTest, ConfigurationUnreadable) {
  start(faultRules({refusal("getServerConfiguration", 77, "media server down", "", "no answer")}));
  RunResult r = run({"-changeserver", "-Me", "media1", "-l", "2", "-state", "disabled"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to read server configuration; Media Server might be down",
                               "media server down", 77, "no answer"));
  EXPECT_EQ(r.status, 77);
  EXPECT_EQ(calls(), (Lines{R"(changeServerState "media1" false)", R"(getServerConfiguration "media1")"}));
  EXPECT_EQ(settings("media1"), shown("disabled", 4));
}

TEST_F(ServerTest, LimitRefused) {
  start(faultRules({refusal("setServerPipeLimit", 225, "limit out of range")}));
  RunResult r = run({"-changeserver", "-Me", "media2", "-l", "16", "-state", "active"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to change FT server settings", "limit out of range", 225));
  EXPECT_EQ(r.status, 225);
  EXPECT_EQ(calls().size(), 3u);
}

// A configuration answer without a record leaves nothing to check the limit
// against: an internal failure, and no limit is sent.
TEST_F(ServerTest, ConfigurationWithoutRecord) {
  start(faultRules({R"({"op": "getServerConfiguration", "action": "nil"})"}));
  RunResult r = run({"-changeserver", "-Me", "media1", "-l", "2", "-state", "active"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Encountered with an error, check the log for details\n\n");
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(calls().size(), 2u);
}

TEST_F(ServerTest, DeleteServer) {
  start();
  RunResult r = run({"-deleteserver", "media2"});
  EXPECT_EQ(r.out, "FT server deleted successfully\n\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (Lines{R"(deleteServer "media2")"}));
  EXPECT_TRUE(logged("4 FT server deleted successfully:media2"));
  restartSite(site);
  r = run({"-listservers"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("m media2 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("m media1 "), std::string::npos) << r.out;
}

TEST_F(ServerTest, DeleteUnknownServer) {
  start();
  RunResult r = run({"-ds", "nosuch"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, refusalText("Failed to delete the FT server",
                               "FT server nosuch is not known to the FT service", 221));
  EXPECT_EQ(r.status, 221);
  EXPECT_EQ(calls(), (Lines{R"(deleteServer "nosuch")"}));
}

}  // namespace
