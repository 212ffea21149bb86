#include "run/print.h"

#include <cstdio>
#include <string>

#include "platform/crvjson.h"
#include "platform/shown.h"
#include "run/globals.h"
#include "run/output.h"

namespace {

// The record being written. Records never nest: a listing closes one before
// it opens the next, so one is enough.
struct record_t {
  const char *tag = nullptr;
  json_t *object = nullptr;
  size_t width = 0;
  const char *indent = "";
  std::string line;  // the compact line after its tag
};
record_t record;

void writeRow(const std::string &row) {
  fwrite(row.data(), 1, row.size(), stdout);
  endRunIfOutputFailed(false);
}

// A text field: appended to the compact line, or a verbose line of its own.
void writeField(const char *label, const std::string &value) {
  if (printForm() == IN_COMPACT) {
    record.line += ' ';
    record.line += value;
    return;
  }
  std::string row = record.indent;
  size_t labelEnd = row.size() + record.width;
  row += label;
  if (row.size() < labelEnd) row.resize(labelEnd, ' ');
  row += ": ";
  row += value;
  row += '\n';
  writeRow(row);
}

void setJson(const char *key, json_t *value) {
  if (record.object != nullptr && key != nullptr)
    json_object_set_new(record.object, key, value);
  else
    json_decref(value);
}

// Writes a chunk of a dumped document. Outside its strings a document is
// ASCII, so a DEL byte is a DEL in a string and a C2 byte the lead of a
// two-byte character, a C1 control when 80 to 9F follows (which may come in
// the next chunk: `data` carries a held-back C2 over). Everything else goes
// out in runs, as the library would write it.
bool isC1(unsigned char c) { return c >= 0x80 && c <= 0x9F; }

int writeEscaped(const char *buffer, size_t size, void *data) {
  bool &heldC2 = *static_cast<bool *>(data);
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(buffer);
  size_t run = 0;
  if (heldC2 && size > 0) {
    heldC2 = false;
    if (isC1(bytes[0]))
      printf("\\u%04X", bytes[run++]);
    else
      putchar(0xC2);
  }
  for (size_t i = run; i < size; ++i) {
    bool del = bytes[i] == 0x7F;
    if (!del && bytes[i] != 0xC2) continue;
    if (!del && i + 1 < size && !isC1(bytes[i + 1])) continue;
    fwrite(bytes + run, 1, i - run, stdout);
    run = i + 1;
    if (del) {
      printf("\\u%04X", 0x7F);
    } else if (i + 1 == size) {
      heldC2 = true;
    } else {
      printf("\\u%04X", bytes[++i]);
      run = i + 1;
    }
  }
  fwrite(bytes + run, 1, size - run, stdout);
  return ferror(stdout) ? -1 : 0;
}

}  // namespace

int printForm() { return vbose ? IN_VERBOSE : gJson ? IN_JSON : IN_COMPACT; }

void openRecord(const char *tag, json_t *object, int width, const char *indent) {
  record.tag = tag;
  record.object = object;
  record.width = width;
  record.indent = indent;
  record.line.clear();
}

void printText(int forms, const char *key, const char *label, const char *value) {
  if ((forms & printForm()) == 0) return;
  if (printForm() == IN_JSON)
    setJson(key, crv_json_string(value, 0, ""));
  else
    writeField(label ? label : key, shownText(value, false));
}

void printInt(int forms, const char *key, const char *label, long long value) {
  if ((forms & printForm()) == 0) return;
  if (printForm() == IN_JSON)
    setJson(key, json_integer(value));
  else
    writeField(label ? label : key, std::to_string(value));
}

void closeRecord() {
  if (printForm() == IN_COMPACT && record.tag != nullptr)
    writeRow(record.tag + record.line + '\n');
  openRecord(nullptr, nullptr, 0);
}

void printEmptyLine(int forms) {
  if ((forms & printForm()) != 0) writeRow("\n");
}

json_t *openJsonObject(json_t *array) {
  if (!gJson) return nullptr;
  json_t *object = json_object();
  if (array != nullptr) json_array_append_new(array, object);
  return object;
}

json_t *openJsonRecord(json_t *array) {
  return array != nullptr && printForm() == IN_JSON ? openJsonObject(array) : nullptr;
}

json_t *openJsonArray(json_t *object, const char *key) {
  if (object == nullptr) return nullptr;
  json_t *array = json_array();
  json_object_set_new(object, key, array);
  return array;
}

void printJson(json_t *document) {
  bool heldC2 = false;
  json_dump_callback(document, writeEscaped, &heldC2,
                     gJson_compact ? JSON_COMPACT : JSON_INDENT(2) | JSON_SORT_KEYS);
  if (heldC2) putchar(0xC2);
  json_decref(document);
  writeRow("\n");
}
