// The wide-text conversions, both ways, on any bytes.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/widetext.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  std::string bytes(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), size));
  std::wstring wide = utf8_to_wide(bytes.c_str());
  std::string back = wide_to_utf8(wide.c_str());
  if (back.size() != wide_utf8_length(wide.c_str())) abort();
  // Valid UTF-8 survives the round trip unchanged.
  size_t at = 0, step = 0;
  while ((step = utf8_sequence_length(bytes.c_str() + at)) != 0) at += step;
  if (at == bytes.size() && back != bytes) abort();
  // Any 32-bit values, also lone surrogates and values beyond Unicode.
  std::wstring raw(size / sizeof(wchar_t), L'\0');
  memcpy(&raw[0], data, raw.size() * sizeof(wchar_t));
  if (wide_to_utf8(raw.c_str()).size() != wide_utf8_length(raw.c_str())) abort();
  return 0;
}
