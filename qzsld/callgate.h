// The gate every operation passes first: its journal line, the caller's
// admission and the fault rule that matches it. Also the helpers that render arguments for the journal and
// turn store answers and fault replies into results.
#pragma once
#include <functional>
#include <string>

#include "faults.h"
#include "recordjson.h"

// How the operation must go on after its arrival.
struct Arrival {
  FaultAction action;  // None: answer from the store
  json_t *result;      // Reply: the result to decode (owned by the rule)
};

// Journals "op args", counts the call and applies a matching rule: raises,
// delays or hangs here, and returns what the operation has to answer.
// `arg` is the first string argument (for record arguments, their hostName).
// `raises` is false for operations that declare no service exception; a
// "raise" rule gives them CORBA::UNKNOWN.
Arrival arrive(const char *op, const std::string &renderedArgs, const std::string &arg,
               bool raises = true);

// The same without the journal line, for questions that every caller asks.
Arrival arriveUnjournalled(const char *op, const std::string &arg, bool raises = true);

// Journal renderings of arguments (each with its leading space).
std::string text(const char *value);
std::string kind(int machineType);
std::string flag(bool value);
std::string number(long value);
template <class T> std::string record(const T *value) {
  Json json(toJson(value));
  return " " + compactJson(json.get());
}
template <class S> std::string sequence(const S &value) {
  Json json(sequenceToJson(value));
  return " " + compactJson(json.get());
}

// Runs a store call; a database failure becomes a refusal.
json_t *fromStore(const std::string &host, const std::function<json_t *()> &call);
void inStore(const std::string &host, const std::function<void()> &call);

// A result record or sequence from JSON (a store answer or a fault reply).
template <class T> T *answerRecord(json_t *json) {
  T *value = nullptr;
  decode(json, "result", value);
  return value;
}
template <class S> S *answerSequence(json_t *json) { return decodeSequence<S>(json, "result"); }
