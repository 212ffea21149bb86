#include "text.h"

// Decodes one code point at `at`; returns its length, or 0 when the bytes
// there are not well-formed UTF-8.
static size_t decodeOne(const std::string &s, size_t at, char32_t &cp) {
  unsigned char c = s[at];
  size_t length;
  char32_t min;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    length = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (at + length > s.size())
    return 0;
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = s[at + i];
    if ((next & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return length;
}

std::wstring utf8ToWide(const std::string &utf8) {
  std::wstring wide;
  for (size_t at = 0; at < utf8.size();) {
    char32_t cp;
    size_t length = decodeOne(utf8, at, cp);
    if (!length)
      cp = 0xFFFD;
    // Wide text travels as UTF-16: code points beyond the basic plane go as
    // surrogate pairs.
    if (cp > 0xFFFF) {
      wide.push_back((wchar_t)(0xD800 + ((cp - 0x10000) >> 10)));
      wide.push_back((wchar_t)(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      wide.push_back((wchar_t)cp);
    }
    at += length ? length : 1;
  }
  return wide;
}

std::string cleanUtf8(const std::string &text) {
  std::string clean;
  for (size_t at = 0; at < text.size();) {
    char32_t cp;
    size_t length = decodeOne(text, at, cp);
    clean += length ? text.substr(at, length) : "\xEF\xBF\xBD";
    at += length ? length : 1;
  }
  return clean;
}
