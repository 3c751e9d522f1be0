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

namespace {
// The length of the UTF-8 character at the start of s, or 0 when it is none
// (a stray continuation byte, a short, overlong or surrogate sequence).
size_t Utf8Length(std::string_view s) {
  const auto b = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(0);
  size_t n = 0;
  unsigned min = 0, code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, code = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, code = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, code = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b(i) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}
}  // namespace

std::string JsonTextString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const size_t n = static_cast<unsigned char>(text[i]) >= 0x80 ? Utf8Length(text.substr(i)) : 0;
    if (n) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      // JsonString's quoting and escapes, one byte at a time.
      const std::string one = JsonString(text.substr(i, 1));
      out.append(one, 1, one.size() - 2);
      ++i;
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
