// irtick-sim's script: command line, bursts and receiver bytes.

#include "sim_script.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char kSimUsage[] =
    "Usage: irtick-sim [--port PATH] [--jitter PCT] [--seed N] [--fast] [--loop] ITEM...\n"
    "\n"
    "Plays an infrared receiver on a serial line: one byte per burst-to-burst\n"
    "interval, sent when the interval ends, its value the interval in ticks of\n"
    "64 us (rounded, modulo 256).  Without --port it makes a pseudo-terminal and\n"
    "prints the path of its port side on the first line of standard output;\n"
    "point irtick there:  irtick -p<path> -n -s12\n"
    "Bytes sent before the port is opened wait there.  At the end of the script\n"
    "it waits until every byte has been read from the pseudo-terminal, since\n"
    "closing it would throw the rest away; SIGINT or SIGTERM end it at once.\n"
    "\n"
    "Items, played in order (numbers decimal or 0x-hex):\n"
    "  nec:ADDR:CMD[:REPEATS]    NEC frame, then REPEATS repeat frames (default 0)\n"
    "                            108 ms apart; ADDR 0..0xFF goes with its\n"
    "                            complement, 0x100..0xFFFF is an extended address\n"
    "  sony12:CMD:ADDR[:TIMES]   Sony 12-bit frame (CMD 0..0x7F, ADDR 0..0x1F)\n"
    "  sony15:CMD:ADDR[:TIMES]   Sony 15-bit frame (ADDR 0..0xFF)\n"
    "  sony20:CMD:ADDR:EXT[:TIMES]  Sony 20-bit frame (ADDR 0..0x1F, EXT 0..0xFF)\n"
    "                            a Sony frame is sent TIMES times (default 3),\n"
    "                            45 ms apart\n"
    "  pause:MS                  nothing for MS milliseconds\n"
    "  us:N,N,...                bursts N microseconds apart\n"
    "  file:PATH                 a recorded byte stream, each byte sent unchanged\n"
    "                            when its interval (byte x 64 us) has passed\n"
    "                            (--jitter leaves it alone)\n"
    "\n"
    "Options:\n"
    "  --port PATH   write into this device instead of a new pseudo-terminal\n"
    "  --jitter PCT  vary every interval at random within +-PCT percent (0..50)\n"
    "  --seed N      seed for --jitter, for a repeatable run\n"
    "  --fast        send the bytes as fast as the port takes them\n"
    "  --loop        play the script again and again until stopped\n"
    "  --help        print this text\n"
    "\n"
    "Exit status: 0 when the script has been played (or SIGINT/SIGTERM ended\n"
    "the run), 1 when the port cannot be made, opened or written, 2 for a bad\n"
    "item or option.\n";

