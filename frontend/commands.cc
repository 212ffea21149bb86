#include "frontend/commands.h"

#include <cstdio>
#include <cstring>
#include <jansson.h>

#include "changes/changes.h"
#include "frontend/argerrors.h"
#include "frontend/parse.h"
#include "listings/listings.h"
#include "run/globals.h"
#include "run/print.h"
#include "run/status.h"

// "-ftpref preferred" with both of its wait periods.
const int WAIT_PERIODS = SEL_FTPREF_PREFERRED | SEL_FTWAIT | SEL_FTRWAIT;

// Codes of print_error for selectors that main refuses.
static int changeServerRefusal(int selector) {
  if (!(selector & SEL_SRV_ME)) return ERR_NO_MEDIA_SERVER;
  if (!(selector & SEL_SRV_L)) return ERR_NO_LIMIT;
  if (!(selector & SEL_SRV_STATE)) return ERR_NO_STATE;
  return ERR_ARGUMENTS;
}

// A preference change is complete only as "-ftpref preferred" with both
// wait periods; the other refusals name what is missing from that shape.
static int preferenceRefusal(int selector) {
  if (!(selector & SEL_FTPREF_PREFERRED)) return ERR_ARGUMENTS;
  if (!(selector & SEL_FTWAIT)) return ERR_NO_FTWAIT;
  if (!(selector & SEL_FTRWAIT)) return ERR_NO_FTRWAIT;
  return ERR_ARGUMENTS;
}

static int changeClientRefusal(int selector) {
  if (!(selector & SEL_C)) return ERR_NO_CLIENT;
  return preferenceRefusal(selector);
}

// FT servers and SAN clients in one listing; in JSON mode one document that
// both listings append to.
static int listTelemetry(int selector) {
  json_t *document = nullptr;
  json_t *array = nullptr;
  if (gJson) {
    document = json_object();
    array = json_array();
    json_object_set_new(document, "SAN Client Telemetry Data", array);
  }
  listFATServers(selector, array);
  listSANClients(selector, array);
  if (!gJson) return STATUS_OK;
  printJson(document);
  return STATUS_OK;
}

static int rescanOneClient(int) {
  active_threads[0].client = client_name;
  return rescanSANClient(0, false, false);
}

// A listing of one host reports its own outcomes and ends with 0; the walk
// over all hosts ends with the status of the last one listed.
static int listActive(int selector) {
  if (selector == SEL_NONE) return listAllActiveConnections();
  listActivePipeConnections(selector, 1);
  return STATUS_OK;
}

