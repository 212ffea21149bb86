#include "session/serviceowner.h"

#include <cstdio>
#include <omniORB4/CORBA.h>
#include <omniORB4/omniInterceptors.h>
#include <pwd.h>
#include <vector>

#include "platform/debuglog.h"
#include "platform/masterconfig.h"
#include "platform/peerowner.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/status.h"
#include "session/session.h"

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

// A service that fails the check gets no request at all: the run ends here,
// inside the connection's opening, before the ORB sends anything on it.
static CORBA::Boolean checkServiceOwner(omni::omniInterceptors::clientOpenConnection_T::info_T &info) {
  const char *peer = info.peeraddress();
  std::string address = peer ? peer : "";
  if (address.compare(0, 9, "giop:tcp:") == 0) address.erase(0, 9);
  const master_config_t *config = get_master_config_ptr();
  std::string refusal = serviceOwnerRefusal(address, connectionPeerOwner(info.myaddress(), peer),
                                            config ? config->qzsl_account : DEFAULT_QZSL_ACCOUNT);
  if (refusal.empty()) return true;
  enter_run_end();
  fprintf(stderr, "%s\n", refusal.c_str());
  logmsg(LOG_ERROR, refusal.c_str(), progname);
  // Closing the session would be a request to the service refused here.
  m_hostSession = Brantis::Tessark::HostSession::_nil();
  qzftconfig_exit(STATUS_INTERNAL);
  return false;
}

void watchServiceOwner() { omniORB::getInterceptors()->clientOpenConnection.add(checkServiceOwner); }
