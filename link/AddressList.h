#pragma once
// The devices a command is for, as the operator writes them: "1-16",
// "1,2,17" or a mix ("1-4, 9, 12-14"), blanks allowed around the parts.
#include <string_view>
#include <vector>

// The addresses, ascending, each once. Throws std::invalid_argument saying
// what is wrong: an empty list or part, a part that is no number or range,
// an address outside 1 to 240, a range that runs backwards.
std::vector<int> ParseAddressList(std::string_view text);