namespace {

constexpr int64_t kMicrosecondsPerMillisecond = 1000;

// NEC: a leader of 9 ms burst + 4.5 ms space, bits of a 562.5 us burst in a
// period of 1.125 ms (0) or 2.25 ms (1), a 562.5 us stop burst; a repeat
// frame is 9 ms burst + 2.25 ms space + 562.5 us burst; frames and repeat
// frames start 108 ms apart.  Only burst starts matter to the receiver.
constexpr int64_t kNecLeaderMicroseconds = 13500;
constexpr int64_t kNecZeroBitMicroseconds = 1125;
constexpr int64_t kNecOneBitMicroseconds = 2250;
constexpr int64_t kNecRepeatLeaderMicroseconds = 11250;
constexpr int64_t kNecFramePeriodMicroseconds = 108000;
constexpr int32_t kNecCodeBits = 32;
constexpr uint32_t kNecShortAddressLargest = 0xFF;
constexpr uint32_t kByteMask = 0xFF;

// Sony (SIRC): a 2.4 ms start burst, then per bit a 0.6 ms space and a
// 1.2 ms (1) or 0.6 ms (0) burst; frames start 45 ms apart.
constexpr int64_t kSonyStartMicroseconds = 3000;
constexpr int64_t kSonyZeroBitMicroseconds = 1200;
constexpr int64_t kSonyOneBitMicroseconds = 1800;
constexpr int64_t kSonyFramePeriodMicroseconds = 45000;
constexpr int32_t kSonyCommandBits = 7;

// Limits that keep a script's times far inside 64-bit microseconds.
constexpr uint64_t kLargestRepeats = 100000;
constexpr uint64_t kLargestTimes = 100000;
constexpr uint64_t kLargestPauseMilliseconds = 24 * 3600 * 1000;
constexpr uint64_t kLargestIntervalMicroseconds = 3600 * 1000000ULL;
// A recording larger than this is taken for a mistake (a device, a wrong
// file), not read to the end.
constexpr size_t kLargestRecordingBytes = 1024 * 1024;
constexpr uint64_t kLargestJitterPercent = 50;
constexpr uint64_t kLargestSeed = 0xFFFFFFFF;
constexpr int32_t kPercent = 100;

constexpr char kFieldSeparator = ':';
constexpr char kIntervalSeparator = ',';

// --- numbers -------------------------------------------------------------

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

// Converts `text` as the number field `name` in low..high; on failure sets
// *problem.
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

// --- items ---------------------------------------------------------------

// Where a number field of an item goes.
enum SimField {
    kFieldAddress,
    kFieldCommand,
    kFieldExtended,
    kFieldCount,
    kFieldPauseMilliseconds,
};

struct FieldRule {
    const char* name;
    int32_t field;  // a SimField
    uint64_t low;
    uint64_t high;
    bool showHex;   // range given in hex in messages
};

constexpr int32_t kMostFields = 4;

// The shape of an item made of number fields.
struct FieldItemShape {
    const char* name;           // before the first ':'
    int32_t kind;               // a SimItemKind
    int32_t addressBits;        // Sony
    int32_t extendedBits;       // Sony
    int32_t requiredFields;
    int32_t fieldCount;         // the ones after requiredFields are optional
    uint32_t defaultCount;      // of the optional count field
    const char* syntax;         // for messages
    FieldRule fields[kMostFields];
};

const FieldItemShape kFieldItemShapes[] = {
    {"nec", SimNecItem, 0, 0, 2, 3, 0, "nec:ADDR:CMD[:REPEATS]",
     {{"ADDR", kFieldAddress, 0, 0xFFFF, true},
      {"CMD", kFieldCommand, 0, 0xFF, true},
      {"REPEATS", kFieldCount, 0, kLargestRepeats, false}}},
    {"sony12", SimSonyItem, 5, 0, 2, 3, 3, "sony12:CMD:ADDR[:TIMES]",
     {{"CMD", kFieldCommand, 0, 0x7F, true},
      {"ADDR", kFieldAddress, 0, 0x1F, true},
      {"TIMES", kFieldCount, 1, kLargestTimes, false}}},
    {"sony15", SimSonyItem, 8, 0, 2, 3, 3, "sony15:CMD:ADDR[:TIMES]",
     {{"CMD", kFieldCommand, 0, 0x7F, true},
      {"ADDR", kFieldAddress, 0, 0xFF, true},
      {"TIMES", kFieldCount, 1, kLargestTimes, false}}},
    {"sony20", SimSonyItem, 5, 8, 3, 4, 3, "sony20:CMD:ADDR:EXT[:TIMES]",
     {{"CMD", kFieldCommand, 0, 0x7F, true},
      {"ADDR", kFieldAddress, 0, 0x1F, true},
      {"EXT", kFieldExtended, 0, 0xFF, true},
      {"TIMES", kFieldCount, 1, kLargestTimes, false}}},
    {"pause", SimPauseItem, 0, 0, 1, 1, 0, "pause:MS",
     {{"MS", kFieldPauseMilliseconds, 0, kLargestPauseMilliseconds, false}}},
};

void StoreField(int32_t field, uint64_t value, SimItem* item) {
    switch (field) {
        case kFieldAddress:
            item->address = static_cast<uint32_t>(value);
            break;
        case kFieldCommand:
            item->command = static_cast<uint32_t>(value);
            break;
        case kFieldExtended:
            item->extended = static_cast<uint32_t>(value);
            break;
        case kFieldCount:
            item->count = static_cast<uint32_t>(value);
            break;
        case kFieldPauseMilliseconds:
            item->pauseMicroseconds = static_cast<int64_t>(value) * kMicrosecondsPerMillisecond;
            break;
    }
}

bool ParseFieldItem(const FieldItemShape& shape, const std::string& rest, SimItem* item,
                    std::string* problem) {
    std::vector<std::string> texts = SplitText(rest, kFieldSeparator);
    int32_t given = static_cast<int32_t>(texts.size());
    if (given < shape.requiredFields || given > shape.fieldCount) {
        *problem = std::string("expected ") + shape.syntax;
        return false;
    }
    item->kind = shape.kind;
    item->addressBits = shape.addressBits;
    item->extendedBits = shape.extendedBits;
    item->count = shape.defaultCount;
    for (int32_t i = 0; i < given; i++) {
        const FieldRule& rule = shape.fields[i];
        uint64_t value = 0;
        if (!TakeNumber(texts[i], rule.name, rule.low, rule.high, rule.showHex, &value, problem)) {
            return false;
        }
        StoreField(rule.field, value, item);
    }
    return true;
}

bool ParseMicrosItem(const std::string& rest, SimItem* item, std::string* problem) {
    item->kind = SimMicrosItem;
    for (const std::string& text : SplitText(rest, kIntervalSeparator)) {
        uint64_t value = 0;
        if (!TakeNumber(text, "interval", 1, kLargestIntervalMicroseconds, false, &value,
                        problem)) {
            return false;
        }
        item->intervalsMicroseconds.push_back(static_cast<int64_t>(value));
    }
    return true;
}

bool ReadRecording(const std::string& path, std::vector<uint8_t>* bytes, std::string* problem) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *problem = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char chunk[4096];
    bool ok = true;
    for (;;) {
        size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (bytes->size() > kLargestRecordingBytes) {
            *problem = path + " is larger than " + std::to_string(kLargestRecordingBytes) +
                       " bytes";
            ok = false;
            break;
        }
        if (got < sizeof chunk) {
            if (std::ferror(file)) {
                *problem = "cannot read " + path + ": " + std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    std::fclose(file);
    return ok;
}

bool ParseFileItem(const std::string& rest, SimItem* item, std::string* problem) {
    item->kind = SimFileItem;
    if (rest.empty()) {
        *problem = "expected file:PATH";
        return false;
    }
    return ReadRecording(rest, &item->recordedBytes, problem);
}

// Items whose fields are not all numbers of their own.
struct ListItemParser {
    const char* name;
    const char* syntax;
    bool (*parse)(const std::string& rest, SimItem* item, std::string* problem);
};

const ListItemParser kListItemParsers[] = {
    {"us", "us:N,N,...", ParseMicrosItem},
    {"file", "file:PATH", ParseFileItem},
};

// Parses one item argument; false with *message set when it is bad.
bool ParseItem(const std::string& text, SimItem* item, std::string* message) {
    item->text = text;
    size_t separator = text.find(kFieldSeparator);
    if (separator == std::string::npos) {
        separator = text.size();
    }
    std::string name = text.substr(0, separator);
    bool hasFields = separator < text.size();
    std::string rest = hasFields ? text.substr(separator + 1) : std::string();
    std::string problem;
    const char* syntax = nullptr;
    bool ok = false;
    for (const FieldItemShape& shape : kFieldItemShapes) {
        if (name == shape.name) {
            syntax = shape.syntax;
            ok = hasFields && ParseFieldItem(shape, rest, item, &problem);
        }
    }
    for (const ListItemParser& parser : kListItemParsers) {
        if (name == parser.name) {
            syntax = parser.syntax;
            ok = hasFields && parser.parse(rest, item, &problem);
        }
    }
    if (syntax == nullptr) {
        *message = "unknown item '" + text + "' (try --help)";
        return false;
    }
    if (!hasFields) {
        problem = std::string("expected ") + syntax;
    }
    if (!ok) {
        *message = "bad item '" + text + "': " + problem;
    }
    return ok;
}

// --- options -------------------------------------------------------------

bool SetPort(SimOptions* options, const std::string& value, std::string* problem) {
    if (value.empty()) {
        *problem = "PATH is empty";
        return false;
    }
    options->portPath = value;
    return true;
}

bool SetJitter(SimOptions* options, const std::string& value, std::string* problem) {
    uint64_t percent = 0;
    if (!TakeNumber(value, "PCT", 0, kLargestJitterPercent, false, &percent, problem)) {
        return false;
    }
    options->jitterPercent = static_cast<int32_t>(percent);
    return true;
}

bool SetSeed(SimOptions* options, const std::string& value, std::string* problem) {
    uint64_t seed = 0;
    if (!TakeNumber(value, "N", 0, kLargestSeed, false, &seed, problem)) {
        return false;
    }
    options->seed = static_cast<uint32_t>(seed);
    options->seedGiven = true;
    return true;
}

bool SetFast(SimOptions* options, const std::string&, std::string*) {
    options->fast = true;
    return true;
}

bool SetLoop(SimOptions* options, const std::string&, std::string*) {
    options->loop = true;
    return true;
}

struct OptionRule {
    const char* name;
    bool takesValue;
    bool (*apply)(SimOptions* options, const std::string& value, std::string* problem);
};

const OptionRule kOptionRules[] = {
    {"--port", true, SetPort},
    {"--jitter", true, SetJitter},
    {"--seed", true, SetSeed},
    {"--fast", false, SetFast},
    {"--loop", false, SetLoop},
};

constexpr char kHelpOption[] = "--help";

const OptionRule* FindOption(const std::string& name) {
    for (const OptionRule& rule : kOptionRules) {
        if (name == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

bool IsOptionText(const char* text) {
    return text[0] == '-' && text[1] != '\0';
}

// --- bursts and events ---------------------------------------------------

// A measured burst at the time of the burst before it is that burst; a
// recorded one always counts (a recorded 0 is an interval of its own).
bool IsSameBurst(bool hasPrevious, int64_t previousMicroseconds, const Burst& burst) {
    return hasPrevious && burst.recordedByte == kMeasuredBurst &&
           burst.startMicroseconds == previousMicroseconds;
}

void AddBurst(std::vector<Burst>* bursts, int64_t startMicroseconds,
              int32_t recordedByte = kMeasuredBurst) {
    Burst burst{startMicroseconds, recordedByte};
    bool hasPrevious = !bursts->empty();
    if (IsSameBurst(hasPrevious, hasPrevious ? bursts->back().startMicroseconds : 0, burst)) {
        return;
    }
    bursts->push_back(burst);
}

// The 32 bits of an NEC frame, first bit sent in bit 0.
uint32_t NecCode(const SimItem& item) {
    uint32_t address = item.address;
    if (address <= kNecShortAddressLargest) {
        address |= (~address & kByteMask) << 8;
    }
    uint32_t command = item.command | ((~item.command & kByteMask) << 8);
    return address | (command << 16);
}

void AppendNecBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                     int64_t* end) {
    uint32_t code = NecCode(item);
    AddBurst(bursts, start);
    int64_t at = start + kNecLeaderMicroseconds;
    for (int32_t bit = 0; bit < kNecCodeBits; bit++) {
        AddBurst(bursts, at);
        at += ((code >> bit) & 1u) ? kNecOneBitMicroseconds : kNecZeroBitMicroseconds;
    }
    AddBurst(bursts, at);  // stop burst
    int64_t leader = start;
    for (uint32_t repeat = 0; repeat < item.count; repeat++) {
        leader += kNecFramePeriodMicroseconds;
        AddBurst(bursts, leader);
        AddBurst(bursts, leader + kNecRepeatLeaderMicroseconds);
    }
    *end = leader + kNecFramePeriodMicroseconds;
}

void AppendSonyBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                      int64_t* end) {
    uint32_t code = item.command | (item.address << kSonyCommandBits) |
                    (item.extended << (kSonyCommandBits + item.addressBits));
    int32_t bits = kSonyCommandBits + item.addressBits + item.extendedBits;
    int64_t frame = start;
    for (uint32_t time = 0; time < item.count; time++) {
        AddBurst(bursts, frame);
        int64_t at = frame + kSonyStartMicroseconds;
        for (int32_t bit = 0; bit < bits; bit++) {
            AddBurst(bursts, at);
            at += ((code >> bit) & 1u) ? kSonyOneBitMicroseconds : kSonyZeroBitMicroseconds;
        }
        frame += kSonyFramePeriodMicroseconds;
    }
    *end = frame;
}

void AppendPauseBursts(const SimItem& item, int64_t start, std::vector<Burst>*, int64_t* end) {
    *end = start + item.pauseMicroseconds;
}

void AppendMicrosBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                        int64_t* end) {
    int64_t at = start;
    AddBurst(bursts, at);
    for (int64_t interval : item.intervalsMicroseconds) {
        at += interval;
        AddBurst(bursts, at);
    }
    *end = at;
}

void AppendFileBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                      int64_t* end) {
    int64_t at = start;
    if (!item.recordedBytes.empty()) {
        // The burst that the first recorded interval starts from.
        AddBurst(bursts, at);
    }
    for (uint8_t byte : item.recordedBytes) {
        at += byte * kTickMicroseconds;
        AddBurst(bursts, at, byte);
    }
    *end = at;
}

struct BurstMaker {
    int32_t kind;
    void (*append)(const SimItem& item, int64_t start, std::vector<Burst>* bursts, int64_t* end);
};

const BurstMaker kBurstMakers[] = {
    {SimNecItem, AppendNecBursts},
    {SimSonyItem, AppendSonyBursts},
    {SimPauseItem, AppendPauseBursts},
    {SimMicrosItem, AppendMicrosBursts},
    {SimFileItem, AppendFileBursts},
};

// An interval varied at random within +-percent of its length.
int64_t JitteredInterval(int64_t interval, int32_t percent, std::mt19937* random) {
    int64_t spread = interval * percent / kPercent;
    if (spread <= 0) {
        return interval;
    }
    std::uniform_int_distribution<int64_t> offset(-spread, spread);
    return interval + offset(*random);
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

int32_t ParseSimCommandLine(int argc, const char* const* argv, SimCommand* command,
                            std::string* message) {
    *command = SimCommand();
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], kHelpOption) == 0) {
            return SimParseHelp;
        }
    }
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (!IsOptionText(argument)) {
            SimItem item;
            if (!ParseItem(argument, &item, message)) {
                return SimParseBad;
            }
            command->items.push_back(item);
            continue;
        }
        // --name VALUE or --name=VALUE
        std::string text = argument;
        size_t equals = text.find('=');
        std::string name = text.substr(0, equals);
        const OptionRule* rule = FindOption(name);
        if (rule == nullptr) {
            *message = "unknown option '" + text + "' (try --help)";
            return SimParseBad;
        }
        std::string value;
        if (rule->takesValue) {
            if (equals != std::string::npos) {
                value = text.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                *message = "option " + name + " needs a value";
                return SimParseBad;
            }
        } else if (equals != std::string::npos) {
            *message = "option " + name + " takes no value: '" + text + "'";
            return SimParseBad;
        }
        std::string problem;
        if (!rule->apply(&command->options, value, &problem)) {
            *message = "bad option '" + name + " " + value + "': " + problem;
            return SimParseBad;
        }
    }
    if (command->items.empty()) {
        *message = "no items to play (try --help)";
        return SimParseBad;
    }
    return SimParseRun;
}

