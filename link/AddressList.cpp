#include "link/AddressList.h"

#include <set>
#include <stdexcept>
#include <string>

namespace {
constexpr int kLastAddress = 240;

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int Address(std::string_view digits, std::string_view part) {
  digits = Trimmed(digits);
  int value = 0;
  if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string_view::npos)
    throw std::invalid_argument("\"" + std::string(part) + "\" is not an address or a range such as 1-16");
  for (char c : digits) value = value * 10 + (c - '0');
  if (value < 1 || value > kLastAddress)
    throw std::invalid_argument("address " + std::to_string(value) + " is outside 1 to 240");
  return value;
}
}  // namespace

std::vector<int> ParseAddressList(std::string_view text) {
  std::set<int> addresses;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string_view part = Trimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (part.empty()) throw std::invalid_argument("the address list \"" + std::string(text) + "\" has an empty part");
    if (const size_t dash = part.find('-'); dash != std::string_view::npos) {
      const int from = Address(part.substr(0, dash), part), to = Address(part.substr(dash + 1), part);
      if (from > to) throw std::invalid_argument("the range " + std::string(part) + " runs backwards");
      for (int a = from; a <= to; ++a) addresses.insert(a);
    } else {
      addresses.insert(Address(part, part));
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return {addresses.begin(), addresses.end()};
}
