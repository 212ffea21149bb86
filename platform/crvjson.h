// JSON string values for the listings.
#pragma once
#include <jansson.h>

// A new JSON string holding `text` ("" for null). Bytes that are not valid
// UTF-8 are kept visible as "\xNN" escapes in the text, so no key is dropped.
json_t *crv_json_string(const char *text, int flags, const char *fallback);
