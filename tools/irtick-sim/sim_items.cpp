// The grammar of irtick-sim's items: NAME:FIELD:FIELD..., each field a
// range-checked number, except for the interval list of us: and the path of
// file:.

#include "sim_items.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim_number.h"

namespace {

constexpr int64_t kMicrosecondsPerMillisecond = 1000;

// Limits that keep a script's times far inside 64-bit microseconds.
constexpr uint64_t kLargestRepeats = 100000;
constexpr uint64_t kLargestTimes = 100000;
constexpr uint64_t kLargestPauseMilliseconds = 24 * 3600 * 1000;
constexpr uint64_t kLargestIntervalMicroseconds = 3600 * 1000000ULL;
// A recording larger than this is taken for a mistake (a device, a wrong
// file), not read to the end.
constexpr size_t kLargestRecordingBytes = 1024 * 1024;

constexpr char kFieldSeparator = ':';
constexpr char kIntervalSeparator = ',';

// Where a number field of an item goes.
enum SimField {
    kFieldAddress,
    kFieldCommand,
    kFieldExtended,
    kFieldCount,
    kFieldPauseMilliseconds,
    kFieldData,
    kFieldToggle,
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
    uint32_t defaultCount;      // of the optional count field, or the fixed count
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
    {"samsung", SimSamsungItem, 0, 0, 2, 3, 1, "samsung:ADDR:CMD[:TIMES]",
     {{"ADDR", kFieldAddress, 0, 0xFF, true},
      {"CMD", kFieldCommand, 0, 0xFF, true},
      {"TIMES", kFieldCount, 1, kLargestTimes, false}}},
    {"jvc", SimJvcItem, 0, 0, 2, 3, 0, "jvc:ADDR:CMD[:REPEATS]",
     {{"ADDR", kFieldAddress, 0, 0xFF, true},
      {"CMD", kFieldCommand, 0, 0xFF, true},
      {"REPEATS", kFieldCount, 0, kLargestRepeats, false}}},
    {"lg", SimLgItem, 0, 0, 1, 2, 0, "lg:DATA28[:REPEATS]",
     {{"DATA28", kFieldData, 0, 0xFFFFFFF, true},
      {"REPEATS", kFieldCount, 0, kLargestRepeats, false}}},
    // count: the one frame; Sharp's: the pair.
    {"kaseikyo", SimKaseikyoItem, 0, 0, 2, 2, 1, "kaseikyo:VENDOR:DATA32",
     {{"VENDOR", kFieldAddress, 0, 0xFFFF, true},
      {"DATA32", kFieldData, 0, 0xFFFFFFFF, true}}},
    {"sharp", SimSharpItem, 0, 0, 2, 2, 2, "sharp:ADDR:CMD",
     {{"ADDR", kFieldAddress, 0, 0x1F, true},
      {"CMD", kFieldCommand, 0, 0xFF, true}}},
    {"rc5", SimRc5Item, 0, 0, 2, 3, 0, "rc5:ADDR:CMD[:TOGGLE]",
     {{"ADDR", kFieldAddress, 0, 0x1F, true},
      {"CMD", kFieldCommand, 0, 0x7F, true},
      {"TOGGLE", kFieldToggle, 0, 1, false}}},
    {"rc6", SimRc6Item, 0, 0, 2, 3, 0, "rc6:ADDR:CMD[:TOGGLE]",
     {{"ADDR", kFieldAddress, 0, 0xFF, true},
      {"CMD", kFieldCommand, 0, 0xFF, true},
      {"TOGGLE", kFieldToggle, 0, 1, false}}},
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
        case kFieldData:
            item->data = static_cast<uint32_t>(value);
            break;
        case kFieldToggle:
            item->toggle = static_cast<uint32_t>(value);
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

}  // namespace

bool ParseSimItem(const std::string& text, SimItem* item, std::string* message) {
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

