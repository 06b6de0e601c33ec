// irtick-sim's script over any argument vector: ParseSimCommandLine, then,
// for a script of bounded size, the timeline and the receiver's bytes.
//
// The input is the arguments, separated by zero bytes.  A file: item reads
// its recording at parse time, so the target never lets it name a path of
// its own choosing: every file:NAME becomes file:<dir>/NAME' in a temporary
// directory of this target, NAME' being NAME with each '/' turned into '_'
// and a leading '.' into '_' (no way out of the directory).  The directory
// holds a few recordings (kRecordings); any other name is a missing file.
//
// Checked:
//   - the outcome is run, help or bad; help exactly when some argument is
//     --help; bad with a message;
//   - on run: the options as worked out here (later wins), the items in
//     the order given, each field within its item's range;
//   - the timeline and the events of the script (sim_timeline_checks.h).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "sim_script.h"
#include "support/fuzz_input.h"
#include "targets/sim_timeline_checks.h"

namespace {

constexpr size_t kMostArguments = 64;
// Scripts that would make more bursts than this (a held button of 100000
// repeats) are only parsed: their timeline adds nothing but time.
constexpr size_t kMostBursts = 20000;
// More bursts than any one frame of any protocol makes (Kaseikyo: 50).
constexpr size_t kBurstsPerFrameBound = 64;

struct Recording {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> ByteRamp()
{
    std::vector<uint8_t> bytes;
    for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<uint8_t>(value));
    return bytes;
}

// A recorded 0 is an interval of its own, at the time of the burst before.
const Recording kRecordings[] = {
    {"empty", {}},
    {"nec", {211, 18, 35, 18, 35, 35}},
    {"zeros", {0, 0, 5, 0}},
    {"ramp", ByteRamp()},
};

std::string recordingDirectory;

void RemoveRecordings()
{
    for (const Recording& recording : kRecordings) {
        unlink((recordingDirectory + "/" + recording.name).c_str());
    }
    rmdir(recordingDirectory.c_str());
}

void MakeRecordings()
{
    if (!recordingDirectory.empty()) return;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/irtick-fuzz-sim-XXXXXX";
    FuzzCheck(mkdtemp(&pattern[0]) != nullptr, "cannot make the recordings' directory");
    recordingDirectory = pattern;
    for (const Recording& recording : kRecordings) {
        FILE* file = std::fopen((recordingDirectory + "/" + recording.name).c_str(), "wb");
        FuzzCheck(file != nullptr, "cannot write a recording");
        if (!recording.bytes.empty()) {
            std::fwrite(recording.bytes.data(), 1, recording.bytes.size(), file);
        }
        std::fclose(file);
    }
    std::atexit(RemoveRecordings);
}

constexpr char kFilePrefix[] = "file:";
constexpr size_t kFilePrefixLength = sizeof kFilePrefix - 1;

// file:NAME into the recordings' directory; an empty NAME stays empty (a
// bad item).
std::string ConfineFileItem(const std::string& argument)
{
    if (argument.compare(0, kFilePrefixLength, kFilePrefix) != 0) return argument;
    std::string name = argument.substr(kFilePrefixLength);
    if (name.empty()) return argument;
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    if (name[0] == '.') name[0] = '_';
    return kFilePrefix + recordingDirectory + "/" + name;
}

// A whole decimal or 0x-hex number, saturating; only ever given numbers the
// parser took.
uint64_t NumberValue(const std::string& text)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const uint64_t base = hex ? 16 : 10;
    uint64_t value = 0;
    for (size_t at = hex ? 2 : 0; at < text.size(); ++at) {
        const char c = text[at];
        const uint64_t digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        value = value > (UINT64_MAX - digit) / base ? UINT64_MAX : value * base + digit;
    }
    return value;
}

struct ExpectedScript {
    SimOptions options;
    std::vector<std::string> itemTexts;
};

// What a script that parsed gives: options in order, a later one winning;
// --port, --jitter and --seed take the next argument unless written with =.
ExpectedScript ExpectedOfParsed(const std::vector<std::string>& arguments)
{
    ExpectedScript expected;
    for (size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument.size() < 2 || argument[0] != '-') {
            expected.itemTexts.push_back(argument);
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool takesValue = name == "--port" || name == "--jitter" || name == "--seed";
        std::string value;
        if (takesValue) {
            value = equals != std::string::npos ? argument.substr(equals + 1)
                                                : arguments[++index];
        }
        if (name == "--port") expected.options.portPath = value;
        if (name == "--jitter") {
            expected.options.jitterPercent = static_cast<int32_t>(NumberValue(value));
        }
        if (name == "--seed") {
            expected.options.seedGiven = true;
            expected.options.seed = static_cast<uint32_t>(NumberValue(value));
        }
        if (name == "--fast") expected.options.fast = true;
        if (name == "--loop") expected.options.loop = true;
    }
    return expected;
}

