#include "text.h"

#include "platform/widetext.h"

namespace {

// Calls `take` with each code point of `text` and the bytes it was read
// from. An ill-formed byte becomes a U+FFFD of its own: the bytes after it
// are decoded afresh, even when they continue its sequence.
template <class Take> void eachCodePoint(const std::string &text, Take take) {
  const char *at = text.data(), *end = at + text.size();
  while (at < end) {
    Utf8Step step = utf8_next_code_point(at, end);
    size_t length = step.valid ? step.length : 1;
    take(step, at, length);
    at += length;
  }
}

}  // namespace

std::wstring utf8ToWide(const std::string &utf8) {
  std::wstring wide;
  eachCodePoint(utf8, [&](const Utf8Step &step, const char *, size_t) {
    // Wide text travels as UTF-16: code points beyond the basic plane go as
    // surrogate pairs.
    uint32_t cp = step.code_point;
    if (cp > 0xFFFF) {
      wide.push_back((wchar_t)(0xD800 + ((cp - 0x10000) >> 10)));
      wide.push_back((wchar_t)(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      wide.push_back((wchar_t)cp);
    }
  });
  return wide;
}

std::string cleanUtf8(const std::string &text) {
  std::string clean;
  eachCodePoint(text, [&](const Utf8Step &step, const char *bytes, size_t length) {
    if (step.valid)
      clean.append(bytes, length);
    else
      clean += "\xEF\xBF\xBD";
  });
  return clean;
}
