#include "platform/orb.h"

#include <cstdio>
#include <cstring>

#include "platform/hostinfo.h"
#include "platform/masterconfig.h"

// The port QZSL listens on when qz.conf names none.

// Large enough for the client list of a site of 20,000 SAN clients; omniORB's
// own default of 2 MiB stops at about 6,600.
static const char *const MAX_GIOP_MESSAGE = "268435456";

Orb::Orb(const std::string &, const std::string &, const std::string &, bool, unsigned long)
    : orb_(CORBA::ORB::_nil()) {}

Orb::~Orb() {}

void Orb::init(void *) {
  static const char *options[][2] = {
      {"giopMaxMsgSize", MAX_GIOP_MESSAGE},
      {"maxGIOPVersion", "1.2"},
      {"clientTransportRule", "* tcp"},
      // Five rescan workers may wait on their calls while the main thread
      // still needs one (closing the session at exit); omniORB's own limit
      // of five connections per server would leave it waiting for them.
      {"maxGIOPConnectionPerServer", "8"},
      {nullptr, nullptr},
  };
  int argc = 0;
  orb_ = CORBA::ORB_init(argc, nullptr, "omniORB4", options);
}

static std::string qzslAddress(const std::string &host) {
  char local[257] = {0};
  getLocalHostName(local, sizeof local);
  // QZSL of the local host is reached over loopback whatever the name resolves to.
  std::string address = (host.empty() || host == local || host == "localhost") ? "127.0.0.1" : host;
  const master_config_t *config = get_master_config_ptr();
  int port = (config && config->qzsl_port > 0) ? config->qzsl_port : DEFAULT_QZSL_PORT;
  return address + ":" + std::to_string(port);
}

// omniORB takes time-outs as 32-bit milliseconds, where 0 means none; a longer
// span is held at the longest one it can take (about 49.7 days) rather than
// wrapping to a short time-out or to none at all.
static CORBA::ULong orbMillis(const TimeValue &span) {
  const unsigned long long longest = 0xFFFFFFFFull;
  unsigned long long ms = span.msec();
  return static_cast<CORBA::ULong>(ms > longest ? longest : ms);
}

CORBA::Object_ptr Orb::connectToObject(const std::string &host, const std::string &service,
                                       const std::string &object,
                                       const TimeValue &connectTimeout,
                                       const TimeValue &, const bool &, const bool &) {
  std::string uri = "corbaloc:iiop:1.2@" + qzslAddress(host) + "/" + service + "/" + object;
  CORBA::ULong ms = orbMillis(connectTimeout);
  omniORB::setClientConnectTimeout(ms);
  CORBA::Object_var ref = orb_->string_to_object(uri.c_str());
  // A corbaloc reference connects lazily; asking for the object here makes an
  // unreachable service fail within the connect time-out, not on a later call.
  omniORB::setClientCallTimeout(ref, ms);
  if (ref->_non_existent())
    return CORBA::Object::_nil();
  return ref._retn();
}

void Orb::setOrbRequestTimeout(const TimeValue &timeout) {
  omniORB::setClientCallTimeout(orbMillis(timeout));
}

static const char *completionText(CORBA::CompletionStatus status) {
  switch (status) {
  case CORBA::COMPLETED_YES: return "YES";
  case CORBA::COMPLETED_NO: return "NO";
  default: return "MAYBE";
  }
}

std::string describeCorbaException(const CORBA::Exception &e) {
  std::string text = e._rep_id();
  const CORBA::SystemException *sys = CORBA::SystemException::_downcast(&e);
  if (!sys)
    return text;
  char detail[160];
  const char *name = sys->NP_minorString();
  snprintf(detail, sizeof detail, " (minor code 0x%08lx%s%s, completed: %s)",
           static_cast<unsigned long>(sys->minor()), name ? " " : "", name ? name : "",
           completionText(sys->completed()));
  return text + detail;
}
