#include "link/JsonFields.h"

#include <stdexcept>

std::runtime_error JsonFields::Error(const std::string& what) const { return std::runtime_error(file_ + ": " + what); }

const JsonValue& JsonFields::Required(const JsonValue& object, const std::string& key) const {
  const JsonValue* member = object.Member(key);
  if (!member) throw Error("no \"" + key + "\"");
  return *member;
}

long long JsonFields::Integer(const JsonValue& object, const std::string& key, long long min, long long max) const {
  auto value = Required(object, key).Integer(min, max);
  if (!value)
    throw Error("\"" + key + "\" needs a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  return *value;
}

std::string JsonFields::String(const JsonValue& object, const std::string& key) const {
  const std::string* value = Required(object, key).String();
  if (!value) throw Error("\"" + key + "\" needs a string");
  return *value;
}

bool JsonFields::Bool(const JsonValue& object, const std::string& key) const {
  const bool* value = Required(object, key).Bool();
  if (!value) throw Error("\"" + key + "\" needs true or false");
  return *value;
}