// How to add a command: add a row below with its long keyword, its short form
// (or null), the catalog id and English text of its usage, the parser of its
// arguments, the selectors it runs with, the error code for any other
// selector, whether a listing without filter works on no particular master
// server, and the function that runs it and returns the status to end with.
// Add the keyword to the general usage text of "-help" too. Dispatch
// compares keywords in the order of the rows.
const command_t commands[] = {
    {"-deleteclient", "-dc", "ZrtFtc0021N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[dc]deleteclient <client_name>",
     parse_client_name_args, {SEL_NONE}, nullptr, false, [](int) { return deleteSANClient(); }},
    {"-changeclient", "-cc", "ZrtFtc0022N",
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
     "       transport and \"fail\" immediately fails the job. \"never\" always uses LAN transport.",
     parse_common_args, {SEL_C, SEL_C | SEL_FTPREF, SEL_C | WAIT_PERIODS, SEL_C | SEL_NP}, changeClientRefusal,
     false, changeSANClient},
    {"-rescanclient", "-rc", "ZrtFtc0031N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[rc]rescanclient <client_name>",
     parse_rescan_client_args, {SEL_NONE}, nullptr, false, rescanOneClient},
    {"-rescanallclients", "-ra", "ZrtFtc0034N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[ra]rescanallclients [-verbose]",
     parse_rescan_all_args, {SEL_NONE}, nullptr, false, [](int) { return rescanAllSANClients(); }},
    {"-list_telemetry", "-ll", "ZrtFtc0089N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[ll]list_telemetry [-verbose] [-json | -json_compact]\n"
     "                [-C <client_name> | -Me <media_server> | -M <master_server>]",
     parse_common_listing_args, {SEL_NONE, SEL_C, SEL_ME, SEL_M}, nullptr, true, listTelemetry},
    {"-listclients", "-lc", "ZrtFtc0023N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[lc]listclients [-verbose]\n"
     "                [-C <client_name> | -Me <media_server> | -M <master_server>]",
     parse_common_listing_args, {SEL_NONE, SEL_C, SEL_ME, SEL_M}, nullptr, true,
     [](int selector) {
       listSANClients(selector, nullptr);
       return int(STATUS_OK);
     }},
    {"-deleteserver", "-ds", "ZrtFtc0025N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[ds]deleteserver <media_server>",
     parse_server_name_args, {SEL_NONE}, nullptr, false, [](int) { return deleteFATServer(); }},
    {"-changeserver", "-cs", "ZrtFtc0026N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[cs]changeserver -Me <media_server>\n"
     "               -l <connection_limit> -state <active | disabled>",
     parse_common_server_args, {SEL_SRV_ME | SEL_SRV_L | SEL_SRV_STATE}, changeServerRefusal, false,
     changeFATServer},
    {"-listservers", "-ls", "ZrtFtc0027N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[ls]listservers [-verbose]\n"
     "                [-Me <media_server> | -M <master_server>]",
     parse_common_listing_args, {SEL_NONE, SEL_ME, SEL_M}, nullptr, true,
     [](int selector) {
       listFATServers(selector, nullptr);
       return int(STATUS_OK);
     }},
    {"-listtargets", "-lt", "ZrtFtc0052N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[lt]listtargets [-verbose]\n"
     "                [-Me <media_server>]",
     parse_common_listing_args, {SEL_NONE, SEL_ME}, nullptr, true,
     [](int selector) {
       listFATTargets(selector);
       return int(STATUS_OK);
     }},
    {"-listactive", "-la", "ZrtFtc0028N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -[la]listactive [-verbose]\n"
     "                [-C <client_name> | -Me <media_server>]",
     parse_common_listing_args, {SEL_NONE, SEL_C, SEL_ME}, nullptr, true, listActive},
    {"-setconfig", nullptr, "ZrtFtc0029N",
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
     "       transport and \"fail\" immediately fails the job. \"never\" always uses LAN transport.",
     parse_common_args, {SEL_FTPREF, WAIT_PERIODS, SEL_NP, SEL_NCP, SEL_NP | SEL_NCP}, preferenceRefusal, false,
     setconfigDefaults},
    // Without "-M" the defaults are those of the local machine's master server.
    {"-getconfig", nullptr, "ZrtFtc0030N",
     "\n"
     "USAGE:\n"
     "    qzftconfig -getconfig [-M <master_server>] [-verbose]\n"
     "\n"
     "Note:\n"
     "    1. If -M option is not used, local machine's master server is assumed",
     parse_common_listing_args, {SEL_NONE, SEL_M}, nullptr, false,
     [](int) {
       printConfigDefaults();
       return int(STATUS_OK);
     }},
    {"-help", nullptr, "ZrtFtc0032N",
     "\n"
     "USAGE:\n"
     "    qzftconfig [-deleteclient] [-changeclient] [-rescanclient]\n"
     "               [-rescanallclients] [-listclients] [-deleteserver]\n"
     "               [-changeserver] [-listservers] [-listtargets] [-listactive]\n"
     "\t\t\t   [-setconfig] [-getconfig] [-verbose] [-list_telemetry] [-help]\n"
     "\n"
     "    For detailed usage of each operation, use:\n"
     "               qzftconfig -help <operation>",
     nullptr, {SEL_NONE}, nullptr, false, [](int) { return int(STATUS_SHOW_USAGE); }},
};
const size_t command_count = sizeof commands / sizeof commands[0];

const command_t *find_command(const char *keyword) {
  for (const command_t &row : commands)
    if (strcmp(keyword, row.keyword) == 0 || (row.shortForm && strcmp(keyword, row.shortForm) == 0))
      return &row;
  return nullptr;
}

const command_t *find_command_by_keyword(const char *command) {
  for (const command_t &row : commands)
    if (strcmp(command, row.keyword) == 0) return &row;
  return nullptr;
}
