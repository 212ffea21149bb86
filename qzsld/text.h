// UTF-8 handling of the service: wide texts of error records and clean JSON strings.
#pragma once
#include <string>

// UTF-8 as wide text for the wire (UTF-16 units: code points beyond the basic
// plane become surrogate pairs); every ill-formed byte becomes U+FFFD.
std::wstring utf8ToWide(const std::string &utf8);
// The text with every ill-formed byte replaced by U+FFFD.
std::string cleanUtf8(const std::string &text);
