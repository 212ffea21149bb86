// The catalog format check: a text it lets through must format safely with
// the arguments of the default it stands in for.
#include <cstdio>
#include <string>

#include "platform/messages.h"

#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  char out[8192];
  if (catalog_text_fits(text.c_str(), "%s")) snprintf(out, sizeof out, text.c_str(), "abc");
  if (catalog_text_fits(text.c_str(), "%s %d")) snprintf(out, sizeof out, text.c_str(), "abc", 42);
  if (catalog_text_fits(text.c_str(), "%d %s %ld")) snprintf(out, sizeof out, text.c_str(), 7, "x", 8L);
  if (catalog_text_fits(text.c_str(), "%f %*d")) snprintf(out, sizeof out, text.c_str(), 1.5, 4, 7);
  if (catalog_text_fits(text.c_str(), "%ls")) snprintf(out, sizeof out, text.c_str(), L"w");
  return 0;
}
