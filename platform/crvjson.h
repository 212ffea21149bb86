// JSON string values for the listings.
#pragma once
#include <jansson.h>

// A new JSON string holding `text` ("" for null); never null unless memory
// runs out. jansson refuses text that is not valid UTF-8, which would drop
// the key the value was meant for; instead each byte that is not part of a
// well-formed UTF-8 sequence is written as the four characters "\xNN" (NN the
// byte in upper-case hex), so "ab\xFFc" gives the JSON string "ab\\xFFc".
// `flags` is not used; `fallback` is only tried when the string cannot be
// allocated.
json_t *crv_json_string(const char *text, int flags, const char *fallback);
