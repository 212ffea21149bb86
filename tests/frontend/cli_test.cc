// The command line as a user meets it: usage texts, argument errors and the
// exit status of every rejection, exactly as the terminal shows them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

const std::map<std::string, std::string> usageTexts = {
    {"-deleteclient",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[dc]deleteclient <client_name>"},
    {"-changeclient",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[cc]changeclient -C <client_name>\n"
         "               {[-ftpref <preferred | always | never | fail>\n"
         "                 -ftwait <minutes> -ftrwait <minutes>]\n"
         "               |[-np <number_of_ports>]}\n"
         "Note:\n"
         "    1. -ftwait and -ftrwait are required only if -ftpref is set to \"preferred\"\n"
         "    2. Usage of -ftpref and -np is mutually exclusive\n"
         "    3. If FT resources do not exist, \"always\" and \"preferred\" switch to LAN\n"
         "       transport and \"fail\" immediately fails the job. \"never\" always uses LAN transport."},
    {"-listclients",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[lc]listclients [-verbose]\n"
         "                [-C <client_name> | -Me <media_server> | -M <master_server>]"},
    {"-deleteserver",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[ds]deleteserver <media_server>"},
    {"-list_telemetry",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[ll]list_telemetry [-verbose] [-json | -json_compact]\n"
         "                [-C <client_name> | -Me <media_server> | -M <master_server>]"},
    {"-changeserver",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[cs]changeserver -Me <media_server>\n"
         "               -l <connection_limit> -state <active | disabled>"},
    {"-listservers",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[ls]listservers [-verbose]\n"
         "                [-Me <media_server> | -M <master_server>]"},
    {"-listtargets",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[lt]listtargets [-verbose]\n"
         "                [-Me <media_server>]"},
    {"-listactive",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[la]listactive [-verbose]\n"
         "                [-C <client_name> | -Me <media_server>]"},
    {"-setconfig",
         "\n"
         "USAGE:\n"
         "    qzftconfig -setconfig [-M <master_server>]\n"
         "               {-ftpref <preferred | always | never | fail>\n"
         "                -ftwait <minutes> -ftrwait <minutes>\n"
         "               |[-np <number_of_ports>] [-ncp <number_of_clients_per_target_port>]}\n"
         "Note:\n"
         "    1. If -M option is not used, local machine's master server is assumed\n"
         "    2. -ftwait and -ftrwait are required only if -ftpref is set to \"preferred\"\n"
         "    3. Usage of -ftpref and -np or -ncp is mutually exclusive\n"
         "    4. If FT resources do not exist, \"always\" and \"preferred\" switch to LAN\n"
         "       transport and \"fail\" immediately fails the job. \"never\" always uses LAN transport."},
    {"-getconfig",
         "\n"
         "USAGE:\n"
         "    qzftconfig -getconfig [-M <master_server>] [-verbose]\n"
         "\n"
         "Note:\n"
         "    1. If -M option is not used, local machine's master server is assumed"},
    {"-rescanclient",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[rc]rescanclient <client_name>"},
    {"-rescanallclients",
         "\n"
         "USAGE:\n"
         "    qzftconfig -[ra]rescanallclients [-verbose]"},
    {"-help",
         "\n"
         "USAGE:\n"
         "    qzftconfig [-deleteclient] [-changeclient] [-rescanclient]\n"
         "               [-rescanallclients] [-listclients] [-deleteserver]\n"
         "               [-changeserver] [-listservers] [-listtargets] [-listactive]\n"
         "\t\t\t   [-setconfig] [-getconfig] [-verbose] [-list_telemetry] [-help]\n"
         "\n"
         "    For detailed usage of each operation, use:\n"
         "               qzftconfig -help <operation>"},
    {"-help",
         "\n"
         "USAGE:\n"
         "    qzftconfig [-deleteclient] [-changeclient] [-rescanclient]\n"
         "               [-rescanallclients] [-listclients] [-deleteserver]\n"
         "               [-changeserver] [-listservers] [-listtargets] [-listactive]\n"
         "\t\t\t   [-setconfig] [-getconfig] [-verbose] [-list_telemetry] [-help]\n"
         "\n"
         "    For detailed usage of each operation, use:\n"
         "               qzftconfig -help <operation>"},
};

// print_error messages by code.
const char *const errorTexts[] = {
    "Invalid or missing arguments",
    "Invalid hostname name or length. Special characters are not allowed in Hostname",
    "-ftpref value should be: preferred | always | never | fail",
    "Invalid -ftwait or -ftrwait value, it must be numeric and be in the range of 1 to 1441 inclusive",
    "Invalid connection limit value",
    "-state value should be: active | disabled",
    "-ftwait and -ftrwait are valid only if -ftpref is 'preferred'",
    "Argument -state is missing",
    "Argument -l is missing",
    "Argument -C is missing",
    "Argument -Me is missing",
    "Argument -ftwait is missing",
    "Argument -ftrwait is missing",
    "Invalid -np value, number of ports should be at least 2",
    "-ftpref and -np are mutually exclusive options",
    "Invalid -ncp value, number of clients per target port should be at least 1",
    "-ftpref and -ncp are mutually exclusive options",
};

std::string usage(const std::string &command) { return usageTexts.at(command) + "\n\n"; }

std::string error(int code, const std::string &command) {
  return "\n" + std::string(errorTexts[code]) + "\n" + usage(command);
}

std::string invalid(const std::string &argument, const std::string &command) {
  return "\nInvalid or duplicate argument: " + argument + "\n" + usage(command);
}

struct Case {
  std::vector<std::string> args;
  std::string err;  // the whole of standard error
};

class Cli : public ::testing::Test {
protected:
  static void SetUpTestSuite() { home = new TestHome(); }
  static void TearDownTestSuite() { delete home; }

  // Every rejection: nothing on stdout, the exact stderr, status 20.
  static void expectRejections(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
      std::string line;
      for (const std::string &arg : c.args) line += " [" + arg + "]";
      SCOPED_TRACE("qzftconfig" + line);
      RunResult r = runTool(*home, c.args);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, c.err);
      EXPECT_EQ(r.status, 20);
    }
  }

  // A command line that passed validation reaches its command, which cannot
  // reach a service here and ends with 130 without any usage text.
  static void expectAccepted(const std::vector<std::string> &args) {
    std::string line;
    for (const std::string &arg : args) line += " [" + arg + "]";
    SCOPED_TRACE("qzftconfig" + line);
    RunResult r = runTool(*home, args);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.err.find("USAGE:"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Invalid"), std::string::npos) << r.err;
  }

  static TestHome *home;
};
TestHome *Cli::home = nullptr;

const std::vector<std::pair<std::string, std::string>> shortForms = {
    {"-deleteclient", "-dc"},   {"-changeclient", "-cc"}, {"-rescanclient", "-rc"},
    {"-rescanallclients", "-ra"}, {"-list_telemetry", "-ll"}, {"-listclients", "-lc"},
    {"-deleteserver", "-ds"},   {"-changeserver", "-cs"}, {"-listservers", "-ls"},
    {"-listtargets", "-lt"},    {"-listactive", "-la"},   {"-setconfig", ""},
    {"-getconfig", ""},         {"-help", ""},
};

TEST_F(Cli, GeneralUsageWithoutArgumentsOrForHelp) {
  expectRejections({
      {{}, usage("-help")},
      {{"-help"}, usage("-help")},
      {{"-help", "-help"}, usage("-help")},
      {{"-verbose", "-help"}, usage("-help")},
  });
}

TEST_F(Cli, HelpShowsTheUsageOfEachCommandByLongAndShortForm) {
  std::vector<Case> cases;
  for (const auto &[keyword, shortForm] : shortForms) {
    cases.push_back({{"-help", keyword}, usage(keyword)});
    cases.push_back({{"-verbose", "-help", keyword}, usage(keyword)});
    if (!shortForm.empty()) cases.push_back({{"-help", shortForm}, usage(keyword)});
  }
  expectRejections(cases);
}

TEST_F(Cli, GlobalFlagsOnlyInTheirPlaces) {
  expectRejections({
      // A lone flag, or a flag after "-help", is the keyword and matches nothing.
      {{"-verbose"}, error(0, "-help")},
      {{"-help", "-verbose", "-lc"}, error(0, "-help")},
      {{"-listclient"}, error(0, "-help")},
      {{"-LC"}, error(0, "-help")},
      {{"-lc", "-Help"}, invalid("-Help", "-listclients")},
  });
}

TEST_F(Cli, HelpInsideTheArgumentsShowsTheCommandUsage) {
  expectRejections({
      {{"-lc", "-verbose", "-help"}, usage("-listclients")},
      {{"-lc", "-help", "-bogus"}, usage("-listclients")},
      {{"-cs", "-Me", "m", "-help"}, usage("-changeserver")},
      {{"-setconfig", "-np", "3", "-help"}, usage("-setconfig")},
      {{"-deleteclient", "-help"}, usage("-deleteclient")},
      {{"-ds", "-verbose", "-help"}, usage("-deleteserver")},
      {{"-rescanclient", "-help"}, usage("-rescanclient")},
      {{"-rescanclient", "-C", "-help"}, usage("-rescanclient")},
      {{"-ra", "-help"}, usage("-rescanallclients")},
      // Any single argument but -verbose shows the usage, without a message.
      {{"-rescanallclients", "foo"}, usage("-rescanallclients")},
  });
}

TEST_F(Cli, ListingOptionErrorsNameTheLongForm) {
  std::string name257(257, 'a');
  expectRejections({
      {{"-listclients", "-C", "a", "-C", "b"}, invalid("-C", "-listclients")},
      {{"-lc", "-C", "a", "-C", "b"}, invalid("-C", "-listclients")},
      {{"-ls", "-Me", "a", "-Me", "b"}, invalid("-Me", "-listservers")},
      {{"-lc", "-M", "a", "-M", "a"}, invalid("-M", "-listclients")},
      {{"-lc", "-C"}, error(1, "-listclients")},
      {{"-lc", "-C", "-json"}, error(1, "-listclients")},
      {{"-lc", "-C", ""}, error(1, "-listclients")},
      {{"-lc", "-C", "a:b"}, error(1, "-listclients")},
      {{"-lc", "-Me", "a,b"}, error(1, "-listclients")},
      {{"-lc", "-M", name257}, error(1, "-listclients")},
      {{"-lc", "-bogus"}, invalid("-bogus", "-listclients")},
      {{"-lc", "c1"}, invalid("c1", "-listclients")},
      // JSON exists for the client, server and telemetry listings only.
      {{"-listtargets", "-json"}, invalid("-json", "-listtargets")},
      {{"-la", "-json_compact"}, invalid("-json_compact", "-listactive")},
      {{"-getconfig", "-json"}, invalid("-json", "-getconfig")},
  });
}

TEST_F(Cli, ListingSelectorsOutsideTheCommandAreRefused) {
  expectRejections({
      {{"-listservers", "-C", "x"}, error(0, "-listservers")},
      {{"-listtargets", "-M", "x"}, error(0, "-listtargets")},
      {{"-listtargets", "-C", "x"}, error(0, "-listtargets")},
      {{"-listactive", "-M", "x"}, error(0, "-listactive")},
      {{"-getconfig", "-Me", "x"}, error(0, "-getconfig")},
      {{"-lc", "-C", "a", "-Me", "b"}, error(0, "-listclients")},
      {{"-ll", "-Me", "a", "-M", "b"}, error(0, "-list_telemetry")},
  });
}

TEST_F(Cli, ServerOptionErrors) {
  const std::string usageText = usage("-changeserver");
  expectRejections({
      {{"-changeserver", "-Me", "m", "-l", "abc", "-state", "active"},
       "\n-l value: abc" + error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "0", "-state", "active"}, "\n-l value: 0" + error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "99999999999", "-state", "active"},
       "\n-l value: 99999999999" + error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l"}, error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "-5"}, error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "5", "-state", "Active"}, error(5, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "5", "-state"}, error(5, "-changeserver")},
      {{"-cs", "-Me", "m", "-M", "x"}, error(0, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "5", "-l", "6"}, invalid("-l", "-changeserver")},
      {{"-cs", "-state", "active", "-state", "disabled"}, invalid("-state", "-changeserver")},
      {{"-cs", "-C", "c"}, invalid("-C", "-changeserver")},
      // What main reports when the options are incomplete, first missing first.
      {{"-cs", "-l", "5", "-state", "active"}, error(10, "-changeserver")},
      {{"-cs", "-Me", "m", "-state", "active"}, error(8, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "5"}, error(7, "-changeserver")},
      {{"-cs"}, error(10, "-changeserver")},
      {{"-cs", "-verbose"}, error(10, "-changeserver")},
  });
}

TEST_F(Cli, ChangeOptionErrors) {
  expectRejections({
      {{"-changeclient", "-C", "c", "-ftwait", "5"}, error(6, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "always", "-ftrwait", "5"}, error(6, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "sometimes"}, error(2, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "Preferred"}, error(2, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref"}, error(2, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "always", "-ftpref", "never"}, invalid("-ftpref", "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftpref", "preferred"},
       invalid("-ftpref", "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "0"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "1442"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "+5"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "5m"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", ""}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftrwait", "4294967301"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "5", "-ftwait", "6"},
       invalid("-ftwait", "-changeclient")},
      // A client's settings cannot be aimed at another master server.
      {{"-changeclient", "-C", "c", "-M", "m"}, error(0, "-changeclient")},
      // What main reports for incomplete or mixed options.
      {{"-cc", "-ftpref", "always"}, error(9, "-changeclient")},
      {{"-cc"}, error(9, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred"}, error(11, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftrwait", "5"}, error(11, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "10"}, error(12, "-changeclient")},
      {{"-cc", "-C", "host", "-ncp", "3"}, error(0, "-changeclient")},
      {{"-cc", "-C", "c", "-np", "3", "-ftpref", "always"}, error(0, "-changeclient")},
  });
}

TEST_F(Cli, SetconfigOptionErrors) {
  expectRejections({
      {{"-setconfig", "-ftpref", "always", "-np", "4"}, error(14, "-setconfig")},
      {{"-setconfig", "-ftpref", "preferred", "-np", "4"}, error(14, "-setconfig")},
      {{"-setconfig", "-ftpref", "never", "-ncp", "2"}, error(16, "-setconfig")},
      {{"-setconfig", "-np", "1"}, error(13, "-setconfig")},
      {{"-setconfig", "-np", "x"}, error(13, "-setconfig")},
      {{"-setconfig", "-np", ""}, error(13, "-setconfig")},
      {{"-setconfig", "-np"}, error(13, "-setconfig")},
      {{"-setconfig", "-ncp", "0"}, error(15, "-setconfig")},
      {{"-setconfig", "-ncp", "-1"}, error(15, "-setconfig")},
      {{"-setconfig", "-np", "3", "-np", "4"}, invalid("-np", "-setconfig")},
      {{"-setconfig", "-ncp", "3", "-ncp", "4"}, invalid("-ncp", "-setconfig")},
      {{"-setconfig", "-M"}, error(1, "-setconfig")},
      {{"-setconfig", "-M", "a|b", "-np", "3"}, error(1, "-setconfig")},
      // The parser lets "-ftpref" after "-np" pass; main refuses the mix.
      {{"-setconfig", "-np", "4", "-ftpref", "always"}, error(0, "-setconfig")},
      {{"-setconfig"}, error(0, "-setconfig")},
      {{"-setconfig", "-ftpref", "preferred"}, error(11, "-setconfig")},
      {{"-setconfig", "-ftpref", "preferred", "-ftwait", "3"}, error(12, "-setconfig")},
      {{"-setconfig", "-C", "c", "-np", "3"}, error(0, "-setconfig")},
  });
}

TEST_F(Cli, PositionalCommandErrors) {
  expectRejections({
      {{"-deleteclient"}, error(0, "-deleteclient")},
      {{"-deleteclient", "-verbose"}, error(1, "-deleteclient")},
      {{"-deleteclient", "-x"}, error(1, "-deleteclient")},
      {{"-deleteclient", "c", "extra"}, error(0, "-deleteclient")},
      {{"-deleteclient", "-verbose", "c", "-verbose"}, error(0, "-deleteclient")},
      {{"-dc", "a/b"}, error(1, "-deleteclient")},
      {{"-dc", ""}, error(1, "-deleteclient")},
      {{"-deleteserver"}, error(0, "-deleteserver")},
      {{"-ds", "m", "-json"}, error(0, "-deleteserver")},
      {{"-ds", "m#1"}, error(1, "-deleteserver")},
      {{"-rescanclient"}, error(0, "-rescanclient")},
      {{"-rc", "-C", "c", "-verbose", "x"}, error(0, "-rescanclient")},
      {{"-rc", "c", "x"}, error(0, "-rescanclient")},
      {{"-rc", "c", "-verbose", "-verbose"}, error(0, "-rescanclient")},
      {{"-rc", "-C", "-C"}, error(1, "-rescanclient")},
      {{"-rc", "-verbose"}, error(1, "-rescanclient")},
      {{"-rc", "a*b"}, error(1, "-rescanclient")},
  });
}

TEST_F(Cli, NamesUpTo256BytesPass) {
  expectRejections({{{"-lc", "-C", std::string(257, 'n')}, error(1, "-listclients")},
                    {{"-dc", std::string(257, 'n')}, error(1, "-deleteclient")}});
  expectAccepted({"-lc", "-C", std::string(256, 'n')});
  expectAccepted({"-dc", std::string(256, 'n')});
}

TEST_F(Cli, AcceptedCommandLinesReachTheirCommand) {
  expectAccepted({"-listclients", "-verbose", "-verbose", "-json", "-json"});
  expectAccepted({"-setconfig", "-M", "m1", "-M", "m2", "-np", "3"});
  expectAccepted({"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "1441", "-ftrwait", "1"});
  expectAccepted({"-rescanclient", "-C", "c", "-verbose"});
  expectAccepted({"-rescanallclients", "a", "b"});
  expectAccepted({"-cs", "-Me", "server one", "-l", "2147483647", "-state", "disabled"});
}

}  // namespace
