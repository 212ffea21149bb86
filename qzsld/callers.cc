#include "callers.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <cerrno>
#include <grp.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>
#include <unistd.h>
#include <mutex>
#include <omniORB4/CORBA.h>
#include <omniORB4/omniInterceptors.h>
#include <pwd.h>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "errors.h"
#include "journal.h"
#include "platform/peerowner.h"

namespace {

struct Caller {
  uid_t uid = NOBODY_UID;
  bool admin = false;
};

struct Guarded {
  const char *op;
  bool read;
  const char *what;  // what a refused user may not do
};

const Guarded GUARDED[] = {
    {"getSANClientList", true, "read the FT inventory"},
    {"getSANClientInfo", true, "read the FT inventory"},
    {"getMediaServersCountOfClient", true, "read the FT inventory"},
    {"getClientDeviceList", true, "read the FT inventory"},
    {"getClientPipeList", true, "read the FT inventory"},
    {"getFATServerList", true, "read the FT inventory"},
    {"getFATServerInfo", true, "read the FT inventory"},
    {"getServerConfiguration", true, "read the FT inventory"},
    {"getServerDeviceList", true, "read the FT inventory"},
    {"getServerPipeList", true, "read the FT inventory"},
    {"getFTConfigInfoSeq", true, "read the FT inventory"},
    {"getUsageInfo", true, "read the FT inventory"},
    {"addServer", false, "add FT servers"},
    {"deleteServer", false, "delete FT servers"},
    {"setServerPipeLimit", false, "change FT servers"},
    {"setJobConcurrency", false, "change FT servers"},
    {"changeServerState", false, "change FT servers"},
    {"addClient", false, "add SAN clients"},
    {"addClientWithInfo", false, "add SAN clients"},
    {"deleteClient", false, "delete SAN clients"},
    {"setUsageInfo", false, "change FT usage preferences"},
    {"addUsageInfo", false, "change FT usage preferences"},
    {"deleteUsageInfo", false, "change FT usage preferences"},
    {"updateFTConfigInfoSeq", false, "change FT settings"},
    {"deleteFTConfigInfoSeq", false, "change FT settings"},
    {"startClientDiscovery", false, "rescan SAN clients"},
};

// Opening a session stays open to everyone, so that a refused user learns
// why from the first facet operation instead of a generic failure.
const char *const OPEN[] = {"getHostSession", "getFATServiceManager", "aqueryFacet", "amodifyFacet",
                            "acontrolFacet",  "destroy",              "isManagerActive", "isServiceConfigured"};

bool hasAdminGroup = false, readsOpen = false;
gid_t adminGid = 0;

// The user of each live connection, by the client's address. An address
// comes back only on a new connection, whose acceptance replaces the entry,
// so the map holds at most one entry per client port.
std::mutex callersLock;
std::unordered_map<std::string, Caller> callers;

// Set for each request on the thread that serves it, and cleared with its
// reply, so that a pooled thread never carries one caller's rights over.
thread_local Caller current;

bool inAdminGroup(uid_t uid) {
  if (!hasAdminGroup) return false;
  passwd entry, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
  std::vector<gid_t> groups(64);
  int count = static_cast<int>(groups.size());
  while (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0)
    groups.resize(count = static_cast<int>(groups.size()) * 2);
  for (int i = 0; i < count; ++i)
    if (groups[i] == adminGid) return true;
  return false;
}

// More than a rescan of all clients needs from one run, fewer than could
// crowd out the administrators' own connections.
const int CONNECTIONS_PER_USER = 32;

// A user who is not an administrator holds at most CONNECTIONS_PER_USER
// connections; the kernel counts them, the new one included.
bool tooMany(const Caller &caller, const char *mine) {
  TcpEndpoint service;
  if (caller.admin || !parseOrbAddress(mine, service)) return false;
  int held = connectionsOwnedBy(caller.uid, service);
  if (held <= CONNECTIONS_PER_USER) return false;
  // One line per ten seconds is enough to show a flood without being one.
  static std::atomic<time_t> lastSaid{0};
  time_t now = time(nullptr), said = lastSaid.load();
  if (now - said >= 10 && lastSaid.compare_exchange_strong(said, now))
    fprintf(stderr, "qzsld: user %s holds %d connections already; refusing another\n",
          describeUser(caller.uid).c_str(), held - 1);
  return true;
}

CORBA::Boolean accepted(omni::omniInterceptors::serverAcceptConnection_T::info_T &info) {
  const char *peer = info.peeraddress();
  Caller caller;
  caller.uid = connectionPeerOwner(info.myaddress(), peer);
  caller.admin = caller.uid == 0 || inAdminGroup(caller.uid);
  bool reject = tooMany(caller, info.myaddress());
  std::lock_guard<std::mutex> hold(callersLock);
  // A refused connection leaves no earlier connection's user behind.
  if (reject) {
    callers.erase(peer ? peer : "");
    info.reject = 1;
    info.why = "too many connections of one user";
  } else {
    callers[peer ? peer : ""] = caller;
  }
  return true;
}

CORBA::Boolean received(omni::omniInterceptors::serverReceiveRequest_T::info_T &info) {
  const char *peer = info.peeraddress();
  std::lock_guard<std::mutex> hold(callersLock);
  auto found = callers.find(peer ? peer : "");
  current = found == callers.end() ? Caller() : found->second;
  return true;
}

CORBA::Boolean replied(omni::omniInterceptors::serverSendReply_T::info_T &) {
  current = Caller();
  return true;
}

CORBA::Boolean raised(omni::omniInterceptors::serverSendException_T::info_T &) {
  current = Caller();
  return true;
}

}  // namespace

void watchCallers(const std::string &adminGroup, bool openReads) {
  // Without the kernel's answers every caller, root too, would be nobody;
  // better not to start than to refuse everyone.
  int probe = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (probe < 0)
    throw std::runtime_error(std::string("cannot ask the kernel who owns a connection: ") + strerror(errno));
  close(probe);
  readsOpen = openReads;
  hasAdminGroup = !adminGroup.empty();
  if (hasAdminGroup) {
    group entry, *found = nullptr;
    std::vector<char> buffer(65536);
    if (getgrnam_r(adminGroup.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
      throw std::runtime_error("no group " + adminGroup + " for the administrators");
    adminGid = found->gr_gid;
  }
  omni::omniInterceptors *interceptors = omniORB::getInterceptors();
  interceptors->serverAcceptConnection.add(accepted);
  interceptors->serverReceiveRequest.add(received);
  interceptors->serverSendReply.add(replied);
  interceptors->serverSendException.add(raised);
}

void admit(const char *op, const std::string &host) {
  Caller caller = current;
  if (caller.admin) return;
  for (const char *open : OPEN)
    if (strcmp(open, op) == 0) return;
  // An operation missing from the table is refused, never let through.
  std::string what = std::string("call ") + op;
  for (const Guarded &guarded : GUARDED) {
    if (strcmp(guarded.op, op) != 0) continue;
    if (guarded.read && readsOpen) return;
    what = guarded.what;
  }
  std::string message = "qzsld: user " + describeUser(caller.uid) + " may not " + what;
  journalCall("refused", " " + message);
  fprintf(stderr, "%s\n", message.c_str());
  refuse(CALLER_NOT_ALLOWED, host, message);
}
