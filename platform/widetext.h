// Conversion between UTF-8 and 32-bit wide text (the ErrorRecord texts).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// One code point taken off UTF-8 text.
struct Utf8Step {
  uint32_t code_point;  // U+FFFD when the bytes are ill-formed
  size_t length;        // the sequence's bytes, or those of the maximal ill-formed subsequence (at least 1)
  bool valid;
};
// Decodes the sequence at the start of [text, end), text < end; a NUL byte is
// U+0000. Overlong forms, encoded surrogates and values above U+10FFFF are
// ill-formed. The tool and the service decode with it, each replacing
// ill-formed bytes in its own way.
Utf8Step utf8_next_code_point(const char *text, const char *end);

// UTF-8 bytes that `wide` needs (without the terminator); a UTF-16 surrogate
// pair counts as its character, invalid code points (lone surrogates, values
// above U+10FFFF) as U+FFFD.
size_t wide_utf8_length(const wchar_t *wide);
// `wide` as UTF-8, surrogate pairs joined; a null pointer gives "", invalid
// code points give U+FFFD.
std::string wide_to_utf8(const wchar_t *wide);
// UTF-8 as wide text; a null pointer gives L"". Each maximal ill-formed
// subsequence (a stray byte, a truncated or overlong sequence, an encoded
// surrogate or a value above U+10FFFF) becomes one U+FFFD.
std::wstring utf8_to_wide(const char *utf8);

// Length of the well-formed UTF-8 sequence at the start of the NUL-terminated
// `text`, or 0 when it does not start with one (also at the terminator).
size_t utf8_sequence_length(const char *text);
