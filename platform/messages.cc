#include "platform/messages.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <nl_types.h>
#include <string>
#include <vector>

#include "platform/debuglog.h"

namespace {

// Catalogs opened so far, by full path; failures are kept as well so that a
// missing catalog costs one open per process, not one per message. Never
// destroyed: exit handlers may still look a message up.
std::map<std::string, nl_catd> &open_catalogs = *new std::map<std::string, nl_catd>;
std::mutex catalogs_lock;

const nl_catd NO_CATALOG = reinterpret_cast<nl_catd>(-1);

void copy_text(char *out, size_t size, const char *text) {
  if (out != nullptr && size > 0) snprintf(out, size, "%s", text);
}

const char *first_set(std::initializer_list<const char *> names) {
  for (const char *name : names) {
    const char *value = getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// The locale of one category by the POSIX precedence: LC_ALL, the category's
// own variable, LANG, else "C". setlocale is not asked: the named locale need
// not be installed for its message catalog to exist.
const char *category_locale(const char *variable) { return first_set({"LC_ALL", variable, "LANG"}); }

// Splits "ZrtFtc0021N" into set and message number.
bool parse_message_id(const char *id, int *set, int *number) {
  if (id == nullptr || strlen(id) != 11 || strncmp(id, "Zrt", 3) != 0 || id[10] != 'N') return false;
  std::string component(id + 3, 3);
  if (component == "Ftc") *set = 1;
  else if (component == "Com") *set = 2;
  else if (component == "Dup") *set = 3;
  else return false;
  for (int i = 6; i < 10; ++i)
    if (!isdigit(static_cast<unsigned char>(id[i]))) return false;
  *number = atoi(std::string(id + 6, 4).c_str());
  return true;
}

bool is_plain_locale(const char *locale) {
  return locale == nullptr || *locale == '\0' || strcmp(locale, "C") == 0 ||
         strcmp(locale, "POSIX") == 0 || strncmp(locale, "C.", 2) == 0;
}

// "de_DE.UTF-8@euro" -> "de_DE.UTF-8@euro", "de_DE.UTF-8", "de_DE", "de".
std::vector<std::string> locale_candidates(const std::string &locale) {
  std::vector<std::string> names;
  auto add = [&names](const std::string &name) {
    if (!name.empty() && (names.empty() || names.back() != name)) names.push_back(name);
  };
  add(locale);
  std::string name = locale.substr(0, locale.find('@'));
  add(name);
  name = name.substr(0, name.find('.'));
  add(name);
  add(name.substr(0, name.find('_')));
  return names;
}

nl_catd catalog_for(const std::string &locale) {
  std::string path = std::string(tessark_home()) + "/msg/" + locale + "/qz.cat";
  auto found = open_catalogs.find(path);
  if (found != open_catalogs.end()) return found->second;
  // A path with a slash makes catopen skip NLSPATH.
  nl_catd catalog = catopen(path.c_str(), NL_CAT_LOCALE);
  open_catalogs[path] = catalog;
  return catalog;
}

// The catalog text of (set, number) in `locale` or its fallbacks, or null.
const char *catalog_text(const char *locale, int set, int number) {
  if (is_plain_locale(locale)) return nullptr;
  // Locale names come from the environment; one that could climb out of the
  // catalog directory is not a locale.
  if (strchr(locale, '/') != nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(catalogs_lock);
  for (const std::string &name : locale_candidates(locale)) {
    nl_catd catalog = catalog_for(name);
    if (catalog == NO_CATALOG) continue;
    const char *text = catgets(catalog, set, number, nullptr);
    if (text != nullptr) return text;
  }
  return nullptr;
}

// No message has this many arguments, nor needs a field this wide; a text
// that says otherwise is not one to hand to printf.
const int MAX_NUMBER = 8192;

// Reads the digits at `p` into *value; false when they exceed MAX_NUMBER.
bool take_number(const char *&p, int *value) {
  for (*value = 0; isdigit(static_cast<unsigned char>(*p)); ++p) {
    *value = *value * 10 + (*p - '0');
    if (*value > MAX_NUMBER) return false;
  }
  return true;
}

// One printf conversion as the argument list sees it: the type it consumes.
// '*' widths and precisions consume an int of their own.
bool parse_conversion(const char *&p, std::vector<std::pair<int, std::string>> &args, bool &positional,
                      int &next) {
  auto take_position = [&p](int *position) {
    const char *q = p;
    int value = 0;
    if (!take_number(q, &value) || q == p || *q != '$' || value <= 0) return false;
    *position = value;
    p = q + 1;
    return true;
  };
  auto add = [&](int position, const std::string &type) {
    args.emplace_back(positional ? position : ++next, type);
  };
  int position = 0;
  bool hasPosition = take_position(&position);
  if (args.empty() && next == 0) positional = hasPosition;
  if (hasPosition != positional) return false;
  while (*p != '\0' && strchr("-+ #0'I", *p) != nullptr) ++p;
  for (int part = 0; part < 2; ++part) {
    if (part == 1) {
      if (*p != '.') break;
      ++p;
    }
    if (*p == '*') {
      ++p;
      int starPosition = 0;
      if (positional && !take_position(&starPosition)) return false;
      add(starPosition, "int");
    } else {
      int ignored = 0;
      if (!take_number(p, &ignored)) return false;
    }
  }
  std::string length;
  while (*p != '\0' && strchr("hlLqjzZt", *p) != nullptr) length += *p++;
  char conversion = *p;
  if (conversion == '\0') return false;
  ++p;
  std::string type;
  if (strchr("diouxXc", conversion) != nullptr) {
    // Shorter integers are promoted to int when passed through "...".
    if (length == "h" || length == "hh") length.clear();
    type = (conversion == 'c' && length == "l") ? "wint" : length + "int";
  } else if (strchr("eEfFgGaA", conversion) != nullptr) {
    type = length == "L" ? "long double" : "double";
  } else if (conversion == 's') {
    type = length == "l" ? "wstring" : "string";
  } else if (conversion == 'p') {
    type = "pointer";
  } else if (conversion == 'm') {
    return true;
  } else {
    return false;  // %n and anything unknown are never taken from a catalog
  }
  add(position, type);
  return true;
}

// The argument types that `format` consumes, in argument order; false when
// the format is not one that can be trusted with the caller's arguments.
bool argument_types(const char *format, std::vector<std::string> &types) {
  std::vector<std::pair<int, std::string>> args;
  bool positional = false;
  int next = 0;
  for (const char *p = format; *p != '\0';) {
    if (*p++ != '%') continue;
    if (*p == '%') {
      ++p;
      continue;
    }
    if (!parse_conversion(p, args, positional, next)) return false;
  }
  int count = 0;
  for (const auto &arg : args) count = std::max(count, arg.first);
  types.assign(count, "");
  for (const auto &arg : args) {
    std::string &slot = types[arg.first - 1];
    if (!slot.empty() && slot != arg.second) return false;
    slot = arg.second;
  }
  for (const std::string &type : types)
    if (type.empty()) return false;  // a gap in the positions
  return true;
}

// Formats `id` for `locale` into `out`; true when the catalog's text was used.
bool format_message(const char *id, const char *locale, size_t size, char *out, const char *format,
                    va_list ap) {
  int set = 0, number = 0;
  const char *text = nullptr;
  if (parse_message_id(id, &set, &number)) text = catalog_text(locale, set, number);
  if (text != nullptr && !catalog_text_fits(text, format)) {
    logmsg(LOG_WARNING, (std::string("catalog text of ") + id + " for " + locale +
                         " does not match its arguments; using the default").c_str(),
           "lookupMessage");
    text = nullptr;
  }
  if (out != nullptr && size > 0) vsnprintf(out, size, text != nullptr ? text : format, ap);
  return text != nullptr;
}

}  // namespace

bool catalog_text_fits(const char *catalogText, const char *defaultFormat) {
  std::vector<std::string> catalogTypes, defaultTypes;
  return argument_types(catalogText, catalogTypes) && argument_types(defaultFormat, defaultTypes) &&
         catalogTypes == defaultTypes;
}

void getLocaleSettings(char *messages, size_t messagesSize, char *ctype, size_t ctypeSize,
                       char *time, size_t timeSize, char *collate, size_t collateSize,
                       char *numeric, size_t numericSize, int *status) {
  copy_text(messages, messagesSize, category_locale("LC_MESSAGES"));
  copy_text(ctype, ctypeSize, category_locale("LC_CTYPE"));
  copy_text(time, timeSize, category_locale("LC_TIME"));
  copy_text(collate, collateSize, category_locale("LC_COLLATE"));
  copy_text(numeric, numericSize, category_locale("LC_NUMERIC"));
  if (status != nullptr) *status = 0;
}

int lookupMessage(const char *id, const char *locale, size_t size, char *out,
                  const char *englishLocale, size_t englishSize, char *englishOut,
                  const char *format, ...) {
  if (format == nullptr) format = "";
  va_list ap;
  va_start(ap, format);
  bool fromCatalog = format_message(id, locale, size, out, format, ap);
  va_end(ap);
  if (englishLocale != nullptr && englishOut != nullptr && englishSize > 0) {
    va_start(ap, format);
    format_message(id, englishLocale, englishSize, englishOut, format, ap);
    va_end(ap);
  }
  return fromCatalog ? 0 : 1;
}
