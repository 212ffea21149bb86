#include "recordjson.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "text.h"

json_t *jsonText(const char *text) {
  if (!text)
    text = "";
  json_t *value = json_string(text);
  return value ? value : json_string(cleanUtf8(text).c_str());
}

std::string compactJson(const json_t *json) {
  char *text = json_dumps(json, JSON_COMPACT | JSON_ENCODE_ANY);
  std::string line = text ? text : "null";
  free(text);
  return line;
}

namespace {

[[noreturn]] void bad(const char *what) { throw DecodeError{"", what}; }

// Encoding of member values, chosen by the type of the member's getter.
json_t *put(CORBA::Long value) { return json_integer(value); }
json_t *put(CORBA::LongLong value) { return json_integer(value); }
json_t *put(CORBA::Boolean value) { return json_boolean(value); }
json_t *put(const char *value) { return jsonText(value); }
template <class T> json_t *put(const T *record) { return toJson(record); }
template <class T, class E, class H>
json_t *put(const _CORBA_Unbounded_Sequence_Value<T, E, H> &sequence) {
  return sequenceToJson(sequence);
}

// Decoding of member values; the null pointer argument names the type.
CORBA::Long take(json_t *json, CORBA::Long *) {
  if (!json)
    return 0;
  if (!json_is_integer(json))
    bad("expected an integer");
  json_int_t value = json_integer_value(json);
  if (value < INT32_MIN || value > INT32_MAX)
    bad("integer out of the range of a long");
  return (CORBA::Long)value;
}
CORBA::LongLong take(json_t *json, CORBA::LongLong *) {
  if (!json)
    return 0;
  if (!json_is_integer(json))
    bad("expected an integer");
  return json_integer_value(json);
}
CORBA::Boolean take(json_t *json, CORBA::Boolean *) {
  if (!json)
    return false;
  if (!json_is_boolean(json))
    bad("expected true or false");
  return json_is_true(json);
}
const char *take(json_t *json, const char **) {
  if (!json)
    return "";
  if (!json_is_string(json))
    bad("expected a string");
  return json_string_value(json);
}
template <class T> typename T::_var_type take(json_t *json, T **) {
  T *record = nullptr;
  decodeRecord(json, record);
  return record;
}
template <class S> auto take(json_t *json, S *) -> decltype(sequenceElement((S *)nullptr), S()) {
  std::unique_ptr<S> decoded(decodeElements<S>(json));
  return *decoded;
}

template <class T> constexpr bool isDataLayer() { return std::is_base_of<FW::BaseObject, T>::value; }

template <class T> void putExpansion(json_t *object, const T *record) {
  if constexpr (isDataLayer<T>()) {
    if (record->expansion().length() > 0)
      json_object_set_new(object, "expansion", put(record->expansion()));
  }
}

template <class T> void takeExpansion(json_t *object, T *record) {
  if constexpr (isDataLayer<T>()) {
    try {
      record->expansion(take(json_object_get(object, "expansion"), (FW::ExpansionAttributeSeq *)nullptr));
    } catch (DecodeError &e) {
      e.where = ".expansion" + e.where;
      throw;
    }
  }
}

// Refuses members that the record does not have; `names` ends with a null.
template <class T> void checkMembers(json_t *object, const char *const *names) {
  const char *key;
  json_t *value;
  json_object_foreach(object, key, value) {
    bool known = isDataLayer<T>() && strcmp(key, "expansion") == 0;
    for (const char *const *name = names; *name && !known; ++name)
      known = strcmp(key, *name) == 0;
    if (!known)
      throw DecodeError{"", std::string("unknown member \"") + key + "\""};
  }
}

}  // namespace

#define QZ_PUT(f) json_object_set_new(object, #f, put(record->f()));
#define QZ_TAKE(f) \
  try { \
    record->f(take(json_object_get(json, #f), (std::decay_t<decltype(record->f())> *)nullptr)); \
  } catch (DecodeError & e) { \
    e.where = "." #f + e.where; \
    throw; \
  }
#define QZ_NAME(f) #f,

#define QZ_DEFINE(NS, T) \
  json_t *toJson(const NS::T *record) { \
    if (!record) \
      return json_null(); \
    json_t *object = json_object(); \
    putExpansion(object, record); \
    QZ_FIELDS_##T(QZ_PUT) return object; \
  } \
  void decodeRecord(json_t *json, NS::T *&record) { \
    record = nullptr; \
    if (!json || json_is_null(json)) \
      return; \
    if (!json_is_object(json)) \
      bad("expected an object or null"); \
    static const char *const names[] = {QZ_FIELDS_##T(QZ_NAME) nullptr}; \
    checkMembers<NS::T>(json, names); \
    record = new OBV_##NS::T; \
    try { \
      takeExpansion(json, record); \
      QZ_FIELDS_##T(QZ_TAKE) \
    } catch (...) { \
      record->_remove_ref(); \
      record = nullptr; \
      throw; \
    } \
  }
QZ_RECORDS(QZ_DEFINE)

#define QZ_REGISTER(NS, T) \
  { \
    CORBA::ValueFactoryBase_var factory = new NS::T##_init; \
    CORBA::ValueFactory previous = orb->register_value_factory(NS::T::_PD_repoId, factory); \
    if (previous) \
      previous->_remove_ref(); \
  }

void registerValueFactories(CORBA::ORB_ptr orb) { QZ_RECORDS(QZ_REGISTER) }
