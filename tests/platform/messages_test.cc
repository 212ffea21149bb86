#include "platform/messages.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "tests/platform/temphome.h"

namespace {

class MessagesTest : public TempHome {
protected:
  // Makes the built German catalog the one of `locale` under $TESSARK_HOME/msg.
  void install_german_as(const std::string &locale) {
    std::filesystem::create_directories(path("msg/" + locale));
    std::filesystem::create_symlink(std::string(QZ_CATALOG_DIR) + "/de_DE/qz.cat", path("msg/" + locale + "/qz.cat"));
  }
  char out[8192] = "";
};

// The catalog of the locale, else of its language (a language-only catalog
// serves every country); the English default when none may answer. Catalogs
// under the plain locale names are ignored.
TEST_F(MessagesTest, CatalogOfTheLocaleOrItsLanguageElseTheEnglishDefault) {
  for (const char *locale : {"de_DE", "de", "C", "POSIX", "C.UTF-8"}) install_german_as(locale);
  const char *german = "Keine SAN-Clients gefunden", *english = "No SAN clients found";
  for (const auto &[id, locale, text] : std::vector<std::tuple<const char *, const char *, const char *>>{
           {"ZrtFtc0051N", "de_DE.UTF-8@euro", german}, {"ZrtFtc0051N", "de_AT.UTF-8", german},
           {"ZrtFtc0099N", "de_DE.UTF-8", english},     {"ZrtFtc0051N", "fr_FR.UTF-8", english},
           {"ZrtFtc0051N", "C", english},               {"ZrtFtc0051N", "POSIX", english},
           {"ZrtFtc0051N", "C.UTF-8", english},         {"ZrtFtc0051N", "", english},
           {"ZrtFtc0051N", nullptr, english},  {"ZrtFtc0051N", "de_DE/../de_DE", english}}) {  // not out of msg/
    EXPECT_EQ(lookupMessage(id, locale, sizeof out, out, nullptr, 0, nullptr, english), text == english ? 1 : 0);
    EXPECT_STREQ(out, text) << id << " " << (locale ? locale : "null");
  }
}

TEST_F(MessagesTest, CatalogTextWithOtherConversionsIsNotTrusted) {
  write_file("src/xx.msg", "$quote \"\n$set 1\n"
                           "1 \"one %d\"\n"          // default takes a string
                           "2 \"two %s %s\"\n"       // one argument too many
                           "3 \"three\"\n"           // one argument too few
                           "4 \"four %n\"\n"         // writes through a pointer
                           "5 \"five %2$d %1$s\"\n"  // reordered, same types
                           "6 \"six %ld\"\n"         // other width
                           "7 \"seven %1$s %3$d\"\n" // a gap in the positions
                           "8 \"eight %5.2f%% %-*d\"\n"
                           "9 \"nine %\"\n"
                           "10 \"ten %2$d %2147483648$s\"\n"   // beyond any int
                           "11 \"eleven %4294967297$s %2$d\"\n"  // 1 if cut to 32 bits
                           "12 \"twelve %2147483648s %d\"\n");   // a width beyond any int
  std::filesystem::create_directories(path("msg/xx_YY"));
  std::string command = std::string(QZ_GENCAT) + " -o " + path("msg/xx_YY/qz.cat") + " " + path("src/xx.msg");
  ASSERT_EQ(system(command.c_str()), 0) << command;
  const char *defaulted[] = {"01", "02", "03", "04", "06", "07", "09", "10", "11", "12"};
  for (const char *n : defaulted) {
    lookupMessage((std::string("ZrtFtc00") + n + "N").c_str(), "xx_YY", sizeof out, out, nullptr, 0, nullptr,
                  "default %s %d", "abc", 42);
    EXPECT_STREQ(out, "default abc 42") << n;
  }
  lookupMessage("ZrtFtc0005N", "xx_YY", sizeof out, out, nullptr, 0, nullptr, "default %s %d", "abc", 42);
  EXPECT_STREQ(out, "five 42 abc");
  EXPECT_EQ(lookupMessage("ZrtFtc0008N", "xx_YY", sizeof out, out, nullptr, 0, nullptr, "%f%% %*d", 1.5, 4, 7), 0);
  EXPECT_STREQ(out, "eight  1.50% 7   ");
}

TEST(LocaleSettings, PrecedenceIsLcAllThenCategoryThenLang) {
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LC_TIME", "LC_COLLATE", "LC_NUMERIC"}) unsetenv(name);
  char messages[256], ctype[256], time[256], collate[256], numeric[256];
  auto read = [&] {
    int status = -1;
    getLocaleSettings(messages, sizeof messages, ctype, sizeof ctype, time, sizeof time, collate,
                      sizeof collate, numeric, sizeof numeric, &status);
    EXPECT_EQ(status, 0);
    return std::string(messages) + " " + ctype + " " + time + " " + collate + " " + numeric;
  };
  setenv("LANG", "fr_FR.UTF-8", 1);
  setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  setenv("LC_TIME", "", 1);  // empty counts as unset
  EXPECT_EQ(read(), "de_DE.UTF-8 fr_FR.UTF-8 fr_FR.UTF-8 fr_FR.UTF-8 fr_FR.UTF-8");
  setenv("LC_ALL", "xx_YY", 1);  // need not be an installed locale
  EXPECT_EQ(read(), "xx_YY xx_YY xx_YY xx_YY xx_YY");
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LC_TIME", "LANG"}) unsetenv(name);
  EXPECT_EQ(read(), "C C C C C");
}

}  // namespace
