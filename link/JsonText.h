#pragma once
// How the JSON records of orbsim and varlo-cli show bytes: as a JSON string
// that prints as plain ASCII, or as hex text. One writer, so that the
// transaction log, the printed records and the backup manifest agree.
#include <string>
#include <string_view>

// A quoted JSON string of `bytes`: '"' and '\' escaped, every byte outside
// printable ASCII written as \u00XX, so that a reader taking each \u00XX
// as one byte gets the same bytes back.
std::string JsonString(std::string_view bytes);

// Lower-case hex, two digits a byte.
std::string HexText(std::string_view bytes);
