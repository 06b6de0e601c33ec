// Command-line parsing.  Each argument is judged by itself; later ones
// override earlier ones; nothing is ever reported.

#include "app/run_options.h"

#include <cstring>

#include "device_path.h"  // the platform's NamesPortPath

namespace {

// The three Sony frame lengths that turn Sony decoding on.
constexpr int32_t kSonyFrameLengths[] = {12, 15, 20};

// A bare argument names the port when it is this long and starts with
// these letters, in any case.
constexpr char kBarePortPrefix[] = "com";
constexpr size_t kShortestBarePortName = 4;

void SetRawText(RunOptions& options, const char*) { options.rawText = true; }
void SetNecDecoding(RunOptions& options, const char*) { options.necDecoding = true; }
void ClearWrapCorrection(RunOptions& options, const char*) { options.wrapCorrection = false; }
void SetShowMicroseconds(RunOptions& options, const char*) { options.showMicroseconds = true; }

void SetPortName(RunOptions& options, const char* valueText)
{
    // The bare "-p" never takes the following argument.
    if (*valueText != '\0') options.portName = valueText;
}

void SetSonyBits(RunOptions& options, const char* valueText)
{
    const int32_t number = ParseFrameLengthText(valueText);
    options.sonyBits = 0;
    for (int32_t frameLength : kSonyFrameLengths) {
        if (number == frameLength) options.sonyBits = frameLength;
    }
}

struct OptionEntry {
    char letter;  // lower case; the upper-case form counts too
    void (*apply)(RunOptions& options, const char* valueText);
};

const OptionEntry kOptionTable[] = {
    {'a', SetRawText},
    {'n', SetNecDecoding},
    {'p', SetPortName},
    {'r', ClearWrapCorrection},
    {'s', SetSonyBits},
    {'t', SetShowMicroseconds},
};

char FoldAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsOptionIntroducer(char c) { return c == '-' || c == '/'; }

bool NamesComPort(const char* argument, size_t length)
{
    if (length < kShortestBarePortName) return false;
    for (size_t i = 0; kBarePortPrefix[i] != '\0'; ++i) {
        if (FoldAsciiLetter(argument[i]) != kBarePortPrefix[i]) return false;
    }
    return true;
}

void ApplyOption(RunOptions& options, char letter, const char* valueText)
{
    for (const OptionEntry& entry : kOptionTable) {
        const char upper = static_cast<char>(entry.letter - 'a' + 'A');
        if (letter == entry.letter || letter == upper) {
            entry.apply(options, valueText);
            return;
        }
    }
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t ParseFrameLengthText(const char* text)
{
    while (IsWhiteSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = (*text == '-');
        ++text;
    }
    // Unsigned arithmetic wraps like 32-bit two's complement without the
    // undefined behaviour of signed overflow: -s4294967308 gives 12.
    uint32_t number = 0;
    while (*text >= '0' && *text <= '9') {
        number = number * 10u + static_cast<uint32_t>(*text - '0');
        ++text;
    }
    if (negative) number = 0u - number;
    return static_cast<int32_t>(number);
}

RunOptions ParseRunOptions(int argumentCount, const char* const* argumentTexts)
{
    RunOptions options;
    for (int index = 1; index < argumentCount; ++index) {
        const char* argument = argumentTexts[index];
        if (argument == nullptr) continue;
        const size_t length = std::strlen(argument);
        if (NamesPortPath(argument)) {
            options.portName = argument;
        } else if (length >= 2 && IsOptionIntroducer(argument[0])) {
            ApplyOption(options, argument[1], argument + 2);
        } else if (NamesComPort(argument, length)) {
            options.portName = argument;
        }
    }
    return options;
}
