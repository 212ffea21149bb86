#include "platform/crvjson.h"

#include <cstdio>
#include <string>

#include "platform/widetext.h"

json_t *crv_json_string(const char *text, int flags, const char *fallback) {
  if (text == nullptr) text = "";
  std::string clean;
  while (*text != '\0') {
    size_t length = utf8_sequence_length(text);
    if (length == 0) {
      char escape[5];
      snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(*text));
      clean += escape;
      ++text;
    } else {
      clean.append(text, length);
      text += length;
    }
  }
  json_t *value = json_stringn(clean.data(), clean.size());
  if (value == nullptr) value = json_string(fallback != nullptr ? fallback : "");
  return value;
}
