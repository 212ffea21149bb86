#include "session/serviceowner.h"

#include <arpa/inet.h>
#include <omniORB4/CORBA.h>
#include <omniORB4/omniInterceptors.h>
#include <pwd.h>
#include <vector>

#include "platform/masterconfig.h"
#include "platform/peerowner.h"
#include "run/globals.h"
#include "run/report.h"

// The refusal for a service at `address` ("127.0.0.1:7390") run by `owner`,
// or "" when root or `account` runs it.
static std::string serviceOwnerRefusal(const std::string &address, uid_t owner, const std::string &account) {
  if (owner == 0) return "";
  passwd entry, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwnam_r(account.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_uid == owner)
    return "";
  return "qzftconfig: the service on " + address + " is run by " + describeUser(owner) + ", not by root or " +
         account + "; refusing to use it";
}

// "127.0.0.1:7390" or "[::1]:7390".
static std::string endpointText(const TcpEndpoint &endpoint) {
  char host[INET6_ADDRSTRLEN] = "";
  inet_ntop(endpoint.family, endpoint.address, host, sizeof host);
  std::string text = endpoint.family == AF_INET6 ? "[" + std::string(host) + "]" : host;
  return text + ":" + std::to_string(endpoint.port);
}

// A service that fails the check gets no request at all: the run ends here,
// inside the connection's opening, before the ORB sends anything on it. A
// rescan worker's own connection is refused, and the refusal waits in its
// entry for the main thread, which ends the run with it.
static CORBA::Boolean checkServiceOwner(omni::omniInterceptors::clientOpenConnection_T::info_T &info) {
  TcpEndpoint mine, peer;
  uid_t owner = NOBODY_UID;
  bool known = parseOrbAddress(info.myaddress(), mine) && parseOrbAddress(info.peeraddress(), peer);
  if (known && !socketOwner(peer, mine, owner)) owner = NOBODY_UID;
  const master_config_t *config = get_master_config_ptr();
  const char *address = info.peeraddress();
  std::string refusal = serviceOwnerRefusal(known ? endpointText(peer) : address ? address : "", owner,
                                            config ? config->qzsl_account : DEFAULT_QZSL_ACCOUNT);
  if (refusal.empty()) return true;
  run_end_t end;
  end.kind = run_end_t::NOTICE;
  end.text = refusal;
  end.shown = refusal + "\n";
  // Closing the session would be a request to the service refused here.
  end.unsound = true;
  if (worker_entry == nullptr) endRun(end);
  if (worker_entry->end.kind == run_end_t::NONE) worker_entry->end = end;
  return false;
}

void watchServiceOwner() { omniORB::getInterceptors()->clientOpenConnection.add(checkServiceOwner); }
