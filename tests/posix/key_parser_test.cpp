// The parser from a terminal's bytes to Win32 key codes.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "key_parser.h"

namespace {

constexpr int kNone = kNoSecondCode;

struct KeyCase {
    const char* name;
    std::string bytes;
    size_t length;  // bytes the first key takes
    int firstCode;
    int secondCode;
};

ParsedKey Parse(const std::string& bytes, bool moreMayCome)
{
    return ParseKeyBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                         moreMayCome);
}

std::string Bytes(const char* text, size_t length) { return std::string(text, length); }

std::string Printable(const std::string& bytes)
{
    std::string shown;
    for (const unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F) {
            shown += static_cast<char>(byte);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            shown += hex;
        }
    }
    return shown;
}

const KeyCase kCompleteKeys[] = {
    // Keys that give a character: the byte, untranslated.
    {"letter", "a", 1, 'a', kNone},
    {"Enter", "\r", 1, 13, kNone},
    {"Space", " ", 1, 32, kNone},
    {"Tab", "\t", 1, 9, kNone},
    {"Backspace", "\x7f", 1, 127, kNone},
    {"Ctrl+C as a byte", "\x03", 1, 3, kNone},
    {"Ctrl+S", "\x13", 1, 19, kNone},
    {"Ctrl+Q", "\x11", 1, 17, kNone},
    {"line feed", "\n", 1, 10, kNone},
    {"first of two keys", "ab", 1, 'a', kNone},
    {"Ctrl+Space", Bytes("\0", 1), 1, 0, 3},
    {"Ctrl+Space then a", Bytes("\0a", 2), 1, 0, 3},
    // Escape on its own, and before a byte that starts no sequence.
    {"Escape then letter", "\x1bx", 1, 27, kNone},
    {"Escape twice", "\x1b\x1b", 1, 27, kNone},
    {"Escape then Enter", "\x1b\r", 1, 27, kNone},
    // Cursor keys, normal and application mode.
    {"Up CSI", "\x1b[A", 3, 224, 72},
    {"Down CSI", "\x1b[B", 3, 224, 80},
    {"Right CSI", "\x1b[C", 3, 224, 77},
    {"Left CSI", "\x1b[D", 3, 224, 75},
    {"Up SS3", "\x1bOA", 3, 224, 72},
    {"Down SS3", "\x1bOB", 3, 224, 80},
    {"Right SS3", "\x1bOC", 3, 224, 77},
    {"Left SS3", "\x1bOD", 3, 224, 75},
    {"Home CSI", "\x1b[H", 3, 224, 71},
    {"End CSI", "\x1b[F", 3, 224, 79},
    {"Home SS3", "\x1bOH", 3, 224, 71},
    {"End SS3", "\x1bOF", 3, 224, 79},
    // Editing keys, VT style.
    {"Home VT", "\x1b[1~", 4, 224, 71},
    {"Insert", "\x1b[2~", 4, 224, 82},
    {"Delete", "\x1b[3~", 4, 224, 83},
    {"End VT", "\x1b[4~", 4, 224, 79},
    {"Page Up", "\x1b[5~", 4, 224, 73},
    {"Page Down", "\x1b[6~", 4, 224, 81},
    {"Home rxvt", "\x1b[7~", 4, 224, 71},
    {"End rxvt", "\x1b[8~", 4, 224, 79},
    // Function keys.
    {"F1 SS3", "\x1bOP", 3, 0, 59},
    {"F2 SS3", "\x1bOQ", 3, 0, 60},
    {"F3 SS3", "\x1bOR", 3, 0, 61},
    {"F4 SS3", "\x1bOS", 3, 0, 62},
    {"F1 VT", "\x1b[11~", 5, 0, 59},
    {"F2 VT", "\x1b[12~", 5, 0, 60},
    {"F3 VT", "\x1b[13~", 5, 0, 61},
    {"F4 VT", "\x1b[14~", 5, 0, 62},
    {"F5", "\x1b[15~", 5, 0, 63},
    {"F6", "\x1b[17~", 5, 0, 64},
    {"F7", "\x1b[18~", 5, 0, 65},
    {"F8", "\x1b[19~", 5, 0, 66},
    {"F9", "\x1b[20~", 5, 0, 67},
    {"F10", "\x1b[21~", 5, 0, 68},
    {"F11", "\x1b[23~", 5, 224, 133},
    {"F12", "\x1b[24~", 5, 224, 134},
    {"F1 Linux console", "\x1b[[A", 4, 0, 59},
    {"F3 Linux console", "\x1b[[C", 4, 0, 61},
    {"F5 Linux console", "\x1b[[E", 4, 0, 63},
    // With modifiers: the key itself, the modifier ignored.
    {"Ctrl+Up", "\x1b[1;5A", 6, 224, 72},
    {"Shift+End", "\x1b[1;2F", 6, 224, 79},
    {"Shift+F1", "\x1b[1;2P", 6, 0, 59},
    {"Ctrl+Delete", "\x1b[3;5~", 6, 224, 83},
    {"Alt+F12", "\x1b[24;3~", 7, 224, 134},
    {"Ctrl+Insert rxvt", "\x1b[2^", 4, 224, 82},
    {"Shift+Delete rxvt then Up", "\x1b[3$\x1b[A", 4, 224, 83},
    {"Ctrl+Up rxvt", "\x1bOa", 3, 224, 72},
    {"Shift+Left rxvt", "\x1b[d", 3, 224, 75},
    {"Shift+Tab", "\x1b[Z", 3, 0, 15},
    // Numeric keypad in application mode gives its characters.
    {"keypad Enter", "\x1bOM", 3, 13, kNone},
    {"keypad 0", "\x1bOp", 3, '0', kNone},
    {"keypad 9", "\x1bOy", 3, '9', kNone},
    {"keypad minus", "\x1bOm", 3, '-', kNone},
    // Unknown sequences are taken whole and read as Escape.
    {"unknown number", "\x1b[99~", 5, 27, kNone},
    {"unused number 16", "\x1b[16~", 5, 27, kNone},
    {"unknown letter", "\x1b[E", 3, 27, kNone},
    {"unknown SS3", "\x1bOZ", 3, 27, kNone},
    {"bracketed paste mark", "\x1b[200~", 6, 27, kNone},
    {"huge number", "\x1b[99999999999999999999~", 23, 27, kNone},
    {"Linux console unknown", "\x1b[[Z", 4, 27, kNone},
    // A byte that cannot stand in a sequence cuts it short and is left.
    {"cut by control byte", "\x1b[1\x01", 3, 27, kNone},
    {"cut by Escape", "\x1b[\x1b[A", 2, 27, kNone},
    {"SS3 cut by control byte", "\x1bO\r", 2, 27, kNone},
    // A sequence followed by more keys takes only its own bytes.
    {"Up then letter", "\x1b[Ax", 3, 224, 72},
    {"F5 then Escape", "\x1b[15~\x1b", 5, 0, 63},
    // UTF-8: the whole character, its first byte as the code.
    {"two-byte character", "\xc3\xa9", 2, 0xC3, kNone},
    {"three-byte character", "\xe2\x82\xac", 3, 0xE2, kNone},
    {"four-byte character", "\xf0\x9f\x98\x80", 4, 0xF0, kNone},
    {"character then letter", "\xc3\xa9x", 2, 0xC3, kNone},
    {"character cut by letter", "\xe2\x82x", 2, 0xE2, kNone},
    {"lead then letter", "\xc3x", 1, 0xC3, kNone},
    {"stray continuation", "\xa9", 1, 0xA9, kNone},
    {"single-byte charset", "\xe9" "a", 1, 0xE9, kNone},
    {"byte 255", "\xff", 1, 255, kNone},
    {"overlong lead C0", "\xc0\x80", 1, 0xC0, kNone},
};

