// Conversion between UTF-8 and 32-bit wide text (the ErrorRecord texts).
#pragma once
#include <cstddef>
#include <string>

// UTF-8 bytes that `wide` needs (without the terminator); invalid code points
// count as U+FFFD.
size_t wide_utf8_length(const wchar_t *wide);
// `wide` as UTF-8; a null pointer gives "".
std::string wide_to_utf8(const wchar_t *wide);
// UTF-8 as wide text; invalid bytes become U+FFFD.
std::wstring utf8_to_wide(const char *utf8);
