// ParseRunOptions and ParseFrameLengthText over any argument vector: the
// input is the arguments, separated by zero bytes.  Each field of the
// outcome is compared with what the command-line rules give, worked out
// here independently of run_options.cpp.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/run_options.h"
#include "support/fuzz_input.h"

namespace {

// More arguments than this add nothing the fuzzer cannot find with fewer.
constexpr size_t kMostArguments = 64;

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool IsCSpace(char c) { return c != '\0' && std::strchr(" \t\n\v\f\r", c) != nullptr; }

// The -s value: white space, one sign, decimal digits; the number taken
// modulo 2^32 as two's complement.  Worked in 64 bits, reduced every digit.
int32_t ExpectedFrameLength(const char* text)
{
    while (IsCSpace(*text)) ++text;
    int sign = 1;
    if (*text == '-' || *text == '+') sign = (*text++ == '-') ? -1 : 1;
    uint64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = (magnitude * 10 + static_cast<uint64_t>(*text - '0')) % (uint64_t{1} << 32);
    }
    const uint64_t wrapped = sign < 0 ? ((uint64_t{1} << 32) - magnitude) % (uint64_t{1} << 32)
                                      : magnitude;
    return wrapped >= (uint64_t{1} << 31) ? static_cast<int32_t>(static_cast<int64_t>(wrapped) -
                                                                 (int64_t{1} << 32))
                                          : static_cast<int32_t>(wrapped);
}

// On Linux an argument that starts as a path to a device or a recording
// names the port by itself, before it could be taken for a /-option.
bool IsPortPath(const std::string& argument)
{
    for (const char* prefix : {"/dev/", "./", "../"}) {
        if (argument.compare(0, std::strlen(prefix), prefix) == 0) return true;
    }
    return false;
}

RunOptions ExpectedOptions(const std::vector<std::string>& arguments)
{
    RunOptions expected;
    for (size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (IsPortPath(argument)) {
            expected.portName = argument;
        } else if (argument.size() >= 2 && (argument[0] == '-' || argument[0] == '/')) {
            const std::string value = argument.substr(2);
            switch (FoldCase(argument[1])) {
                case 'a': expected.rawText = true; break;
                case 'n': expected.necDecoding = true; break;
                case 'r': expected.wrapCorrection = false; break;
                case 't': expected.showMicroseconds = true; break;
                case 'p':
                    if (!value.empty()) expected.portName = value;
                    break;
                case 's': {
                    const int32_t length = ExpectedFrameLength(value.c_str());
                    const bool known = length == 12 || length == 15 || length == 20;
                    expected.sonyBits = known ? length : 0;
                    break;
                }
                default: break;
            }
        } else if (argument.size() >= 4 && FoldCase(argument[0]) == 'c' &&
                   FoldCase(argument[1]) == 'o' && FoldCase(argument[2]) == 'm') {
            expected.portName = argument;
        }
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Entry 0 is the program name, never looked at; it may be anything.
    std::vector<std::string> arguments(1);
    for (size_t at = 0; at < size && arguments.size() <= kMostArguments; ++at) {
        if (data[at] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back().push_back(static_cast<char>(data[at]));
        }
    }
    std::vector<const char*> texts;
    for (const std::string& argument : arguments) texts.push_back(argument.c_str());

    const RunOptions parsed = ParseRunOptions(static_cast<int>(texts.size()), texts.data());
    const RunOptions expected = ExpectedOptions(arguments);
    FuzzCheck(!parsed.portName.empty(), "portName is empty");
    FuzzCheck(parsed.portName == expected.portName, "portName");
    FuzzCheck(parsed.rawText == expected.rawText, "rawText");
    FuzzCheck(parsed.necDecoding == expected.necDecoding, "necDecoding");
    FuzzCheck(parsed.sonyBits == expected.sonyBits, "sonyBits");
    FuzzCheck(parsed.sonyBits == 0 || parsed.sonyBits == 12 || parsed.sonyBits == 15 ||
                  parsed.sonyBits == 20,
              "sonyBits outside {0, 12, 15, 20}");
    FuzzCheck(parsed.wrapCorrection == expected.wrapCorrection, "wrapCorrection");
    FuzzCheck(parsed.showMicroseconds == expected.showMicroseconds, "showMicroseconds");

    // The -s arithmetic on every argument's text, not only on -s values.
    for (const std::string& argument : arguments) {
        FuzzCheck(ParseFrameLengthText(argument.c_str()) == ExpectedFrameLength(argument.c_str()),
                  "ParseFrameLengthText");
    }
    return 0;
}
