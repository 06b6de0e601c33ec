// The NEC and Sony decoders seen from outside: exact receiver bytes written
// to the built irtick's port, and its exact, complete output after the quit
// key, where each code line and repeat mark must stand right after the field
// of the value that caused it.  Every stream is written in one go, so a
// frame spans several reads of 16 bytes and the decoders' state has to
// carry over from one read to the next.

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

// An NEC frame of address 00 and command 45: the leader, then the address,
// its complement, the command and its complement, each lowest bit first,
// 18 for a 0 bit and 35 for a 1 bit.
const std::vector<int> kNecFrame = {
    211,
    18, 18, 18, 18, 18, 18, 18, 18,  // address 00
    35, 35, 35, 35, 35, 35, 35, 35,  // its complement FF
    35, 18, 35, 18, 18, 18, 35, 18,  // command 45
    18, 35, 18, 35, 35, 35, 18, 35,  // its complement BA
};
const char kNecCodeLine[] = "\nNEC Code: BA45FF00\n";
const char kRepeatMark[] = "Rpt ";
constexpr int kRepeatLeader = 176;

// A 12-bit Sony frame: the start, then 11 bit values, lowest bit first,
// 19 for a 0 bit and 28 for a 1 bit (bits 0, 2, 5 and 7 set); the interval
// of the 12th bit runs on into the pause and is no part of the code.
const std::vector<int> kSonyFrame = {47, 28, 19, 28, 19, 19, 28, 19, 28, 19, 19, 19};
const char kSonyCodeLine[] = "\nSony Code: 000A5\n";

// Pauses after a frame, in no window of either decoder.  257 arrives as the
// byte 1, so the decoders are seen to get the wrap-corrected value.
constexpr int kNecPause = 255;
constexpr int kRepeatPause = 257;
constexpr int kSonyPause = 137;

// Bytes below this stand for 256 and more: the receiver's counter wrapped.
constexpr int kWrapOffset = 256;

enum Display { kTicks, kMicroseconds, kCharacters };

// A stretch of the receiver's stream: the values that arrive, and the text
// the decoders print right after the field of the last of them.
struct Stretch {
    std::vector<int> values;
    std::string decoderText;
};

struct DecoderOutputCase {
    const char* name;
    std::vector<std::string> options;  // besides the port
    Display display;
    std::vector<Stretch> stream;
};

// Names the case in the names of the tests.
void PrintTo(const DecoderOutputCase& testCase, std::ostream* out) { *out << testCase.name; }

std::string PortBytes(const std::vector<Stretch>& stream)
{
    std::string bytes;
    for (const Stretch& stretch : stream) {
        for (int value : stretch.values) {
            bytes += static_cast<char>(value >= kWrapOffset ? value - kWrapOffset : value);
        }
    }
    return bytes;
}

// The field the monitor shows for one value: in ticks right-aligned in
// three places, in microseconds (64 per tick) in five after two blanks.
std::string Field(Display display, int value)
{
    char field[16];
    if (display == kMicroseconds) {
        std::snprintf(field, sizeof field, "  %5i ", value * 64);
    } else {
        std::snprintf(field, sizeof field, "%3i ", value);
    }
    return field;
}

// Everything irtick prints for the stream, as written to a file.
std::string ExpectedOutput(const DecoderOutputCase& testCase)
{
    if (testCase.display == kCharacters) return PortBytes(testCase.stream);
    std::string text;
    for (const Stretch& stretch : testCase.stream) {
        for (int value : stretch.values) text += Field(testCase.display, value);
        text += stretch.decoderText;
    }
    return text;
}

// The same on a terminal, whose output processing turns every line feed
// into a carriage return and a line feed.
std::string AsOnTerminal(const std::string& text)
{
    std::string shown;
    for (char character : text) {
        if (character == '\n') shown += '\r';
        shown += character;
    }
    return shown;
}

std::vector<int> Joined(const std::vector<std::vector<int>>& parts)
{
    std::vector<int> values;
    for (const std::vector<int>& part : parts) values.insert(values.end(), part.begin(), part.end());
    return values;
}

