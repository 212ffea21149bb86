// The ORB wrapper: starts omniORB and locates a service object on a host.
#pragma once
#include <omniORB4/CORBA.h>
#include <string>

#include "platform/timevalue.h"

class Orb {
public:
  Orb(const std::string &name, const std::string &service, const std::string &config,
      bool threaded, unsigned long queueSize);
  // Leaves the ORB and every reference obtained through it running.
  ~Orb();

  // Starts the ORB (once per process); throws on failure. The timer queue is
  // unused: omniORB keeps its own.
  void init(void *timerQueue);

  // corbaloc:iiop:1.2@127.0.0.1:<QZSL_PORT>/<service>/<object> for the local
  // host; `connectTimeout` bounds the connection attempt. Returns a nil
  // reference when the object does not exist; throws on other failures.
  CORBA::Object_ptr connectToObject(const std::string &host, const std::string &service,
                                    const std::string &object, const TimeValue &connectTimeout,
                                    const TimeValue &retryDelay, const bool &verify,
                                    const bool &secure);

  // Bounds every later remote call of the process.
  void setOrbRequestTimeout(const TimeValue &timeout);

  CORBA::ORB_ptr orb() const { return orb_; }

private:
  CORBA::ORB_ptr orb_;
};

// A readable description of an ORB exception: repository id, and for system
// exceptions the minor code (with omniORB's name for it) and completion status.
std::string describeCorbaException(const CORBA::Exception &e);
