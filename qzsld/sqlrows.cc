#include "sqlrows.h"

#include <cstring>
#include <map>
#include <stdexcept>

#include "answercache.h"
#include "recordjson.h"

namespace store {

sqlite3 *storeDb = nullptr;

static std::map<std::string, sqlite3_stmt *> statements;

[[noreturn]] void failed(const std::string &what) {
  throw std::runtime_error(what + ": " + sqlite3_errmsg(storeDb));
}

void exec(const std::string &sql) {
  char *message = nullptr;
  if (sqlite3_exec(storeDb, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error("database: " + text);
  }
}

sqlite3_stmt *statement(const std::string &sql) {
  sqlite3_stmt *&cached = statements[sql];
  if (!cached && sqlite3_prepare_v2(storeDb, sql.c_str(), -1, &cached, nullptr) != SQLITE_OK) {
    statements.erase(sql);
    failed("database: preparing " + sql);
  }
  sqlite3_reset(cached);
  sqlite3_clear_bindings(cached);
  return cached;
}

void closeStatements() {
  for (auto &entry : statements)
    sqlite3_finalize(entry.second);
  statements.clear();
}

bool next(sqlite3_stmt *s) {
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW)
    return true;
  if (rc != SQLITE_DONE)
    failed("database");
  return false;
}

std::string text(sqlite3_stmt *s, int column) {
  const unsigned char *value = sqlite3_column_text(s, column);
  return value ? (const char *)value : "";
}

void transaction(const std::function<void()> &body) {
  exec("BEGIN IMMEDIATE");
  invalidateAnswers();
  try {
    body();
    exec("COMMIT");
  } catch (...) {
    sqlite3_exec(storeDb, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

json_t *reading(const std::function<json_t *()> &body) {
  exec("BEGIN");
  try {
    json_t *result = body();
    exec("COMMIT");
    return result;
  } catch (...) {
    sqlite3_exec(storeDb, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}
std::string columnName(const Column &column) {
  std::string name = column.kind == 'p' ? std::string("has_") + column.key : column.key;
  for (char &c : name)
    if (c == '.')
      c = '_';
  return name;
}

std::string columnsDdl(const TableLayout &layout) {
  std::string ddl;
  for (const Column &column : layout.columns)
    ddl += ", " + columnName(column) + (column.kind == 's' || column.kind == 'j' ? " TEXT" : " INTEGER");
  return ddl;
}

// "alias.id, alias.c1, ..." for reading a record of `layout` after its id.
std::string selectList(const TableLayout &layout, const std::string &alias) {
  std::string list = alias + ".id";
  for (const Column &column : layout.columns)
    list += ", " + alias + "." + columnName(column);
  return list;
}
namespace {

// The member at a dotted path, or nullptr when it or an enclosing record is
// missing or null.
json_t *member(json_t *record, const char *key) {
  std::string path = key;
  json_t *at = record;
  size_t start = 0;
  for (;;) {
    size_t dot = path.find('.', start);
    std::string name = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    at = json_is_object(at) ? json_object_get(at, name.c_str()) : nullptr;
    if (!at || json_is_null(at))
      return nullptr;
    if (dot == std::string::npos)
      return at;
    start = dot + 1;
  }
}

// Sets a member at a dotted path whose enclosing records exist; returns false
// (and drops `value`) when one of them is absent.
bool setMember(json_t *record, const char *key, json_t *value) {
  std::string path = key;
  size_t dot = path.rfind('.');
  json_t *parent = dot == std::string::npos ? record : member(record, path.substr(0, dot).c_str());
  if (!json_is_object(parent)) {
    json_decref(value);
    return false;
  }
  json_object_set_new(parent, path.substr(dot == std::string::npos ? 0 : dot + 1).c_str(), value);
  return true;
}

void bindColumn(sqlite3_stmt *s, int at, const Column &column, json_t *record) {
  json_t *value = member(record, column.key);
  switch (column.kind) {
  case 'p':
    sqlite3_bind_int(s, at, value != nullptr);
    return;
  case 'j':
    if (value && !(json_is_array(value) && json_array_size(value) == 0 &&
                   strstr(column.key, "expansion")))
      bindValue(s, at, compactJson(value));
    else
      sqlite3_bind_null(s, at);
    return;
  case 's':
    if (value)
      bindValue(s, at, std::string(json_string_value(value)));
    else
      sqlite3_bind_null(s, at);
    return;
  case 'b':
    if (value)
      sqlite3_bind_int(s, at, json_is_true(value));
    else
      sqlite3_bind_null(s, at);
    return;
  default:
    if (value)
      sqlite3_bind_int64(s, at, json_integer_value(value));
    else
      sqlite3_bind_null(s, at);
  }
}

std::string insertSql(const TableLayout &layout, const std::vector<Link> &links, const char *conflict) {
  std::string names, marks;
  for (const Link &link : links) {
    names += std::string(names.empty() ? "" : ", ") + link.column;
    marks += marks.empty() ? "?" : ", ?";
  }
  std::string updates;
  for (const Column &column : layout.columns) {
    names += std::string(names.empty() ? "" : ", ") + columnName(column);
    marks += marks.empty() ? "?" : ", ?";
    updates += (updates.empty() ? "" : ", ") + columnName(column) + " = excluded." + columnName(column);
  }
  std::string sql = std::string("INSERT INTO ") + layout.name + " (" + names + ") VALUES (" + marks + ")";
  if (conflict)
    sql += std::string(" ON CONFLICT (") + conflict + ") DO UPDATE SET " + updates;
  return sql;
}

}  // namespace

sqlite3_int64 insertRecord(const TableLayout &layout, const std::vector<Link> &links, json_t *record,
                           const char *conflict) {
  sqlite3_stmt *s = statement(insertSql(layout, links, conflict));
  int at = 0;
  for (const Link &link : links) {
    if (link.text)
      bindValue(s, ++at, std::string(link.text));
    else
      bindValue(s, ++at, link.id);
  }
  for (const Column &column : layout.columns)
    bindColumn(s, ++at, column, record);
  while (next(s)) {
  }
  return sqlite3_last_insert_rowid(storeDb);
}

json_t *readRecord(sqlite3_stmt *s, const TableLayout &layout, int &at) {
  bool present = sqlite3_column_type(s, at++) != SQLITE_NULL;
  json_t *record = present ? json_object() : json_null();
  for (const Column &column : layout.columns) {
    int i = at++;
    if (!present || sqlite3_column_type(s, i) == SQLITE_NULL)
      continue;
    json_t *value;
    switch (column.kind) {
    case 'p':
      value = sqlite3_column_int(s, i) ? json_object() : json_null();
      break;
    case 'j':
      value = json_loads(text(s, i).c_str(), JSON_DECODE_ANY, nullptr);
      break;
    case 's':
      value = json_string(text(s, i).c_str());
      break;
    case 'b':
      value = json_boolean(sqlite3_column_int(s, i));
      break;
    default:
      value = json_integer(sqlite3_column_int64(s, i));
    }
    if (value)
      setMember(record, column.key, value);
  }
  return record;
}

}  // namespace store