TEST(ParseKeyBytesTest, CompleteKeysGiveTheirCodesAndLength)
{
    for (const KeyCase& key : kCompleteKeys) {
        // A complete key reads the same whether or not more bytes may come.
        for (const bool moreMayCome : {true, false}) {
            SCOPED_TRACE(std::string(key.name) + (moreMayCome ? " (more may come)" : " (final)"));
            const ParsedKey parsed = Parse(key.bytes, moreMayCome);
            EXPECT_EQ(parsed.outcome, kParsedKey);
            EXPECT_EQ(parsed.length, key.length);
            EXPECT_EQ(parsed.firstCode, key.firstCode);
            EXPECT_EQ(parsed.secondCode, key.secondCode);
        }
    }
}

// The start of a key whose rest has not arrived: wait for it while it may
// still come; once no more comes, it is taken as it stands.
const KeyCase kUnfinishedKeys[] = {
    {"lone Escape", "\x1b", 1, 27, kNone},
    {"CSI", "\x1b[", 2, 27, kNone},
    {"SS3", "\x1bO", 2, 27, kNone},
    {"CSI with parameters", "\x1b[1;5", 5, 27, kNone},
    {"CSI number", "\x1b[24", 4, 27, kNone},
    {"Linux console", "\x1b[[", 3, 27, kNone},
    // rxvt's Shift form ends with $, which may also begin an intermediate.
    {"Shift+Page Up rxvt", "\x1b[5$", 4, 224, 73},
    // Strings that begin as replies do but never end: Escape typed before
    // a letter (Alt+P, Alt+]); the letter is the next key.
    {"Alt+P", "\x1bP", 1, 27, kNone},
    {"Alt+] then letters", "\x1b]ab", 1, 27, kNone},
    {"two-byte lead", "\xc3", 1, 0xC3, kNone},
    {"three-byte lead", "\xe2\x82", 2, 0xE2, kNone},
    {"four-byte lead", "\xf0\x9f\x98", 3, 0xF0, kNone},
};

