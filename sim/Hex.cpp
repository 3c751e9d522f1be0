#include "sim/Hex.h"

#include "link/JsonText.h"

namespace {
int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string ToHex(const uint8_t* data, size_t count) {
  return HexText(std::string_view(reinterpret_cast<const char*>(data), count));
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = Digit(text[i]), low = Digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return out;
}
