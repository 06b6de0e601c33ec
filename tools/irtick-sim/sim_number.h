// The numbers and lists inside irtick-sim's arguments (ParseSimNumber, the
// public part, is in sim_script.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Converts `text` as the number field `name` in low..high; on failure sets
// *problem to a message naming the field, the text and, for a number out of
// range, the range (in hex with `showHex`).
bool TakeNumber(const std::string& text, const char* name, uint64_t low, uint64_t high,
                bool showHex, uint64_t* value, std::string* problem);

// The parts of `text` between separators; "" gives one empty part.
std::vector<std::string> SplitText(const std::string& text, char separator);
