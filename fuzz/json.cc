// The JSON string helper: any bytes give a string that jansson can write.
#include <cstdlib>
#include <string>

#include "platform/crvjson.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  json_t *value = crv_json_string(text.c_str(), 0, "");
  if (value == nullptr || !json_is_string(value)) abort();
  char *dumped = json_dumps(value, JSON_ENCODE_ANY);
  if (dumped == nullptr) abort();
  free(dumped);
  json_decref(value);
  return 0;
}
