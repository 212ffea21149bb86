#include "platform/shown.h"

#include <cstring>

#include "platform/widetext.h"

static bool hidden(uint32_t c, bool keepLines) {
  if (keepLines && (c == '\n' || c == '\t')) return false;
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

std::string shownText(const char *text, bool keepLines) {
  std::string shown;
  if (text == nullptr) return shown;
  const char *at = text, *end = text + strlen(text);
  shown.reserve(end - at);
  while (at < end) {
    // Printable ASCII, nearly every byte a listing shows, needs no decoding.
    if (*at >= 0x20 && *at < 0x7F) {
      shown += *at++;
      continue;
    }
    Utf8Step step = utf8_next_code_point(at, end);
    if (!step.valid)
      shown.append(step.length, '?');
    else if (hidden(step.code_point, keepLines))
      shown += '?';
    else
      shown.append(at, step.length);
    at += step.length;
  }
  return shown;
}
