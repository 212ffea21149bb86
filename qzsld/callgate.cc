#include "callgate.h"

#include <csignal>
#include <stdexcept>
#include <unistd.h>

#include "callers.h"
#include "errors.h"
#include "journal.h"
#include "machinetype.h"
#include "stopping.h"

namespace SL = Corvane::Tessark::SL;

[[noreturn]] static void raiseSystem(const std::string &name) {
  if (name == "TRANSIENT")
    throw CORBA::TRANSIENT(0, CORBA::COMPLETED_NO);
  if (name == "COMM_FAILURE")
    throw CORBA::COMM_FAILURE(0, CORBA::COMPLETED_NO);
  if (name == "INTERNAL")
    throw CORBA::INTERNAL(0, CORBA::COMPLETED_NO);
  if (name == "NO_RESOURCES")
    throw CORBA::NO_RESOURCES(0, CORBA::COMPLETED_NO);
  throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
}

[[noreturn]] static void raiseRule(const FaultRule &rule, const char *op, const std::string &arg, bool raises) {
  if (std::string(op) == "getHostSession") {
    Brantis::Tessark::FailureEventSeq events;
    events.length(rule.errors.size());
    for (size_t i = 0; i < rule.errors.size(); ++i) {
      events[i].code = rule.errors[i].errorCode;
      events[i].text = rule.errors[i].localizedMsg.c_str();
    }
    throw Brantis::Tessark::ActionFailedException(events);
  }
  if (!raises)
    throw CORBA::UNKNOWN(0, CORBA::COMPLETED_NO);
  throw serviceException(rule.hostName.empty() ? arg : rule.hostName, rule.errors, rule.domain, rule.when);
}

Arrival arrive(const char *op, const std::string &renderedArgs, const std::string &arg, bool raises) {
  journalCall(op, renderedArgs);
  admit(op, arg);
  return arriveUnjournalled(op, arg, raises);
}

Arrival arriveUnjournalled(const char *op, const std::string &arg, bool raises) {
  const FaultRule *rule = matchFault(op, arg);
  if (!rule)
    return {FaultAction::None, nullptr};
  switch (rule->action) {
  case FaultAction::Raise:
    raiseRule(*rule, op, arg, raises);
  case FaultAction::System:
    raiseSystem(rule->exception);
  case FaultAction::Delay:
    pauseFor(rule->ms);
    return {FaultAction::None, nullptr};
  case FaultAction::Hang:
    waitForStop();
    throw CORBA::TRANSIENT(0, CORBA::COMPLETED_NO);
  case FaultAction::Die:
    // As a killed service: no answer, every connection dropped, nothing
    // tidied. SIGKILL cannot be caught, so this does not return.
    kill(getpid(), SIGKILL);
    for (;;) pause();
  default:
    return {rule->action, rule->result.get()};
  }
}

std::string text(const char *value) {
  Json json(jsonText(value));
  return " " + compactJson(json.get());
}

std::string kind(int machineType) {
  return std::string(" ") + machineTypeName(machineType);
}

std::string flag(bool value) { return value ? " true" : " false"; }

std::string number(long value) { return " " + std::to_string(value); }

json_t *fromStore(const std::string &host, const std::function<json_t *()> &call) {
  try {
    return call();
  } catch (const std::runtime_error &e) {
    refuse(STORE_FAILURE, host, std::string("FT service database failure: ") + e.what());
  }
}

void inStore(const std::string &host, const std::function<void()> &call) {
  fromStore(host, [&] {
    call();
    return nullptr;
  });
}
