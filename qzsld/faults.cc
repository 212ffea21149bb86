#include "faults.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

std::vector<FaultRule> rules;
std::map<std::string, int> callCounts;
std::mutex faultMutex;

// What an operation answers: 'v' nothing, 'b' a boolean, 'l' a long, 'o' an
// object, 'f' a facet, 'r' a record, 's' a sequence of records.
struct Operation {
  char result;
  void (*check)(json_t *json, const std::string &path);  // validates a reply
};

template <class T> void checkRecord(json_t *json, const std::string &path) {
  T *record = nullptr;
  decode(json, path, record);
  if (record)
    record->_remove_ref();
}

template <class S> void checkSequence(json_t *json, const std::string &path) {
  if (!json_is_array(json))
    throw std::runtime_error(path + ": expected an array");
  delete decodeSequence<S>(json, path);
}

void checkLong(json_t *json, const std::string &path) {
  if (!json_is_integer(json) || json_integer_value(json) < INT32_MIN || json_integer_value(json) > INT32_MAX)
    throw std::runtime_error(path + ": expected a long");
}

void checkBoolean(json_t *json, const std::string &path) {
  if (!json_is_boolean(json))
    throw std::runtime_error(path + ": expected true or false");
}

const std::map<std::string, Operation> OPERATIONS = {
    {"_is_a", {'b', checkBoolean}},
    {"getHostSession", {'o', nullptr}},
    {"getFATServiceManager", {'o', nullptr}},
    {"destroy", {'v', nullptr}},
    {"isManagerActive", {'b', checkBoolean}},
    {"isServiceConfigured", {'b', checkBoolean}},
    {"aqueryFacet", {'f', nullptr}},
    {"amodifyFacet", {'f', nullptr}},
    {"acontrolFacet", {'f', nullptr}},
    {"getFATServerList", {'s', checkSequence<SV::FATServerInfoSeq>}},
    {"getSANClientList", {'s', checkSequence<FT::SANClientInfoSeq>}},
    {"getUsageInfo", {'r', checkRecord<FT::FATUsageInfo>}},
    {"getFATServerInfo", {'r', checkRecord<SV::FATServerInfo>}},
    {"getSANClientInfo", {'r', checkRecord<FT::SANClientInfo>}},
    {"getServerConfiguration", {'r', checkRecord<SV::FATServerConfigurationInfo>}},
    {"getClientPipeList", {'s', checkSequence<CL::FATClientPipeInfoSeq>}},
    {"getServerPipeList", {'s', checkSequence<SV::FATPipeInfoSeq>}},
    {"getMediaServersCountOfClient", {'l', checkLong}},
    {"getServerDeviceList", {'s', checkSequence<SV::FATPseudoDeviceInfoSeq>}},
    {"getClientDeviceList", {'s', checkSequence<CL::FATClientDeviceInfoSeq>}},
    {"getFTConfigInfoSeq", {'s', checkSequence<FT::FTConfigInfoSeq>}},
    {"changeServerState", {'v', nullptr}},
    {"startClientDiscovery", {'v', nullptr}},
    {"addServer", {'r', checkRecord<SV::FATServerInfo>}},
    {"deleteServer", {'v', nullptr}},
    {"setServerPipeLimit", {'v', nullptr}},
    {"addClient", {'r', checkRecord<CL::FATClientInfo>}},
    {"addClientWithInfo", {'r', checkRecord<CL::FATClientInfo>}},
    {"deleteClient", {'v', nullptr}},
    {"setUsageInfo", {'v', nullptr}},
    {"addUsageInfo", {'v', nullptr}},
    {"deleteUsageInfo", {'v', nullptr}},
    {"setJobConcurrency", {'v', nullptr}},
    {"updateFTConfigInfoSeq", {'v', nullptr}},
    {"deleteFTConfigInfoSeq", {'v', nullptr}},
};

const char *const SYSTEM_EXCEPTIONS[] = {"TRANSIENT", "COMM_FAILURE", "INTERNAL", "NO_RESOURCES",
                                         "BAD_PARAM"};

[[noreturn]] void bad(const std::string &path, const std::string &what) {
  throw std::runtime_error(path + ": " + what);
}

std::string stringOf(json_t *rule, const char *key, const std::string &path) {
  json_t *value = json_object_get(rule, key);
  if (!json_is_string(value))
    bad(path, std::string("\"") + key + "\" must be a string");
  return json_string_value(value);
}

// Every number of a rule is a 32-bit field on the wire or in the matcher; a
// value that does not fit would silently wrap into another rule.
int intOf(json_t *object, const char *key, const std::string &path, int fallback) {
  json_t *value = json_object_get(object, key);
  if (!value)
    return fallback;
  if (!json_is_integer(value))
    bad(path, std::string("\"") + key + "\" must be an integer");
  json_int_t number = json_integer_value(value);
  if (number < INT32_MIN || number > INT32_MAX)
    bad(path, std::string("\"") + key + "\" must fit in 32 bits");
  return (int)number;
}