const DecoderOutputCase kCases[] = {
    // The frame, the line with its code, the pause, and two repeat frames,
    // each its leader and pause followed by the repeat mark.
    {"NecWithTwoRepeats",
     {"-n"},
     kTicks,
     {{kNecFrame, kNecCodeLine},
      {{kNecPause}, ""},
      {{kRepeatLeader, kRepeatPause}, kRepeatMark},
      {{kRepeatLeader, kRepeatPause}, kRepeatMark}}},
    // Every repetition of a Sony frame prints its code again, right after
    // the 11th bit value.
    {"SonySentTwice",
     {"-s12"},
     kTicks,
     {{kSonyFrame, kSonyCodeLine},
      {{kSonyPause}, ""},
      {kSonyFrame, kSonyCodeLine},
      {{kSonyPause}, ""}}},
    // Both decoders see every value: the Sony frame between the NEC frame
    // and a repeat frame leaves the NEC decoder waiting for the repeat.
    {"NecThenSony",
     {"-n", "-s12"},
     kTicks,
     {{kNecFrame, kNecCodeLine},
      {{kNecPause}, ""},
      {kSonyFrame, kSonyCodeLine},
      {{kSonyPause, kRepeatLeader, kRepeatPause}, kRepeatMark}}},
    // The fields show microseconds; the decoders still get ticks.
    {"NecInMicroseconds",
     {"-t", "-n"},
     kMicroseconds,
     {{kNecFrame, kNecCodeLine},
      {{kNecPause}, ""},
      {{kRepeatLeader, kRepeatPause}, kRepeatMark}}},
    {"SonyInMicroseconds", {"-t", "-s12"}, kMicroseconds, {{kSonyFrame, kSonyCodeLine}, {{kSonyPause}, ""}}},
    // Character mode prints the bytes and decodes nothing, not even a
    // complete NEC frame with a repeat or a complete Sony frame.
    {"CharactersOnly",
     {"-a", "-n", "-s12"},
     kCharacters,
     {{Joined({kNecFrame, {kNecPause, kRepeatLeader, kRepeatPause}, kSonyFrame, {kSonyPause}}),
       ""}}},
};

class DecoderOutputTest : public IrtickE2eTest,
                          public ::testing::WithParamInterface<DecoderOutputCase> {
protected:
    IrtickRun* StartWithCaseOptions(IrtickLaunch* launch)
    {
        launch->arguments = GetParam().options;
        launch->arguments.push_back(PortOption());
        IrtickRun* run = Start(*launch);
        if (run != nullptr && !WaitForLineConfigured(run, port.slave, kStartTimeoutMs)) {
            ADD_FAILURE() << "irtick did not configure its port";
            return nullptr;
        }
        return run;
    }
};

}  // namespace

// Redirected output is held back until the end, so the quit key is typed
// only once irtick has taken every byte of the stream; a read's bytes are
// all shown and decoded before the key is looked at.
TEST_P(DecoderOutputTest, FileHoldsEachDecoderTextRightAfterItsValue)
{
    IrtickLaunch launch;
    launch.standardOutputFile = ScratchPath("output.txt");
    IrtickRun* run = StartWithCaseOptions(&launch);
    ASSERT_NE(run, nullptr);

    const std::string bytes = PortBytes(GetParam().stream);
    const long long before = BytesReadByProcess(run->pid);
    ASSERT_GE(before, 0);
    ASSERT_TRUE(WriteAll(port.master, bytes));
    ASSERT_TRUE(WaitFor(
        run,
        [&] {
            return BytesReadByProcess(run->pid) >= before + static_cast<long long>(bytes.size());
        },
        kOutputTimeoutMs));
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    EXPECT_EQ(Printable(ReadFileBytes(launch.standardOutputFile)),
              Printable(ExpectedOutput(GetParam())));
    EXPECT_EQ(Printable(run->output), "");
}

// On a terminal every code line and repeat mark shows while the run goes
// on, before any key is typed.
TEST_P(DecoderOutputTest, TerminalShowsEachDecoderTextRightAfterItsValue)
{
    IrtickLaunch launch;
    IrtickRun* run = StartWithCaseOptions(&launch);
    ASSERT_NE(run, nullptr);

    const std::string expected = AsOnTerminal(ExpectedOutput(GetParam()));
    ASSERT_TRUE(WriteAll(port.master, PortBytes(GetParam().stream)));
    EXPECT_TRUE(ReadTerminalUntil(run, expected, kOutputTimeoutMs))
        << "printed: " << Printable(run->output);
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    EXPECT_EQ(Printable(run->output), Printable(expected));
}

INSTANTIATE_TEST_SUITE_P(Streams, DecoderOutputTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DecoderOutputCase>& info) {
                             return std::string(info.param.name);
                         });
