#pragma once
// Reading the members a JSON record must have, for the files this program
// writes and reads back (a backup's manifest, a snapshot): each throws
// std::runtime_error "<file>: <what is wrong>" when the member is missing
// or of another kind.
#include <stdexcept>
#include <string>
#include <utility>

#include "link/Json.h"

class JsonFields {
 public:
  // `file` names the record in the errors ("manifest.json").
  explicit JsonFields(std::string file) : file_(std::move(file)) {}

  std::runtime_error Error(const std::string& what) const;
  const JsonValue& Required(const JsonValue& object, const std::string& key) const;
  long long Integer(const JsonValue& object, const std::string& key, long long min, long long max) const;
  std::string String(const JsonValue& object, const std::string& key) const;
  bool Bool(const JsonValue& object, const std::string& key) const;

 private:
  std::string file_;
};
