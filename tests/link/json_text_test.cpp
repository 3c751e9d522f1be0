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

// Text is UTF-8: its characters stay whole; control characters and bytes
// that belong to no UTF-8 character (a device name's byte in a message)
// are escaped as JsonString escapes them.
TEST(JsonText, TextKeepsUtf8CharactersAndEscapesStrayBytes) {
  EXPECT_EQ(JsonTextString("gain 0.0 dB \u2192 +3.0 dB"), "\"gain 0.0 dB \u2192 +3.0 dB\"");
  EXPECT_EQ(JsonTextString("\U0001F50A a\"b\\\n"), "\"\U0001F50A a\\\"b\\\\\\u000a\"");
  // A Latin-1 name byte, a lone continuation, a cut-off sequence, an
  // overlong form and an encoded surrogate.
  EXPECT_EQ(JsonTextString("CAF\xc9 \x80 \xe2\x86 \xc0\xaf \xed\xa0\x80"s),
            "\"CAF\\u00c9 \\u0080 \\u00e2\\u0086 \\u00c0\\u00af \\u00ed\\u00a0\\u0080\"");
}