void AppendItemBursts(const SimItem& item, int64_t startMicroseconds, std::vector<Burst>* bursts,
                      int64_t* endMicroseconds) {
    *endMicroseconds = startMicroseconds;
    for (const BurstMaker& maker : kBurstMakers) {
        if (maker.kind == item.kind) {
            maker.append(item, startMicroseconds, bursts, endMicroseconds);
        }
    }
}

Timeline BuildTimeline(const std::vector<SimItem>& items, int64_t startMicroseconds) {
    Timeline timeline{{}, startMicroseconds};
    for (const SimItem& item : items) {
        AppendItemBursts(item, timeline.endMicroseconds, &timeline.bursts,
                         &timeline.endMicroseconds);
    }
    return timeline;
}

uint8_t IntervalByte(int64_t intervalMicroseconds) {
    int64_t ticks = (intervalMicroseconds + kTickMicroseconds / 2) / kTickMicroseconds;
    return static_cast<uint8_t>(ticks & kByteMask);
}

void AppendEvents(const std::vector<Burst>& bursts, int32_t jitterPercent, std::mt19937* random,
                  EventCursor* cursor, std::vector<SendEvent>* events) {
    for (const Burst& burst : bursts) {
        if (!cursor->hasPreviousBurst) {
            // The first burst of the run ends no interval.
            cursor->hasPreviousBurst = true;
            cursor->previousNominalMicroseconds = burst.startMicroseconds;
            cursor->previousSentMicroseconds = burst.startMicroseconds;
            continue;
        }
        if (IsSameBurst(true, cursor->previousNominalMicroseconds, burst)) {
            continue;
        }
        int64_t interval = burst.startMicroseconds - cursor->previousNominalMicroseconds;
        uint8_t value = 0;
        if (burst.recordedByte == kMeasuredBurst) {
            interval = JitteredInterval(interval, jitterPercent, random);
            value = IntervalByte(interval);
        } else {
            value = static_cast<uint8_t>(burst.recordedByte);
        }
        cursor->previousNominalMicroseconds = burst.startMicroseconds;
        cursor->previousSentMicroseconds += interval;
        events->push_back(SendEvent{cursor->previousSentMicroseconds, value});
    }
}

int64_t SentTimeOf(const EventCursor& cursor, int64_t nominalMicroseconds) {
    if (!cursor.hasPreviousBurst) {
        return nominalMicroseconds;
    }
    return nominalMicroseconds + cursor.previousSentMicroseconds -
           cursor.previousNominalMicroseconds;
}
