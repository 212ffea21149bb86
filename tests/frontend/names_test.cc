// The two text checks that every host name and number passes through.
#include <gtest/gtest.h>

#include <string>

#include "frontend/parse.h"

namespace {

TEST(ValidateName, LengthLimits) {
  EXPECT_FALSE(validate_name(""));
  EXPECT_FALSE(validate_name(nullptr));
  EXPECT_TRUE(validate_name("a"));
  EXPECT_TRUE(validate_name(std::string(256, 'x').c_str()));
  EXPECT_FALSE(validate_name(std::string(257, 'x').c_str()));
}

TEST(ValidateName, EachForbiddenCharacterAnywhere) {
  for (char forbidden : std::string("@$\\/\":;#*,|")) {
    SCOPED_TRACE(std::string(1, forbidden));
    EXPECT_FALSE(validate_name((std::string(1, forbidden) + "host").c_str()));
    EXPECT_FALSE(validate_name(("ho" + std::string(1, forbidden) + "st").c_str()));
    EXPECT_FALSE(validate_name(("host" + std::string(1, forbidden)).c_str()));
  }
}

TEST(ValidateName, OrdinaryHostNames) {
  for (const char *name : {"host", "host.example.com", "my-host_2", "two words", "h\xc3\xbcgel",
                           "-starts-with-dash", "tab\there", "a=b", "(x)"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(validate_name(name));
  }
}

TEST(IsValidNum, DigitsOnly) {
  EXPECT_FALSE(isValidNum(nullptr));
  EXPECT_TRUE(isValidNum(""));
  EXPECT_TRUE(isValidNum("0"));
  EXPECT_TRUE(isValidNum("0123456789"));
  EXPECT_TRUE(isValidNum("99999999999999999999"));
  for (const char *text : {"+5", "-5", "5m", " 5", "5 ", "1.5", "0x10", "\xd9\xa3"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(isValidNum(text));
  }
}

}  // namespace