TEST(ParseKeyBytesTest, UnfinishedKeysWaitThenAreTakenAsTheyStand)
{
    for (const KeyCase& key : kUnfinishedKeys) {
        SCOPED_TRACE(key.name);
        EXPECT_EQ(Parse(key.bytes, true).outcome, kParseNeedsMore);
        const ParsedKey parsed = Parse(key.bytes, false);
        EXPECT_EQ(parsed.outcome, kParsedKey);
        EXPECT_EQ(parsed.length, key.length);
        EXPECT_EQ(parsed.firstCode, key.firstCode);
        EXPECT_EQ(parsed.secondCode, key.secondCode);
    }
}

// Every first code of a key that is neither Enter nor Space ends a run:
// no byte a terminal can send may read as 13 or 32 unless it is that key.
TEST(ParseKeyBytesTest, OnlyEnterAndSpaceGiveTheirCodes)
{
    for (int byte = 0; byte < 256; ++byte) {
        const unsigned char single = static_cast<unsigned char>(byte);
        const ParsedKey parsed = ParseKeyBytes(&single, 1, false);
        ASSERT_EQ(parsed.outcome, kParsedKey);
        EXPECT_EQ(parsed.length, 1u);
        const bool isEnterOrSpace = byte == '\r' || byte == ' ';
        EXPECT_EQ(parsed.firstCode == 13 || parsed.firstCode == 32, isEnterOrSpace) << byte;
    }
}

// Input a terminal sends that is no key press: taken whole and dropped.
struct NoKeyCase {
    const char* name;
    std::string bytes;
    size_t length;  // bytes dropped
};

