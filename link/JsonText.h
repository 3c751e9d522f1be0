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

// A quoted JSON string of text that is UTF-8 (messages, differences): its
// characters are written as they are, so a reader gets an arrow back as an
// arrow, not as three Latin-1 characters. Control characters are escaped; a byte that
// is no part of a UTF-8 character (a device name's byte within the text)
// is written as \u00XX, as JsonString writes it.
std::string JsonTextString(std::string_view text);

// Lower-case hex, two digits a byte.
std::string HexText(std::string_view bytes);
