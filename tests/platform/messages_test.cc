#include "platform/messages.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/platform/temphome.h"

namespace {

class MessagesTest : public TempHome {
protected:
  // The built German catalog, visible under $TESSARK_HOME/msg.
  void link_built_catalogs() {
    std::filesystem::create_directory_symlink(QZ_CATALOG_DIR, path("msg"));
  }
  // Compiles `source` (gencat format) into the catalog of `locale`.
  void make_catalog(const std::string &locale, const std::string &source) {
    write_file("src/" + locale + ".msg", source);
    std::filesystem::create_directories(path("msg/" + locale));
    std::string command = std::string(QZ_GENCAT) + " -o " + path("msg/" + locale + "/qz.cat") + " " +
                          path("src/" + locale + ".msg");
    ASSERT_EQ(system(command.c_str()), 0) << command;
  }
  char out[8192] = "";
  char english[8192] = "";
};

TEST_F(MessagesTest, GermanTextFoundThroughLocaleFallback) {
  link_built_catalogs();
  EXPECT_EQ(lookupMessage("ZrtFtc0014N", "de_DE.UTF-8", sizeof out, out, nullptr, 0, nullptr,
                          "Invalid or missing arguments"),
            0);
  EXPECT_STREQ(out, "Ungültige oder fehlende Argumente");
  EXPECT_EQ(lookupMessage("ZrtCom0030N", "de_DE.UTF-8@euro", sizeof out, out, nullptr, 0, nullptr,
                          "%s: must be superuser to execute\n", "qzftconfig"),
            0);
  EXPECT_STREQ(out, "qzftconfig: Ausführung nur als Superuser möglich\n");
  EXPECT_EQ(lookupMessage("ZrtDup0500N", "de_DE", sizeof out, out, nullptr, 0, nullptr,
                          "Error occurred during initialization, check master configuration file"),
            0);
  EXPECT_STREQ(out, "Fehler bei der Initialisierung, bitte die Master-Konfigurationsdatei prüfen");
}

TEST_F(MessagesTest, LanguageOnlyCatalogServesEveryCountry) {
  std::filesystem::create_directories(path("msg/de"));
  std::filesystem::create_symlink(std::string(QZ_CATALOG_DIR) + "/de_DE/qz.cat", path("msg/de/qz.cat"));
  EXPECT_EQ(lookupMessage("ZrtFtc0051N", "de_AT.UTF-8", sizeof out, out, nullptr, 0, nullptr,
                          "No SAN clients found"),
            0);
  EXPECT_STREQ(out, "Keine SAN-Clients gefunden");
}

TEST_F(MessagesTest, EnglishDefaultWhenNoCatalogHasTheMessage) {
  link_built_catalogs();
  // An id the catalog lacks, a locale without catalog, and malformed ids.
  EXPECT_EQ(lookupMessage("ZrtFtc0099N", "de_DE.UTF-8", sizeof out, out, nullptr, 0, nullptr,
                          "Rescan result status for client %s = %d", "c1", 5),
            1);
  EXPECT_STREQ(out, "Rescan result status for client c1 = 5");
  EXPECT_EQ(lookupMessage("ZrtFtc0014N", "fr_FR.UTF-8", sizeof out, out, nullptr, 0, nullptr,
                          "Invalid or missing arguments"),
            1);
  EXPECT_STREQ(out, "Invalid or missing arguments");
  for (const char *id : {"ZrtXyz0014N", "ZrtFtc14N", "ZrtFtc0014X", "", static_cast<const char *>(nullptr)}) {
    EXPECT_EQ(lookupMessage(id, "de_DE.UTF-8", sizeof out, out, nullptr, 0, nullptr, "default %d", 7), 1)
        << (id ? id : "null");
    EXPECT_STREQ(out, "default 7");
  }
}

TEST_F(MessagesTest, PlainLocalesNeverUseACatalog) {
  // Catalogs placed under the plain locale names must be ignored.
  for (const char *locale : {"C", "POSIX", "C.UTF-8"})
    std::filesystem::create_directories(path(std::string("msg/") + locale)),
        std::filesystem::create_symlink(std::string(QZ_CATALOG_DIR) + "/de_DE/qz.cat",
                                        path(std::string("msg/") + locale + "/qz.cat"));
  for (const char *locale : {"C", "POSIX", "C.UTF-8", "", static_cast<const char *>(nullptr)}) {
    EXPECT_EQ(lookupMessage("ZrtFtc0014N", locale, sizeof out, out, nullptr, 0, nullptr,
                            "Invalid or missing arguments"),
              1);
    EXPECT_STREQ(out, "Invalid or missing arguments");
  }
}

TEST_F(MessagesTest, EnglishFormGoesToTheSecondBuffer) {
  link_built_catalogs();
  EXPECT_EQ(lookupMessage("ZrtCom0030N", "de_DE.UTF-8", sizeof out, out, "C", sizeof english, english,
                          "%s: must be superuser to execute\n", "qzftconfig"),
            0);
  EXPECT_STREQ(out, "qzftconfig: Ausführung nur als Superuser möglich\n");
  EXPECT_STREQ(english, "qzftconfig: must be superuser to execute\n");
  // Without an English locale the second buffer is left alone.
  snprintf(english, sizeof english, "untouched");
  lookupMessage("ZrtFtc0014N", "de_DE.UTF-8", sizeof out, out, nullptr, sizeof english, english, "x");
  EXPECT_STREQ(english, "untouched");
}

TEST_F(MessagesTest, CatalogTextWithOtherConversionsIsNotTrusted) {
  make_catalog("xx_YY", "$quote \"\n$set 1\n"
                        "1 \"one %d\"\n"          // default takes a string
                        "2 \"two %s %s\"\n"       // one argument too many
                        "3 \"three\"\n"           // one argument too few
                        "4 \"four %n\"\n"         // writes through a pointer
                        "5 \"five %2$d %1$s\"\n"  // reordered, same types
                        "6 \"six %ld\"\n"         // other width
                        "7 \"seven %1$s %3$d\"\n" // a gap in the positions
                        "8 \"eight %5.2f%% %-*d\"\n"
                        "9 \"nine %\"\n");
  struct {
    const char *id;
    const char *expected;
  } cases[] = {{"ZrtFtc0001N", "default abc 42"}, {"ZrtFtc0002N", "default abc 42"},
               {"ZrtFtc0003N", "default abc 42"}, {"ZrtFtc0004N", "default abc 42"},
               {"ZrtFtc0005N", "five 42 abc"},    {"ZrtFtc0006N", "default abc 42"},
               {"ZrtFtc0007N", "default abc 42"}, {"ZrtFtc0009N", "default abc 42"}};
  for (const auto &c : cases) {
    lookupMessage(c.id, "xx_YY", sizeof out, out, nullptr, 0, nullptr, "default %s %d", "abc", 42);
    EXPECT_STREQ(out, c.expected) << c.id;
  }
  EXPECT_EQ(lookupMessage("ZrtFtc0008N", "xx_YY", sizeof out, out, nullptr, 0, nullptr, "%f%% %*d", 1.5, 4, 7), 0);
  EXPECT_STREQ(out, "eight  1.50% 7   ");
}

TEST_F(MessagesTest, OutputIsTruncatedToTheBuffer) {
  link_built_catalogs();
  char small[8];
  lookupMessage("ZrtFtc0014N", "de_DE.UTF-8", sizeof small, small, "C", 5, english, "Invalid or missing arguments");
  EXPECT_STREQ(small, "Ungült");  // 7 bytes: "ü" is two
  EXPECT_STREQ(english, "Inva");
}

TEST_F(MessagesTest, LocaleNamesCannotLeaveTheCatalogDirectory) {
  link_built_catalogs();
  EXPECT_EQ(lookupMessage("ZrtFtc0014N", "de_DE/../de_DE", sizeof out, out, nullptr, 0, nullptr, "default"), 1);
  EXPECT_STREQ(out, "default");
}

TEST_F(MessagesTest, CatalogIsOpenedOncePerProcess) {
  std::filesystem::create_directories(path("msg/de_DE"));
  std::filesystem::copy_file(std::string(QZ_CATALOG_DIR) + "/de_DE/qz.cat", path("msg/de_DE/qz.cat"));
  lookupMessage("ZrtFtc0014N", "de_DE", sizeof out, out, nullptr, 0, nullptr, "Invalid or missing arguments");
  ASSERT_STREQ(out, "Ungültige oder fehlende Argumente");
  std::filesystem::remove(path("msg/de_DE/qz.cat"));
  lookupMessage("ZrtFtc0051N", "de_DE", sizeof out, out, nullptr, 0, nullptr, "No SAN clients found");
  EXPECT_STREQ(out, "Keine SAN-Clients gefunden");
}

class LocaleSettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char *name : VARIABLES) unsetenv(name);
  }
  void TearDown() override { SetUp(); }
  void read() {
    int status = -1;
    getLocaleSettings(messages, sizeof messages, ctype, sizeof ctype, time, sizeof time, collate,
                      sizeof collate, numeric, sizeof numeric, &status);
    EXPECT_EQ(status, 0);
  }
  static constexpr const char *VARIABLES[] = {"LC_ALL", "LC_MESSAGES", "LC_CTYPE", "LC_TIME",
                                              "LC_COLLATE", "LC_NUMERIC", "LANG"};
  char messages[256], ctype[256], time[256], collate[256], numeric[256];
};

