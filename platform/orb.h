// The ORB wrapper: starts omniORB and locates a service object on a host.
#pragma once
#include <ace/Time_Value.h>
#include <omniORB4/CORBA.h>
#include <string>

class ACE_Event_Handler;
template <class T> class ACE_Abstract_Timer_Queue;

class Orb {
public:
  Orb(const std::string &name, const std::string &service, const std::string &config,
      bool threaded, unsigned long queueSize);
  // Leaves the ORB and every reference obtained through it running.
  ~Orb();

  // Starts the ORB (once per process); throws on failure.
  void init(ACE_Abstract_Timer_Queue<ACE_Event_Handler *> *timerQueue);

  // corbaloc:iiop:1.2@127.0.0.1:<QZSL_PORT>/<service>/<object> for the local
  // host; `connectTimeout` bounds the connection attempt. Returns a nil
  // reference when the object does not exist; throws on other failures.
  CORBA::Object_ptr connectToObject(const std::string &host, const std::string &service,
                                    const std::string &object, const ACE_Time_Value &connectTimeout,
                                    const ACE_Time_Value &retryDelay, const bool &verify,
                                    const bool &secure);

  // Bounds every later remote call of the process.
  void setOrbRequestTimeout(const ACE_Time_Value &timeout);

  CORBA::ORB_ptr orb() const { return orb_; }

private:
  CORBA::ORB_ptr orb_;
};

// A readable description of an ORB exception: repository id, and for system
// exceptions the minor code (with omniORB's name for it) and completion status.
std::string describeCorbaException(const CORBA::Exception &e);
