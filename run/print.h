// The one way a listing writes its records. Each field is one call that
// serves every form of the run:
//   compact text  one line per record, its tag and then the fields, each
//                 after a single space;
//   verbose text  one line per field: the label padded to the record's width,
//                 ": " and the value ("-verbose");
//   JSON          a key of the record's object ("-json", "-json_compact").
// "-verbose" wins over JSON for the fields; the containers of a JSON document
// are still built, so such a document holds only its lists. Texts are
// cleaned for text forms (shownText); JSON keeps them as they are, escaped.
#pragma once
#include <jansson.h>

// The forms a field is written in; most fields are written in every form.
enum {
  IN_COMPACT = 1,
  IN_VERBOSE = 2,
  IN_JSON = 4,
  IN_TEXT = IN_COMPACT | IN_VERBOSE,
  IN_ALL = IN_TEXT | IN_JSON
};

// The form the fields of this run are written in: IN_COMPACT, IN_VERBOSE or IN_JSON.
int printForm();

// Starts a record: `tag` opens its compact line (null: the record has none),
// `object` takes its JSON fields (null: none), its verbose labels are padded
// to `width` after `indent`.
void openRecord(const char *tag, json_t *object, int width, const char *indent = "");
// Writes a field in the `forms` that include the run's form; `label` is the
// verbose label, or null when it is the JSON key.
void printText(int forms, const char *key, const char *label, const char *value);
void printInt(int forms, const char *key, const char *label, long long value);
// Ends the record's compact line.
void closeRecord();
// An empty line, in the `forms` that include the run's form.
void printEmptyLine(int forms);

// In JSON mode a new object appended to `array` (when not null), which owns
// it; null otherwise. The caller owns an object without an array.
json_t *openJsonObject(json_t *array);
// A new object for a record of `array` whose fields are written as JSON;
// null when they are not, or without an array.
json_t *openJsonRecord(json_t *array);
// A new array set under `key` of `object`, null without an object.
json_t *openJsonArray(json_t *object, const char *key);
// Writes `document` to standard output (compact with "-json_compact", else
// indented with sorted keys) and a newline, then releases it. DEL and the C1
// controls, which the JSON library writes as they are, are written as \u
// escapes, so that the document holds no control character at all.
void printJson(json_t *document);
