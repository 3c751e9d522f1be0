#pragma once
// The little JSON varlo-cli reads and writes: its printed records and the
// backup manifest. Strings are bytes; anything outside printable ASCII is
// written as \u00XX (JsonString, shared with orbsim) so that device names
// print as plain ASCII and read back as the same bytes.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "link/JsonText.h"

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::map<std::string, JsonValue>;

struct JsonValue {
  std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> value;

  const JsonObject* Object() const { return std::get_if<JsonObject>(&value); }
  const JsonArray* Array() const { return std::get_if<JsonArray>(&value); }
  const std::string* String() const { return std::get_if<std::string>(&value); }
  const bool* Bool() const { return std::get_if<bool>(&value); }
  // The number when it is a whole number from min to max.
  std::optional<long long> Integer(long long min, long long max) const;
  // The member `key` of an object; nullptr when this is no object or has
  // no such member.
  const JsonValue* Member(const std::string& key) const;
};

// Parses one JSON text (surrounding white space allowed). Nothing, with
// `error` set, when the text is not JSON, nests deeper than 64 levels, or
// has a \u escape above \u00ff (the names this program keeps are bytes).
std::optional<JsonValue> ParseJson(std::string_view text, std::string* error = nullptr);
