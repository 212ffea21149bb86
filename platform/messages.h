// Message catalogs and locale names.
//
// A message id "Zrt<Cmp><nnnn>N" maps to catalog set <Cmp> (Ftc 1, Com 2, Dup 3)
// and message number <nnnn>. The catalog of a locale is the gencat file
//   $TESSARK_HOME/msg/<locale>/qz.cat
// and a lookup falls back from "de_DE.UTF-8" to "de_DE" to "de", then to the
// English default format given by the caller. The locales "C", "POSIX",
// "C.<codeset>" and "" have no catalog; a locale name holding "/" is refused.
// Catalogs are opened once per process and kept open.
#pragma once
#include <cstddef>

// Fills the five locale names (LC_ALL, else the category's own variable, else
// LANG, else "C"; an empty variable counts as unset), truncated to the
// buffers; status gets 0. Whether the locale is installed does not matter.
void getLocaleSettings(char *messages, size_t messagesSize, char *ctype, size_t ctypeSize,
                       char *time, size_t timeSize, char *collate, size_t collateSize,
                       char *numeric, size_t numericSize, int *status);

// Formats message `id` of `locale` (or the default `format`) into `out`. When
// `englishLocale` is "C", `englishOut` also receives the English form; a null
// `englishLocale` or `englishOut` leaves it alone. A catalog text is used only
// when it consumes the same argument types as `format`, in the same order
// (positional "%n$" conversions are allowed); otherwise, and for "%n", the
// default is used and a warning goes to the debug log.
// Returns 0 when the catalog had the message, 1 when the default was used.
int lookupMessage(const char *id, const char *locale, size_t size, char *out,
                  const char *englishLocale, size_t englishSize, char *englishOut,
                  const char *format, ...) __attribute__((format(printf, 8, 9)));

// True when `catalogText` consumes the same argument types as `defaultFormat`,
// in the same argument order, with no "%n", no position or field width above
// 8192 and no position left out: only then may it be formatted with the
// arguments meant for `defaultFormat`.
bool catalog_text_fits(const char *catalogText, const char *defaultFormat);
