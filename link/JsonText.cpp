#include "link/JsonText.h"

namespace {
constexpr char kDigits[] = "0123456789abcdef";
}  // namespace

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      out += "\\u00";
      out += kDigits[c >> 4];
      out += kDigits[c & 0x0F];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string HexText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}
