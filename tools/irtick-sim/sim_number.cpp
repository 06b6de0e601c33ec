// Numbers in irtick-sim's arguments: whole decimal or 0x-hex, range-checked
// with a message that names the field.

#include "sim_number.h"

#include <cstdio>

#include "sim_script.h"

namespace {

int DigitValue(char c, int base) {
    int digit = -1;
    if (c >= '0' && c <= '9') {
        digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
    }
    return digit < base ? digit : -1;
}

std::string HexText(uint64_t value) {
    if (value == 0) {
        return "0";
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

bool ParseSimNumber(const std::string& text, uint64_t largest, uint64_t* value) {
    int base = 10;
    size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        at = 2;
    }
    if (at >= text.size()) {
        return false;
    }
    uint64_t number = 0;
    for (; at < text.size(); at++) {
        int digit = DigitValue(text[at], base);
        if (digit < 0) {
            return false;
        }
        if (number > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            return false;
        }
        number = number * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (number > largest) {
        return false;
    }
    *value = number;
    return true;
}

bool TakeNumber(const std::string& text, const char* name, uint64_t low, uint64_t high,
                bool showHex, uint64_t* value, std::string* problem) {
    if (!ParseSimNumber(text, UINT64_MAX, value)) {
        *problem = std::string(name) + " '" + text + "' is not a number";
        return false;
    }
    if (*value < low || *value > high) {
        std::string lowText = showHex ? HexText(low) : std::to_string(low);
        std::string highText = showHex ? HexText(high) : std::to_string(high);
        *problem = std::string(name) + " " + text + " is out of range (" + lowText + " to " +
                   highText + ")";
        return false;
    }
    return true;
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        size_t end = text.find(separator, begin);
        if (end == std::string::npos) {
            parts.push_back(text.substr(begin));
            return parts;
        }
        parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
}
