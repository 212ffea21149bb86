// SQLite access of the store: the one connection, cached statements,
// transactions, and records (JSON in the record encoding) as table rows.
// Callers hold the store's mutex.
#pragma once
#include <functional>
#include <jansson.h>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace store {

extern sqlite3 *storeDb;

// Throws std::runtime_error with SQLite's message.
[[noreturn]] void failed(const std::string &what);
void exec(const std::string &sql);
// A prepared statement for `sql`, reset and ready for binding. Statements are
// kept until closeStatements.
sqlite3_stmt *statement(const std::string &sql);
void closeStatements();

inline void bindValue(sqlite3_stmt *s, int at, sqlite3_int64 value) { sqlite3_bind_int64(s, at, value); }
inline void bindValue(sqlite3_stmt *s, int at, int value) { sqlite3_bind_int64(s, at, value); }
inline void bindValue(sqlite3_stmt *s, int at, double value) { sqlite3_bind_double(s, at, value); }
inline void bindValue(sqlite3_stmt *s, int at, const std::string &value) {
  sqlite3_bind_text(s, at, value.data(), value.size(), SQLITE_TRANSIENT);
}
inline void bindValue(sqlite3_stmt *s, int at, const std::optional<std::string> &value) {
  if (value)
    bindValue(s, at, *value);
  else
    sqlite3_bind_null(s, at);
}
inline void bindValue(sqlite3_stmt *s, int at, const std::optional<sqlite3_int64> &value) {
  if (value)
    sqlite3_bind_int64(s, at, *value);
  else
    sqlite3_bind_null(s, at);
}

template <class... A> sqlite3_stmt *query(const std::string &sql, const A &...args) {
  sqlite3_stmt *s = statement(sql);
  int at = 0;
  (bindValue(s, ++at, args), ...);
  return s;
}

// Steps a statement: true for a row, false when done.
bool next(sqlite3_stmt *s);

// Runs a statement that returns no rows; the number of rows it changed.
template <class... A> int run(const std::string &sql, const A &...args) {
  sqlite3_stmt *s = query(sql, args...);
  while (next(s)) {
  }
  return sqlite3_changes(storeDb);
}

// The first column of the first row, if there is a row.
template <class... A> std::optional<sqlite3_int64> scalar(const std::string &sql, const A &...args) {
  sqlite3_stmt *s = query(sql, args...);
  std::optional<sqlite3_int64> value;
  if (next(s) && sqlite3_column_type(s, 0) != SQLITE_NULL)
    value = sqlite3_column_int64(s, 0);
  sqlite3_reset(s);
  return value;
}

// A text column ("" for NULL).
std::string text(sqlite3_stmt *s, int column);

// Runs `body` as one transaction: committed when it returns, rolled back when
// it throws.
void transaction(const std::function<void()> &body);
// Runs the reads of `body` in one read transaction: one snapshot, and one
// lock instead of one per statement.
json_t *reading(const std::function<json_t *()> &body);

// How a record maps onto the columns of its table. Kinds: 'i' long,
// 'I' long long, 'b' boolean, 's' string, 'j' a member kept as JSON text,
// 'p' presence flag of a nested record whose members follow as "outer.inner".
struct Column {
  const char *key;
  char kind;
};
struct TableLayout {
  const char *name;
  std::vector<Column> columns;
};

std::string columnName(const Column &column);
// ", name TYPE" for every column, for CREATE TABLE.
std::string columnsDdl(const TableLayout &layout);
// "alias.id, alias.c1, ..." for reading a record of `layout` after its id.
std::string selectList(const TableLayout &layout, const std::string &alias);

// A link column of a row: its parent or a referenced row, possibly NULL.
struct Link {
  const char *column;
  std::optional<sqlite3_int64> id;
  const char *text = nullptr;
};

// Inserts (or, with `conflict` naming the unique columns, upserts) a row for
// `record` and returns its id.
sqlite3_int64 insertRecord(const TableLayout &layout, const std::vector<Link> &links, json_t *record,
                           const char *conflict = nullptr);
// Reads a record written by insertRecord from the columns of selectList, from
// column `at` on; advances `at` past them. JSON null when the id is NULL.
json_t *readRecord(sqlite3_stmt *s, const TableLayout &layout, int &at);

}  // namespace store
