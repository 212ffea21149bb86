// The active connection listing, "-listactive": the pipes of one SAN client,
// of one FT server, or of every host of the master server.
#include "listings/fields.h"
#include "listings/listings.h"
#include "platform/debuglog.h"
#include "run/globals.h"
#include "run/report.h"
#include "run/selectors.h"
#include "session/session.h"

namespace {

// A single-host listing reports its outcomes; the walk over all hosts only
// wants to know whether the host had anything.
enum { REPORT_OUTCOME = 1 };

void printClientPipe(const FATClient::FATClientPipeInfo *pipe) {
  const FATClient::FATClientDeviceInfo *path = pipe->devicePath();
  const FATClient::ClientHBAPortInfo *hba = path ? path->hbaPort() : nullptr;
  const FATServer::FATPseudoDeviceInfo *device = path ? path->device() : nullptr;
  const FATClient::FATClientJobInfo *job = pipe->job();
  const char *server = path ? path->deviceServerName() : "";
  int clientHba = hba ? hba->portNumber() : -1;
  int serverHba = portNumberOf(portOf(device));
  int lun = lunOf(device);
  const char *jobId = job ? job->jobId() : "";
  const char *direction = directionWord(pipe->direction());
  printEmptyLine(IN_VERBOSE);
  openRecord("c", nullptr, 16);
  printText(IN_TEXT, nullptr, "SAN Client Name", client_name.c_str());
  printInt(IN_TEXT, nullptr, "SAN Client HBA", clientHba);
  printText(IN_TEXT, nullptr, "FT Server Name", server);
  printInt(IN_TEXT, nullptr, "FT Server HBA", serverHba);
  printInt(IN_TEXT, nullptr, "FT Server LUN", lun);
  printText(IN_TEXT, nullptr, "Job Number", jobId);
  printInt(IN_TEXT, nullptr, "FT Connection Id", pipe->pipeId());
  printText(IN_TEXT, nullptr, "Direction", direction);
  closeRecord();
}

void printServerPipe(const FATServer::FATPipeInfo *pipe) {
  const FATServer::FATPseudoDeviceInfo *device = pipe->device();
  int serverHba = portNumberOf(portOf(device));
  int lun = lunOf(device);
  const char *direction = directionWord(pipe->direction());
  openRecord("m", nullptr, 16);
  printText(IN_TEXT, nullptr, "FT Server Name", media_server.c_str());
  printInt(IN_TEXT, nullptr, "FT Server HBA", serverHba);
  printInt(IN_TEXT, nullptr, "FT Server LUN", lun);
  printInt(IN_TEXT, nullptr, "FT Connection Id", pipe->pipeId());
  printText(IN_TEXT, nullptr, "Direction", direction);
  closeRecord();
  printEmptyLine(IN_VERBOSE);
}

// Runs one pipe-list call; a refusal is reported for a single host and only
// noted (returns false) in the walk over all hosts.
template <typename Call> bool fetchPipes(Call &&call, int reportFlag) {
  bool answered = true;
  guardedCall(call, [&](const QZSLOpException &e) {
    if (reportFlag == REPORT_OUTCOME)
      reportRefusal(e, "ZrtFtc0069N", "Failed to get active connection details", "");
    answered = false;
  });
  return answered;
}

int listClientPipes(int reportFlag) {
  FATClient::FATClientPipeInfoSeq_var pipes;
  if (!fetchPipes([&] { pipes = queryFacet_var->getClientPipeList(client_name.c_str()); },
                  reportFlag))
    return -1;
  CORBA::ULong count = lengthOf(pipes);
  if (count == 0) {
    if (reportFlag == REPORT_OUTCOME)
      reportNothingFound("ZrtFtc0070N", "No active connections found", "");
    return -1;
  }
  for (CORBA::ULong i = 0; i < count; ++i)
    if (pipes[i].in()) printClientPipe(pipes[i].in());
  return 0;
}

int listServerPipes(int reportFlag) {
  FATServer::FATPipeInfoSeq_var pipes;
  if (!fetchPipes([&] { pipes = queryFacet_var->getServerPipeList(media_server.c_str()); },
                  reportFlag))
    return -1;
  CORBA::ULong count = lengthOf(pipes);
  bool printed = false;
  for (CORBA::ULong i = 0; i < count; ++i) {
    const FATServer::FATPipeInfo *pipe = pipes[i].in();
    if (!pipe || pipe->status() != PIPE_ACTIVE) continue;
    printServerPipe(pipe);
    printed = true;
  }
  if (!printed) {
    if (reportFlag == REPORT_OUTCOME)
      reportNothingFound("ZrtFtc0070N", "No active connections found",
                         count == 0 ? "" : media_server.c_str());
    return -1;
  }
  if (reportFlag == REPORT_OUTCOME) printEmptyLine(IN_TEXT);
  return 0;
}

}  // namespace

int listActivePipeConnections(int selector, int reportFlag) {
  if (CORBA::is_nil(queryFacet_var.in())) getQueryableFacetInstance();
  return selector == SEL_C ? listClientPipes(reportFlag) : listServerPipes(reportFlag);
}

int listAllActiveConnections() {
  getQueryableFacetInstance();
  int lastResult = -1;
  bool found = false;

  FSM::SANClientInfoSeq_var clients;
  guardedCall(
      [&] { clients = queryFacet_var->getSANClientList(master_server.c_str(), media_server.c_str()); },
      [&](const QZSLOpException &) {
        logmsg(LOG_ERROR, "No active client connections found", progname);
      });
  if (!clients.operator->()) {
    logmsg(LOG_ERROR, "No active SAN client connections found", progname);
  } else {
    for (CORBA::ULong i = 0; i < clients->length(); ++i) {
      const FSM::SANClientInfo *info = clients[i].in();
      if (!info || !info->fatClientInfo()) continue;
      client_name = info->fatClientInfo()->hostName();
      lastResult = listActivePipeConnections(1, 2);
      if (lastResult == 0) found = true;
    }
  }
  // The server list need not share the memory with the client list.
  clients = static_cast<FSM::SANClientInfoSeq *>(nullptr);

  FATServer::FATServerInfoSeq_var servers;
  guardedCall([&] { servers = queryFacet_var->getFATServerList(master_server.c_str()); },
              [&](const QZSLOpException &) {
                logmsg(LOG_ERROR, "No active FT servers connections found", progname);
              });
  if (!servers.operator->()) {
    logmsg(LOG_ERROR, "No active FT servers connections found", progname);
  } else {
    for (CORBA::ULong i = 0; i < servers->length(); ++i) {
      if (!servers[i].in()) continue;
      media_server = servers[i]->hostName();
      lastResult = listActivePipeConnections(2, 2);
      if (lastResult == 0) found = true;
    }
  }

  if (!found) reportNothingFound("ZrtFtc0070N", "No active connections found", "");
  return lastResult;
}