void CheckItemFields(const SimItem& item)
{
    constexpr uint32_t kLargestCount = 100000;
    constexpr int64_t kLargestPause = 24LL * 3600 * 1000 * 1000;
    constexpr int64_t kLargestInterval = 3600LL * 1000 * 1000;
    constexpr size_t kLargestRecording = 1024 * 1024;
    switch (item.kind) {
        case SimNecItem:
            FuzzCheck(item.address <= 0xFFFF && item.command <= 0xFF, "nec fields");
            FuzzCheck(item.count <= kLargestCount, "nec repeats");
            break;
        case SimSonyItem:
            FuzzCheck(item.addressBits == 5 || item.addressBits == 8, "sony address bits");
            FuzzCheck(item.extendedBits == 0 || (item.extendedBits == 8 && item.addressBits == 5),
                      "sony extended bits");
            FuzzCheck(item.command <= 0x7F && item.address < (1u << item.addressBits) &&
                          item.extended < (1u << item.extendedBits),
                      "sony fields");
            FuzzCheck(item.count >= 1 && item.count <= kLargestCount, "sony times");
            break;
        case SimSamsungItem:
            FuzzCheck(item.address <= 0xFF && item.command <= 0xFF, "samsung fields");
            FuzzCheck(item.count >= 1 && item.count <= kLargestCount, "samsung times");
            break;
        case SimJvcItem:
            FuzzCheck(item.address <= 0xFF && item.command <= 0xFF, "jvc fields");
            FuzzCheck(item.count <= kLargestCount, "jvc repeats");
            break;
        case SimLgItem:
            FuzzCheck(item.data <= 0xFFFFFFF && item.count <= kLargestCount, "lg fields");
            break;
        case SimKaseikyoItem:
            FuzzCheck(item.address <= 0xFFFF && item.count == 1, "kaseikyo fields");
            break;
        case SimSharpItem:
            FuzzCheck(item.address <= 0x1F && item.command <= 0xFF && item.count == 2,
                      "sharp fields");
            break;
        case SimRc5Item:
            FuzzCheck(item.address <= 0x1F && item.command <= 0x7F && item.toggle <= 1,
                      "rc5 fields");
            break;
        case SimRc6Item:
            FuzzCheck(item.address <= 0xFF && item.command <= 0xFF && item.toggle <= 1,
                      "rc6 fields");
            break;
        case SimPauseItem:
            FuzzCheck(item.pauseMicroseconds >= 0 && item.pauseMicroseconds <= kLargestPause,
                      "pause length");
            break;
        case SimMicrosItem:
            FuzzCheck(!item.intervalsMicroseconds.empty(), "us: without intervals");
            for (int64_t interval : item.intervalsMicroseconds) {
                FuzzCheck(interval >= 1 && interval <= kLargestInterval, "us: interval");
            }
            break;
        case SimFileItem:
            FuzzCheck(item.recordedBytes.size() <= kLargestRecording, "file: size");
            break;
        default:
            FuzzCheck(false, "unknown item kind");
    }
}

size_t BurstBound(const SimItem& item)
{
    switch (item.kind) {
        case SimPauseItem: return 0;
        case SimMicrosItem: return item.intervalsMicroseconds.size() + 1;
        case SimFileItem: return item.recordedBytes.size() + 1;
        default: return (static_cast<size_t>(item.count) + 2) * kBurstsPerFrameBound;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MakeRecordings();
    std::vector<std::string> arguments(1, "irtick-sim");
    arguments.emplace_back();
    for (size_t at = 0; at < size && arguments.size() <= kMostArguments; ++at) {
        if (data[at] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back().push_back(static_cast<char>(data[at]));
        }
    }
    bool helpAsked = false;
    for (size_t index = 1; index < arguments.size(); ++index) {
        arguments[index] = ConfineFileItem(arguments[index]);
        helpAsked = helpAsked || arguments[index] == "--help";
    }
    std::vector<const char*> texts;
    for (const std::string& argument : arguments) texts.push_back(argument.c_str());

    SimCommand command;
    std::string message;
    const int32_t result =
        ParseSimCommandLine(static_cast<int>(texts.size()), texts.data(), &command, &message);
    FuzzCheck(result == SimParseRun || result == SimParseHelp || result == SimParseBad,
              "outcome");
    FuzzCheck((result == SimParseHelp) == helpAsked, "help exactly when --help is given");
    if (result == SimParseBad) FuzzCheck(!message.empty(), "bad without a message");
    if (result != SimParseRun) return 0;

    const ExpectedScript expected = ExpectedOfParsed(arguments);
    const SimOptions& options = command.options;
    FuzzCheck(options.portPath == expected.options.portPath, "port");
    FuzzCheck(options.jitterPercent == expected.options.jitterPercent, "jitter");
    FuzzCheck(options.jitterPercent >= 0 && options.jitterPercent <= 50, "jitter outside 0..50");
    FuzzCheck(options.seedGiven == expected.options.seedGiven &&
                  options.seed == expected.options.seed,
              "seed");
    FuzzCheck(options.fast == expected.options.fast && options.loop == expected.options.loop,
              "fast, loop");
    FuzzCheck(command.items.size() == expected.itemTexts.size() && !command.items.empty(),
              "item count");
    size_t burstBound = 0;
    for (size_t i = 0; i < command.items.size(); ++i) {
        FuzzCheck(command.items[i].text == expected.itemTexts[i], "items in order");
        CheckItemFields(command.items[i]);
        burstBound += BurstBound(command.items[i]);
    }
    if (burstBound > kMostBursts) return 0;

    CheckSimTimeline(command.items, options);
    return 0;
}
