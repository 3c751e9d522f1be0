// Address lists as the operator writes them.
#include "link/AddressList.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {
std::string Refusal(const std::string& text) {
  try {
    ParseAddressList(text);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "taken";
}
}  // namespace

TEST(AddressList, RangesAndListsMixInOrderOnce) {
  EXPECT_EQ(ParseAddressList("1-4"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ParseAddressList("17, 2,1 , 3-4,2"), (std::vector<int>{1, 2, 3, 4, 17}));
  EXPECT_EQ(ParseAddressList("240"), (std::vector<int>{240}));
  EXPECT_EQ(ParseAddressList("1-240").size(), 240u);

  EXPECT_EQ(Refusal(""), "the address list \"\" has an empty part");
  EXPECT_EQ(Refusal("1,,2"), "the address list \"1,,2\" has an empty part");
  EXPECT_EQ(Refusal("0"), "address 0 is outside 1 to 240");
  EXPECT_EQ(Refusal("5-241"), "address 241 is outside 1 to 240");
  EXPECT_EQ(Refusal("9-3"), "the range 9-3 runs backwards");
  EXPECT_EQ(Refusal("1-"), "\"1-\" is not an address or a range such as 1-16");
  EXPECT_EQ(Refusal("x"), "\"x\" is not an address or a range such as 1-16");
  EXPECT_EQ(Refusal("-3"), "\"-3\" is not an address or a range such as 1-16");
  EXPECT_EQ(Refusal("99999"), "\"99999\" is not an address or a range such as 1-16");
}
