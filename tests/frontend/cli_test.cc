// The command line as a user meets it: usage texts, argument errors and the
// exit status of every outcome, exactly as the terminal shows them.

#include <map>

#include "tests/harness.h"

namespace {

// Each usage text, after its "USAGE:" line.
const std::map<std::string, std::string> usageTexts = {
    {"-deleteclient", "    qzftconfig -[dc]deleteclient <client_name>"},
    {"-changeclient", "    qzftconfig -[cc]changeclient -C <client_name>\n"
         "               {[-ftpref <preferred | always | never | fail>\n"
         "                 -ftwait <minutes> -ftrwait <minutes>]\n"
         "               |[-np <number_of_ports>]}\n"
         "Note:\n"
         "    1. -ftwait and -ftrwait are required only if -ftpref is set to \"preferred\"\n"
         "    2. Usage of -ftpref and -np is mutually exclusive\n"
         "    3. If FT resources do not exist, \"always\" and \"preferred\" switch to LAN\n"
         "       transport and \"fail\" immediately fails the job. \"never\" always uses LAN transport."},
    {"-listclients", "    qzftconfig -[lc]listclients [-verbose]\n"
         "                [-C <client_name> | -Me <media_server> | -M <master_server>]"},
    {"-deleteserver", "    qzftconfig -[ds]deleteserver <media_server>"},
    {"-list_telemetry", "    qzftconfig -[ll]list_telemetry [-verbose] [-json | -json_compact]\n"
         "                [-C <client_name> | -Me <media_server> | -M <master_server>]"},
    {"-changeserver", "    qzftconfig -[cs]changeserver -Me <media_server>\n"
         "               -l <connection_limit> -state <active | disabled>"},
    {"-listservers", "    qzftconfig -[ls]listservers [-verbose]\n"
         "                [-Me <media_server> | -M <master_server>]"},
    {"-listtargets", "    qzftconfig -[lt]listtargets [-verbose]\n"
         "                [-Me <media_server>]"},
    {"-listactive", "    qzftconfig -[la]listactive [-verbose]\n"
         "                [-C <client_name> | -Me <media_server>]"},
    {"-setconfig", "    qzftconfig -setconfig [-M <master_server>]\n"
         "               {-ftpref <preferred | always | never | fail>\n"
         "                -ftwait <minutes> -ftrwait <minutes>\n"
         "               |[-np <number_of_ports>] [-ncp <number_of_clients_per_target_port>]}\n"
         "Note:\n"
         "    1. If -M option is not used, local machine's master server is assumed\n"
         "    2. -ftwait and -ftrwait are required only if -ftpref is set to \"preferred\"\n"
         "    3. Usage of -ftpref and -np or -ncp is mutually exclusive\n"
         "    4. If FT resources do not exist, \"always\" and \"preferred\" switch to LAN\n"
         "       transport and \"fail\" immediately fails the job. \"never\" always uses LAN transport."},
    {"-getconfig", "    qzftconfig -getconfig [-M <master_server>] [-verbose]\n"
         "\n"
         "Note:\n"
         "    1. If -M option is not used, local machine's master server is assumed"},
    {"-rescanclient", "    qzftconfig -[rc]rescanclient <client_name>"},
    {"-rescanallclients", "    qzftconfig -[ra]rescanallclients [-verbose]"},
    {"-help", "    qzftconfig [-deleteclient] [-changeclient] [-rescanclient]\n"
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

std::string usage(const std::string &command) { return "\nUSAGE:\n" + usageTexts.at(command) + "\n\n"; }

std::string error(int code, const std::string &command) {
  return "\n" + std::string(errorTexts[code]) + "\n" + usage(command);
}

std::string invalid(const std::string &argument, const std::string &command) {
  return "\nInvalid or duplicate argument: " + argument + "\n" + usage(command);
}

struct Case {
  Lines args;
  std::string err;
  int status = STATUS_USAGE;
};

// Every command line that passes validation reaches its command, which finds
// no service here.
Case reaches(const Lines &args) { return {args, GENERIC_FAILURE, STATUS_INTERNAL}; }

void expectRuns(const std::vector<Case> &cases) {
  static TestHome home;
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    expectRun(runTool(home, c.args), "", c.err, c.status);
  }
}

TEST(Cli, HelpAndKeywords) {
  std::vector<Case> cases = {
      {{}, usage("-help")},
      {{"-help"}, usage("-help")},
      {{"-verbose", "-help", "-lt"}, usage("-listtargets")},
      // A lone flag, or a flag after "-help", is the keyword and matches nothing.
      {{"-verbose"}, error(0, "-help")},
      {{"-help", "-verbose", "-lc"}, error(0, "-help")},
      {{"-LC"}, error(0, "-help")},
      {{"-lc", "-verbose", "-help"}, usage("-listclients")},
      // --version and --help are answered only as the sole argument.
      {{"--version", "-lc"}, error(0, "-help")},
      {{"-verbose", "--help"}, error(0, "-help")},
      {{"-help", "--version"}, error(0, "-help")},
      {{"-lc", "--help"}, invalid("--help", "-listclients")},
      {{"--Version"}, error(0, "-help")},
      // Any single argument but -verbose shows the usage, without a message.
      {{"-ra", "foo"}, usage("-rescanallclients")},
      reaches({"-rescanallclients", "a", "b"}),
  };
  for (const auto &entry : usageTexts) cases.push_back({{"-help", entry.first}, usage(entry.first)});
  expectRuns(cases);
}

TEST(Cli, Listings) {
  expectRuns({
      {{"-listclients", "-C", "a", "-C", "b"}, invalid("-C", "-listclients")},
      {{"-lc", "-C"}, error(1, "-listclients")},
      // An option is never the value of the one before it.
      {{"-listclients", "-C", "-verbose"}, error(1, "-listclients")},
      {{"-ls", "-Me", "-json"}, error(1, "-listservers")},
      {{"-lc", "-C", "a:b"}, error(1, "-listclients")},
      {{"-lc", "-M", std::string(257, 'n')}, error(1, "-listclients")},
      reaches({"-lc", "-C", std::string(256, 'n')}),
      {{"-lc", "-bogus"}, invalid("-bogus", "-listclients")},
      reaches({"-listclients", "-verbose", "-verbose", "-json", "-json"}),
      // JSON exists for the client, server and telemetry listings only.
      {{"-lt", "-json"}, invalid("-json", "-listtargets")},
      {{"-ls", "-C", "x"}, error(0, "-listservers")},
      {{"-ll", "-Me", "a", "-M", "b"}, error(0, "-list_telemetry")},
  });
}

TEST(Cli, ChangeCommands) {
  expectRuns({
      {{"-changeserver", "-Me", "m", "-l", "99999999999"}, "\n-l value: 99999999999" + error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "0", "-state", "active"}, "\n-l value: 0" + error(4, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "-state", "active"}, error(4, "-changeserver")},
      {{"-cs", "-Me", "-l", "5", "-state", "active"}, error(1, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "5", "-state", "Active"}, error(5, "-changeserver")},
      {{"-cs", "-Me", "m", "-M", "x"}, error(0, "-changeserver")},
      {{"-cs", "-state", "active", "-state", "disabled"}, invalid("-state", "-changeserver")},
      // Incomplete options: the first missing one is named.
      {{"-cs", "-l", "5", "-state", "active"}, error(10, "-changeserver")},
      {{"-cs", "-Me", "m", "-state", "active"}, error(8, "-changeserver")},
      {{"-cs", "-Me", "m", "-l", "5"}, error(7, "-changeserver")},
      reaches({"-cs", "-Me", "server one", "-l", "2147483647", "-state", "disabled"}),
      reaches({"-cs", "-Me", "m", "-l", "1", "-state", "active"}),
      {{"-changeclient", "-C", "c", "-ftwait", "5"}, error(6, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "Preferred"}, error(2, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "always", "-ftpref", "never"}, invalid("-ftpref", "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "0"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "1442"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftrwait", "4294967301"}, error(3, "-changeclient")},
      reaches({"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "1441", "-ftrwait", "1"}),
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "+5"}, error(3, "-changeclient")},
      {{"-cc", "-C", "c", "-np", "-ftpref"}, error(13, "-changeclient")},
      {{"-changeclient", "-C", "c", "-M", "m"}, error(0, "-changeclient")},
      {{"-cc", "-ftpref", "always"}, error(9, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred"}, error(11, "-changeclient")},
      {{"-cc", "-C", "c", "-ftpref", "preferred", "-ftwait", "10"}, error(12, "-changeclient")},
      {{"-cc", "-C", "c", "-np", "3", "-ftpref", "always"}, error(0, "-changeclient")},
      {{"-setconfig", "-ftpref", "always", "-np", "4"}, error(14, "-setconfig")},
      {{"-setconfig", "-ftpref", "never", "-ncp", "2"}, error(16, "-setconfig")},
      {{"-setconfig", "-np", "1"}, error(13, "-setconfig")},
      {{"-setconfig", "-ncp", "0"}, error(15, "-setconfig")},
      {{"-setconfig", "-np", "3", "-np", "4"}, invalid("-np", "-setconfig")},
      {{"-setconfig", "-M", "a|b", "-np", "3"}, error(1, "-setconfig")},
      {{"-setconfig", "-np", "4", "-ftpref", "always"}, error(0, "-setconfig")},
      {{"-setconfig"}, error(0, "-setconfig")},
      {{"-setconfig", "-ftpref", "preferred", "-ftwait", "3"}, error(12, "-setconfig")},
      reaches({"-setconfig", "-M", "m1", "-M", "m2", "-np", "3"}),
      reaches({"-setconfig", "-np", "2", "-ncp", "1"}),
  });
}

TEST(Cli, PositionalNames) {
  expectRuns({
      {{"-deleteclient"}, error(0, "-deleteclient")},
      {{"-deleteclient", "-verbose"}, error(1, "-deleteclient")},
      {{"-dc", "c", "extra"}, error(0, "-deleteclient")},
      reaches({"-dc", "-verbose", std::string(256, 'n')}),
      {{"-deleteserver"}, error(0, "-deleteserver")},
      {{"-ds", "m#1"}, error(1, "-deleteserver")},
      {{"-rescanclient"}, error(0, "-rescanclient")},
      {{"-rc", "-C", "-C"}, error(1, "-rescanclient")},
      reaches({"-rc", "-C", "c", "-verbose"}),
  });
}

}  // namespace