TEST_F(LocaleSettingsTest, PrecedenceIsLcAllThenCategoryThenLang) {
  read();
  EXPECT_STREQ(messages, "C");
  EXPECT_STREQ(numeric, "C");

  setenv("LANG", "fr_FR.UTF-8", 1);
  setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  setenv("LC_TIME", "", 1);  // empty counts as unset
  read();
  EXPECT_STREQ(messages, "de_DE.UTF-8");
  EXPECT_STREQ(ctype, "fr_FR.UTF-8");
  EXPECT_STREQ(time, "fr_FR.UTF-8");
  EXPECT_STREQ(collate, "fr_FR.UTF-8");

  setenv("LC_ALL", "xx_YY", 1);  // need not be an installed locale
  read();
  EXPECT_STREQ(messages, "xx_YY");
  EXPECT_STREQ(time, "xx_YY");
}

TEST_F(LocaleSettingsTest, LongNamesAreTruncated) {
  setenv("LANG", std::string(400, 'a').c_str(), 1);
  char tiny[4];
  getLocaleSettings(tiny, sizeof tiny, ctype, sizeof ctype, time, sizeof time, collate, sizeof collate,
                    numeric, sizeof numeric, nullptr);
  EXPECT_STREQ(tiny, "aaa");
  EXPECT_EQ(std::string(ctype).size(), 255u);
}

}  // namespace
