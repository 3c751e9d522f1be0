#include <gtest/gtest.h>

#include <string>

#include "link/JsonText.h"

using namespace std::string_literals;

// Printable ASCII stays as it is; quote and backslash are escaped; every
// other byte is \u00XX in lower case, as orbsim's log and varlo-cli's
// records have always written them.
TEST(JsonText, StringsEscapeQuotesBackslashesAndEveryByteOutsidePrintableAscii) {
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("ORB 1 ~{}"), "\"ORB 1 ~{}\"");
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("\x00\x1f\x20\x7e\x7f\x80\xab\xff"s),
            "\"\\u0000\\u001f ~\\u007f\\u0080\\u00ab\\u00ff\"");
  EXPECT_EQ(JsonString("line\r\n\t"), "\"line\\u000d\\u000a\\u0009\"");
}

TEST(JsonText, HexIsTwoLowerCaseDigitsAByte) {
  EXPECT_EQ(HexText(""), "");
  EXPECT_EQ(HexText("\x00\x0f\x10\xab\xff"s), "000f10abff");
}