std::vector<ErrorText> errorsOf(json_t *rule, const std::string &path) {
  json_t *errors = json_object_get(rule, "errors");
  // An empty array raises an exception without records, which callers must survive too.
  if (!json_is_array(errors))
    bad(path, "\"raise\" needs an \"errors\" array");
  std::vector<ErrorText> records;
  size_t i;
  json_t *error;
  json_array_foreach(errors, i, error) {
    std::string at = path + ".errors[" + std::to_string(i) + "]";
    if (!json_is_object(error))
      bad(at, "expected an object");
    ErrorText record;
    record.errorCode = intOf(error, "errorCode", at, 0);
    record.recIndex = intOf(error, "recIndex", at, 0);
    if (json_object_get(error, "localizedMsg"))
      record.localizedMsg = stringOf(error, "localizedMsg", at);
    if (json_object_get(error, "additionalMsg"))
      record.additionalMsg = stringOf(error, "additionalMsg", at);
    records.push_back(record);
  }
  return records;
}

FaultAction actionOf(const std::string &name, const std::string &path) {
  static const std::map<std::string, FaultAction> actions = {
      {"raise", FaultAction::Raise}, {"nil", FaultAction::Nil},       {"reply", FaultAction::Reply},
      {"delay", FaultAction::Delay}, {"hang", FaultAction::Hang},     {"system", FaultAction::System},
      {"wrongtype", FaultAction::WrongType}, {"die", FaultAction::Die}};
  auto found = actions.find(name);
  if (found == actions.end())
    bad(path, "unknown action \"" + name + "\"");
  return found->second;
}

FaultRule ruleOf(json_t *json, const std::string &path) {
  if (!json_is_object(json))
    bad(path, "expected an object");
  FaultRule rule;
  rule.op = stringOf(json, "op", path);
  auto operation = OPERATIONS.find(rule.op);
  if (operation == OPERATIONS.end())
    bad(path, "unknown operation \"" + rule.op + "\"");
  char result = operation->second.result;
  if (json_object_get(json, "arg")) {
    rule.hasArg = true;
    rule.arg = stringOf(json, "arg", path);
  }
  rule.call = intOf(json, "call", path, 0);
  if (json_object_get(json, "call") && rule.call < 1)
    bad(path, "\"call\" counts from 1");
  rule.action = actionOf(stringOf(json, "action", path), path);
  switch (rule.action) {
  case FaultAction::Raise:
    rule.errors = errorsOf(json, path);
    rule.domain = intOf(json, "domain", path, FT_SERVICE_DOMAIN);
    rule.when = intOf(json, "when", path, -1);
    if (json_object_get(json, "hostName"))
      rule.hostName = stringOf(json, "hostName", path);
    break;
  case FaultAction::Nil:
    if (result != 'r' && result != 'o' && result != 'f')
      bad(path, "\"nil\" needs an operation that returns a record or an object");
    break;
  case FaultAction::Reply: {
    json_t *reply = json_object_get(json, "result");
    if (!operation->second.check)
      bad(path, "\"reply\" needs an operation that returns a value");
    if (!reply)
      bad(path, "\"reply\" needs a \"result\"");
    operation->second.check(reply, path + ".result");
    rule.result.reset(json_incref(reply));
    break;
  }
  case FaultAction::Delay:
    rule.ms = intOf(json, "ms", path, -1);
    if (rule.ms < 0)
      bad(path, "\"delay\" needs \"ms\" of at least 0");
    break;
  case FaultAction::System: {
    rule.exception = stringOf(json, "exception", path);
    bool known = false;
    for (const char *name : SYSTEM_EXCEPTIONS)
      known = known || rule.exception == name;
    if (!known)
      bad(path, "unknown system exception \"" + rule.exception + "\"");
    break;
  }
  case FaultAction::WrongType:
    if (result != 'f')
      bad(path, "\"wrongtype\" applies only to aqueryFacet, amodifyFacet and acontrolFacet");
    break;
  default:
    break;
  }
  return rule;
}

}  // namespace

void loadFaults(const std::string &path) {
  json_error_t error;
  Json document(json_load_file(path.c_str(), 0, &error));
  if (!document)
    throw std::runtime_error(path + ":" + std::to_string(error.line) + ": " + error.text);
  json_t *list = json_object_get(document.get(), "rules");
  if (!json_is_object(document.get()) || !json_is_array(list))
    throw std::runtime_error(path + ": expected {\"rules\": [...]}");
  std::vector<FaultRule> loaded;
  size_t i;
  json_t *rule;
  json_array_foreach(list, i, rule) loaded.push_back(ruleOf(rule, "rules[" + std::to_string(i) + "]"));
  std::lock_guard<std::mutex> lock(faultMutex);
  rules = std::move(loaded);
}

const FaultRule *matchFault(const std::string &op, const std::string &arg) {
  std::lock_guard<std::mutex> lock(faultMutex);
  int call = ++callCounts[op];
  for (const FaultRule &rule : rules)
    if (rule.op == op && (!rule.hasArg || rule.arg == arg) && (!rule.call || rule.call == call))
      return &rule;
  return nullptr;
}
