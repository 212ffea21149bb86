#include "platform/widetext.h"

#include <cstdint>
#include <cstring>

namespace {

const uint32_t REPLACEMENT = 0xFFFD;

// Surrogates and values beyond Unicode cannot be encoded; they print as U+FFFD.
uint32_t valid_code_point(wchar_t wide) {
  uint32_t cp = static_cast<uint32_t>(wide);
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return REPLACEMENT;
  return cp;
}

// Takes one code point off `wide`. A high surrogate followed by a low one is
// a UTF-16 pair: QZSL sends characters beyond U+FFFF that way, since omniORB's
// UTF-16 code set refuses them as single wide characters.
uint32_t next_code_point(const wchar_t *&wide) {
  uint32_t high = static_cast<uint32_t>(wide[0]);
  uint32_t low = static_cast<uint32_t>(wide[1]);
  if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
    wide += 2;
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
  }
  return valid_code_point(*wide++);
}

size_t encoded_length(uint32_t cp) {
  if (cp < 0x80) return 1;
  if (cp < 0x800) return 2;
  if (cp < 0x10000) return 3;
  return 4;
}

void append_utf8(std::string &out, uint32_t cp) {
  size_t length = encoded_length(cp);
  if (length == 1) {
    out += static_cast<char>(cp);
    return;
  }
  static const unsigned char LEAD[] = {0, 0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(LEAD[length] | (cp >> (6 * (length - 1))));
  for (size_t i = length - 1; i > 0; --i) out += static_cast<char>(0x80 | ((cp >> (6 * (i - 1))) & 0x3F));
}

uint32_t decode(const unsigned char *p, size_t length) {
  static const unsigned char LEAD_MASK[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  uint32_t cp = p[0] & LEAD_MASK[length];
  for (size_t i = 1; i < length; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  return cp;
}

}  // namespace

// The second byte's range excludes overlong forms, surrogates and values past
// U+10FFFF, as in the Unicode table of well-formed sequences.
Utf8Step utf8_next_code_point(const char *text, const char *end) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
  size_t available = static_cast<size_t>(end - text);
  unsigned char lead = p[0];
  if (lead < 0x80) return {lead, 1, true};
  size_t length;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead == 0xE0) length = 3, low = 0xA0;
  else if (lead == 0xED) length = 3, high = 0x9F;
  else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
  else if (lead == 0xF0) length = 4, low = 0x90;
  else if (lead == 0xF4) length = 4, high = 0x8F;
  else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
  else return {REPLACEMENT, 1, false};
  for (size_t i = 1; i < length; ++i) {
    if (i == available || p[i] < (i == 1 ? low : 0x80) || p[i] > (i == 1 ? high : 0xBF))
      return {REPLACEMENT, i, false};
  }
  return {decode(p, length), length, true};
}

size_t utf8_sequence_length(const char *text) {
  if (text == nullptr || *text == '\0') return 0;
  // No sequence is longer than four bytes, so the terminator need not be sought further.
  Utf8Step step = utf8_next_code_point(text, text + strnlen(text, 4));
  return step.valid ? step.length : 0;
}

size_t wide_utf8_length(const wchar_t *wide) {
  size_t total = 0;
  if (wide == nullptr) return 0;
  while (*wide != L'\0') total += encoded_length(next_code_point(wide));
  return total;
}

std::string wide_to_utf8(const wchar_t *wide) {
  std::string out;
  if (wide == nullptr) return out;
  out.reserve(wide_utf8_length(wide));
  while (*wide != L'\0') append_utf8(out, next_code_point(wide));
  return out;
}

std::wstring utf8_to_wide(const char *utf8) {
  std::wstring out;
  if (utf8 == nullptr) return out;
  for (const char *end = utf8 + strlen(utf8); utf8 < end;) {
    Utf8Step step = utf8_next_code_point(utf8, end);
    out += static_cast<wchar_t>(step.code_point);
    utf8 += step.length;
  }
  return out;
}
