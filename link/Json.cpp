#include "link/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::optional<long long> JsonValue::Integer(long long min, long long max) const {
  const double* number = std::get_if<double>(&value);
  if (!number || *number != std::floor(*number) || *number < static_cast<double>(min) ||
      *number > static_cast<double>(max))
    return std::nullopt;
  return static_cast<long long>(*number);
}

const JsonValue* JsonValue::Member(const std::string& key) const {
  const JsonObject* object = Object();
  if (!object) return nullptr;
  auto it = object->find(key);
  return it == object->end() ? nullptr : &it->second;
}

namespace {
constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue v;
    if (!Value(v, 0)) return std::nullopt;
    SkipSpace();
    if (pos_ != text_.size()) {
      Fail("text after the JSON value");
      return std::nullopt;
    }
    return v;
  }
  std::string error;

 private:
  // Records the first error; always false.
  bool Fail(const std::string& what) {
    if (error.empty()) error = what + " at byte " + std::to_string(pos_);
    return false;
  }
  void SkipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
      ++pos_;
  }
  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool Value(JsonValue& out, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    SkipSpace();
    if (pos_ >= text_.size()) return Fail("unexpected end");
    char c = text_[pos_];
    if (c == '{') return ObjectValue(out, depth);
    if (c == '[') return ArrayValue(out, depth);
    if (c == '"') {
      std::string s;
      if (!StringValue(s)) return false;
      out.value = std::move(s);
      return true;
    }
    if (Literal("true")) return out.value = true, true;
    if (Literal("false")) return out.value = false, true;
    if (Literal("null")) return out.value = nullptr, true;
    return NumberValue(out);
  }

  bool ObjectValue(JsonValue& out, int depth) {
    ++pos_;
    JsonObject object;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') {
      ++pos_;
      out.value = std::move(object);
      return true;
    }
    while (true) {
      SkipSpace();
      std::string key;
      if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("expected a key");
      if (!StringValue(key)) return false;
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != ':') return Fail("expected ':'");
      ++pos_;
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      if (!object.emplace(std::move(key), std::move(member)).second)
        return Fail("a key given twice");
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        out.value = std::move(object);
        return true;
      }
      return Fail("expected ',' or '}'");
    }
  }

  bool ArrayValue(JsonValue& out, int depth) {
    ++pos_;
    JsonArray array;
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
      ++pos_;
      out.value = std::move(array);
      return true;
    }
    while (true) {
      JsonValue element;
      if (!Value(element, depth + 1)) return false;
      array.push_back(std::move(element));
      SkipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        out.value = std::move(array);
        return true;
      }
      return Fail("expected ',' or ']'");
    }
  }

  bool StringValue(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      unsigned char c = static_cast<unsigned char>(text_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (pos_ >= text_.size()) break;
      char e = text_[pos_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (pos_ + 4 > text_.size()) return Fail("short \\u escape");
          std::string hex(text_.substr(pos_, 4));
          char* end = nullptr;
          long code = std::strtol(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 4) return Fail("bad \\u escape");
          if (code > 0xFF) return Fail("\\u escape beyond one byte");
          pos_ += 4;
          out += static_cast<char>(code);
          break;
        }
        default: return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  bool NumberValue(JsonValue& out) {
    const size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    auto digits = [&] {
      size_t from = pos_;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
      return pos_ > from;
    };
    if (!digits()) return Fail("expected a value");
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!digits()) return Fail("bad number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digits()) return Fail("bad number");
    }
    out.value = std::strtod(std::string(text_.substr(start, pos_ - start)).c_str(), nullptr);
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
};
}  // namespace

std::optional<JsonValue> ParseJson(std::string_view text, std::string* error) {
  Parser parser(text);
  std::optional<JsonValue> value = parser.Document();
  if (!value && error) *error = parser.error;
  return value;
}
