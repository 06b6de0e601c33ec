// ParseKeyBytes over any terminal bytes, driven as the key reader drives it:
// the bytes arrive in reads of fuzzer-chosen sizes, each read is added to
// the pending bytes, which are parsed until they only begin a key, and what
// was parsed is consumed; after the last read the rest is parsed with no
// more bytes to come.  Every answer is checked against the parser's
// contract, and the keys (with where each starts and how long it is) must
// be the same as for the whole input in one read.
//
// Input: byte 0 gives the number of read-size bytes that follow (its low 4
// bits); the read sizes are used in turn, over and over (0 is a read that
// gave nothing); the rest of the input is what the terminal sends.

#include <cstdint>
#include <vector>

#include "key_parser.h"
#include "support/fuzz_input.h"

namespace {

constexpr uint8_t kReadSizeCountMask = 0x0F;
constexpr unsigned char kEscape = 0x1B;
constexpr int kEscapeCode = 27;
constexpr int kNulKeySecondCode = 3;
// A key that gives a character is at most one UTF-8 character long.
constexpr size_t kLongestCharacter = 4;
// Lead bytes of multi-byte UTF-8 characters, whose rest may be awaited.
constexpr unsigned char kFirstMultiByteLead = 0xC2;
constexpr unsigned char kLastMultiByteLead = 0xF4;

// One thing taken from the stream: a key or bytes that are no key.
struct TakenInput {
    size_t start;   // offset in the stream
    size_t length;
    int outcome;    // kParsedKey or kParsedNoKey
    int firstCode;
    int secondCode;

    bool operator==(const TakenInput& other) const
    {
        return start == other.start && length == other.length && outcome == other.outcome &&
               firstCode == other.firstCode && secondCode == other.secondCode;
    }
};

bool IsCode(int code) { return code >= 0 && code <= 255; }

// The contract of one answer for bytes[0 .. count).
void CheckAnswer(const unsigned char* bytes, size_t count, bool moreMayCome,
                 const ParsedKey& parsed)
{
    if (count == 0) {
        FuzzCheck(parsed.outcome == kParseNeedsMore && parsed.length == 0,
                  "no bytes give kParseNeedsMore with length 0");
        return;
    }
    if (parsed.outcome == kParseNeedsMore) {
        FuzzCheck(moreMayCome, "kParseNeedsMore although no more bytes may come");
        const unsigned char first = bytes[0];
        FuzzCheck(first == kEscape || (first >= kFirstMultiByteLead && first <= kLastMultiByteLead),
                  "kParseNeedsMore for a byte that begins no sequence");
        return;
    }
    FuzzCheck(parsed.outcome == kParsedKey || parsed.outcome == kParsedNoKey, "outcome");
    FuzzCheck(parsed.length >= 1 && parsed.length <= count, "length outside 1..count");
    if (parsed.outcome == kParsedNoKey) {
        FuzzCheck(bytes[0] == kEscape, "no key from bytes that do not start with ESC");
        return;
    }
    FuzzCheck(IsCode(parsed.firstCode), "first code outside 0..255");
    const bool extended =
        parsed.firstCode == kFunctionKeyPrefix || parsed.firstCode == kExtendedKeyPrefix;
    if (parsed.secondCode != kNoSecondCode) {
        FuzzCheck(extended, "a second code after a first code other than 0 or 224");
        FuzzCheck(IsCode(parsed.secondCode), "second code outside 0..255");
    }
    const unsigned char first = bytes[0];
    if (first == 0) {
        FuzzCheck(parsed.length == 1 && parsed.firstCode == kFunctionKeyPrefix &&
                      parsed.secondCode == kNulKeySecondCode,
                  "a byte 0 gives 0, 3");
    } else if (first != kEscape) {
        FuzzCheck(parsed.firstCode == first && parsed.secondCode == kNoSecondCode,
                  "a character gives its first byte");
        FuzzCheck(parsed.length <= kLongestCharacter, "a character longer than 4 bytes");
    } else if (parsed.length == 1) {
        FuzzCheck(parsed.firstCode == kEscapeCode && parsed.secondCode == kNoSecondCode,
                  "a lone ESC gives 27");
    }
}

// Parses the pending bytes from the front until they only begin a key (or,
// with no more to come, until they are used up), consuming what was taken.
void ParsePending(std::vector<unsigned char>* pending, size_t* consumed, bool moreMayCome,
                  std::vector<TakenInput>* taken)
{
    size_t at = 0;
    while (at < pending->size()) {
        const unsigned char* bytes = pending->data() + at;
        const size_t count = pending->size() - at;
        const ParsedKey parsed = ParseKeyBytes(bytes, count, moreMayCome);
        CheckAnswer(bytes, count, moreMayCome, parsed);
        if (parsed.outcome == kParseNeedsMore) break;
        taken->push_back(TakenInput{*consumed + at, parsed.length, parsed.outcome,
                                    parsed.firstCode, parsed.secondCode});
        at += parsed.length;
    }
    pending->erase(pending->begin(), pending->begin() + static_cast<std::ptrdiff_t>(at));
    *consumed += at;
}

std::vector<TakenInput> TakeInReads(const uint8_t* stream, size_t size,
                                    const std::vector<uint8_t>& readSizes)
{
    std::vector<TakenInput> taken;
    std::vector<unsigned char> pending;
    size_t consumed = 0;
    size_t sent = 0;
    size_t emptyReadsInARow = 0;
    for (size_t turn = 0; sent < size; ++turn) {
        size_t readSize = readSizes.empty() ? size : readSizes[turn % readSizes.size()];
        // Every size 0 would never end: a whole turn of them reads one byte.
        if (readSize == 0 && ++emptyReadsInARow > readSizes.size()) readSize = 1;
        if (readSize > 0) emptyReadsInARow = 0;
        if (readSize > size - sent) readSize = size - sent;
        pending.insert(pending.end(), stream + sent, stream + sent + readSize);
        sent += readSize;
        ParsePending(&pending, &consumed, true, &taken);
    }
    ParsePending(&pending, &consumed, false, &taken);
    FuzzCheck(pending.empty() && consumed == size, "bytes left over after the last parse");
    return taken;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size, 0};
    const size_t readSizeCount = TakeFuzzByte(input) & kReadSizeCountMask;
    std::vector<uint8_t> readSizes;
    for (size_t i = 0; i < readSizeCount; ++i) readSizes.push_back(TakeFuzzByte(input));
    const uint8_t* stream = data + input.used;
    const size_t streamSize = size - input.used;

    const std::vector<TakenInput> whole = TakeInReads(stream, streamSize, {});
    const std::vector<TakenInput> split = TakeInReads(stream, streamSize, readSizes);
    FuzzCheck(split == whole, "the keys depend on how the bytes were split across reads");

    CheckAnswer(stream, 0, false, ParseKeyBytes(stream, 0, false));
    return 0;
}