const NoKeyCase kNoKeyInput[] = {
    {"SGR mouse press", "\x1b[<0;10;10M", 11},
    {"SGR mouse release", "\x1b[<0;10;10m", 11},
    {"SGR mouse then letter", "\x1b[<35;1;200Mq", 12},
    {"X10 mouse", "\x1b[M !!", 6},
    {"X10 mouse with high bytes", "\x1b[M\xff\x1b\x7f", 6},
    {"X10 mouse then Up", "\x1b[M #$\x1b[A", 6},
    {"urxvt mouse", "\x1b[32;10;5M", 10},
    {"focus in", "\x1b[I", 3},
    {"focus out", "\x1b[O", 3},
    {"device attributes", "\x1b[?1;2c", 7},
    {"secondary device attributes", "\x1b[>41;354;0c", 12},
    {"cursor position report", "\x1b[12;40R", 8},
    {"cursor position report row 2", "\x1b[2;5R", 6},
    {"status report", "\x1b[0n", 4},
    {"window size report", "\x1b[8;24;80t", 10},
    {"terminal parameters", "\x1b[2;1;1;112;112;1;0x", 20},
    {"mode report", "\x1b[?2004;2$y", 11},
    {"with intermediate", "\x1b[1 q", 5},
    {"dollar as intermediate", "\x1b[1$}", 5},
    {"kitty keyboard flags", "\x1b[?1u", 5},
    {"colour reply ended by BEL", "\x1b]11;rgb:ffff/ffff/ffff\x07", 24},
    {"colour reply ended by ST", "\x1b]10;rgb:0000/0000/0000\x1b\\", 25},
    {"version reply", "\x1bP>|XTerm(379)\x1b\\", 16},
    {"graphics reply", "\x1b_Gi=1;OK\x1b\\", 11},
};

TEST(ParseKeyBytesTest, InputThatIsNoKeyIsDroppedWhole)
{
    for (const NoKeyCase& input : kNoKeyInput) {
        for (const bool moreMayCome : {true, false}) {
            SCOPED_TRACE(std::string(input.name) + (moreMayCome ? " (more may come)" : " (final)"));
            const ParsedKey parsed = Parse(input.bytes, moreMayCome);
            EXPECT_EQ(parsed.outcome, kParsedNoKey);
            EXPECT_EQ(parsed.length, input.length);
        }
    }
}

// A report cut short stays no key; a key cut short reads as Escape.
TEST(ParseKeyBytesTest, ReportCutShortIsNoKey)
{
    for (const std::string& start : {std::string("\x1b[<0;10"), std::string("\x1b[M "),
                                     std::string("\x1b[?1;")}) {
        SCOPED_TRACE(Printable(start));
        EXPECT_EQ(Parse(start, true).outcome, kParseNeedsMore);
        const ParsedKey parsed = Parse(start, false);
        EXPECT_EQ(parsed.outcome, kParsedNoKey);
        EXPECT_EQ(parsed.length, start.size());
    }
}

// However the bytes are split across reads, the answer is the same: every
// start of a case's bytes, while more may come, either waits for more or
// gives already the answer for the whole bytes.
TEST(ParseKeyBytesTest, EveryStartWaitsOrGivesTheAnswerOfTheWhole)
{
    std::vector<std::string> inputs;
    for (const KeyCase& key : kCompleteKeys) inputs.push_back(key.bytes);
    for (const NoKeyCase& input : kNoKeyInput) inputs.push_back(input.bytes);
    for (const std::string& bytes : inputs) {
        SCOPED_TRACE(Printable(bytes));
        const ParsedKey whole = Parse(bytes, true);
        ASSERT_NE(whole.outcome, kParseNeedsMore);
        for (size_t count = 1; count < bytes.size(); ++count) {
            const ParsedKey start = Parse(bytes.substr(0, count), true);
            if (start.outcome == kParseNeedsMore) continue;
            EXPECT_EQ(start.outcome, whole.outcome) << "after " << count << " bytes";
            EXPECT_EQ(start.length, whole.length) << "after " << count << " bytes";
            EXPECT_EQ(start.firstCode, whole.firstCode) << "after " << count << " bytes";
            EXPECT_EQ(start.secondCode, whole.secondCode) << "after " << count << " bytes";
        }
    }
}

}  // namespace
