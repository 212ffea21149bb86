// Wide text, shown text and JSON strings: what the service sends and what a
// listing shows.
#include <gtest/gtest.h>

#include <jansson.h>
#include <string>

#include "platform/crvjson.h"
#include "platform/shown.h"
#include "platform/widetext.h"

namespace {

TEST(WideText, EveryEncodedLengthSurrogatePairsAndInvalidCodePoints) {
  const std::string utf8 = "a\u00fc\u20ac\U0001D11E\u07ff\uffff\U0010FFFF", FFFD = "\xEF\xBF\xBD";
  std::wstring wide = utf8_to_wide(utf8.c_str());
  EXPECT_EQ(wide, (std::wstring{L'a', 0xFC, 0x20AC, 0x1D11E, 0x7FF, 0xFFFF, 0x10FFFF}));
  EXPECT_EQ(wide_to_utf8(wide.c_str()), utf8);
  const wchar_t pairs[] = {L'a', 0xD834, 0xDD1E, 0xDBFF, 0xDFFF, 0};
  EXPECT_EQ(wide_to_utf8(pairs), "a\U0001D11E\U0010FFFF");
  const wchar_t invalid[] = {L'x', 0xDFFF, 0xD800, 0x110000, static_cast<wchar_t>(-1), 0xD800, 0};
  EXPECT_EQ(wide_to_utf8(invalid), "x" + FFFD + FFFD + FFFD + FFFD + FFFD);
  EXPECT_EQ(wide_utf8_length(invalid), 1 + 5 * FFFD.size());
}

// One replacement character per maximal ill-formed subpart.
TEST(WideText, IllFormedUtf8) {
  for (const auto &[utf8, wide] : std::vector<std::pair<const char *, std::wstring>>{
           {"a\xFF" "b", {L'a', 0xFFFD, L'b'}}, {"\xC0\xAF" /* overlong '/' */, {0xFFFD, 0xFFFD}},
           {"\xE2\x82z" /* truncated euro sign */, {0xFFFD, L'z'}}, {"\xF0\x9F\x98" /* at the end */, {0xFFFD}},
           {"\xED\xA0\x80" /* encoded surrogate */, {0xFFFD, 0xFFFD, 0xFFFD}},
           {"\xF4\x90\x80\x80" /* past U+10FFFF */, {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}}}) {
    EXPECT_EQ(utf8_to_wide(utf8), wide) << utf8;
  }
}

// What could steer a terminal is one '?' per character, and one per byte
// that is not UTF-8; newline and tab stay only where lines are kept.
TEST(ShownText, ControlsBidiAndInvalidBytesAreQuestionMarks) {
  struct Row { const char *text; bool keepLines; const char *shown; };
  for (const Row &r : std::vector<Row>{
           {"a\x01\x1B[2Jb\x7F~\n\t\r", false, "a??[2Jb?~???"}, {"l1\nl2\tx\r\x7F", true, "l1\nl2\tx??"},
           {"\xC2\x80\xC2\x9B[31m\xC2\x9F\xC2\xA0" /* C1, U+00A0 */, false, "??[31m?\xC2\xA0"},
           {"\xE2\x80\xA9\xE2\x80\xAA\xE2\x80\xAE\xE2\x80\xAF|\xE2\x81\xA5\xE2\x81\xA6\xE2\x81\xA9\xE2\x81\xAA"
            /* U+2029 to U+202F, U+2065 to U+206A */, false, "\xE2\x80\xA9??\xE2\x80\xAF|\xE2\x81\xA5??\xE2\x81\xAA"},
           {"\x9B" "31m|\xFF\xFE|\xC0\xAF|\xE2\x82z|\xED\xA0\x80|\xF0\x9F\x98" /* CSI, stray, overlong, truncated,
            surrogate, cut at the end */, true, "?31m|??|??|??z|???|???"},
           {"\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80", false, "\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80"}, {nullptr, false, ""}}) {
    EXPECT_EQ(shownText(r.text, r.keepLines), r.shown) << (r.text ? r.text : "null");
  }
}

TEST(CrvJsonString, InvalidBytesAreShownAndNullIsEmpty) {
  json_t *object = json_object();
  json_object_set_new(object, "name", crv_json_string("host\xFF\xC3(", 0, ""));
  json_object_set_new(object, "plain", crv_json_string("gr\xC3\xBC\xC3\x9F" "e", 0, ""));
  json_object_set_new(object, "null", crv_json_string(nullptr, 0, ""));
  char *text = json_dumps(object, JSON_COMPACT);
  EXPECT_STREQ(text, R"({"name":"host\\xFF\\xC3(","plain":"grüße","null":""})");
  free(text);
  json_decref(object);
}

}  // namespace
