#pragma once
// Hex text of byte strings, as the control channel carries them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Lower-case hex, two digits a byte.
std::string ToHex(const uint8_t* data, size_t count);
// Upper or lower case, even length; nullopt for anything else.
std::optional<std::vector<uint8_t>> FromHex(const std::string& text);
