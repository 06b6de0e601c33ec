// Sony decoder: transitions over the windows, the printed code, the three
// frame lengths, and the paths by which frames open, complete and break off.
#include "decode/sony_decoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "fakes/fake_console.h"

namespace {

// Nominal values of a Sony remote, in ticks.
const unsigned kStart = 47;
const unsigned kZeroBit = 19;
const unsigned kOneBit = 28;
const unsigned kPause = 100;  // lies in no window

// Taken before any test has fed the decoder: the process's record as it
// starts out.
const SonyDecoder kRecordAtStart = sonyDecoder;

std::vector<unsigned> SonyBitValues(uint32_t code, int count) {
    std::vector<unsigned> values;
    for (int bit = 0; bit < count; ++bit) {
        values.push_back(((code >> bit) & 1u) != 0 ? kOneBit : kZeroBit);
    }
    return values;
}

// The start value and the bit values that measure bits: frame length - 1.
std::vector<unsigned> SonyFrame(uint32_t code, int frameLength) {
    std::vector<unsigned> values{kStart};
    const std::vector<unsigned> bits = SonyBitValues(code, frameLength - 1);
    values.insert(values.end(), bits.begin(), bits.end());
    return values;
}

std::string SonyCodeLine(const char* hexDigits) {
    return std::string("\nSony Code: ") + hexDigits + "\n";
}

class SonyDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDecoder(); }

    static void ResetDecoder() {
        sonyDecoder = SonyDecoder{};
        fakeConsoleOutput.clear();
    }

    static void Feed(const std::vector<unsigned>& values, int32_t frameLength) {
        for (unsigned value : values) {
            DecodeSonyInterval(value, frameLength);
        }
    }

    // Bits with bitCount 2 and code 1 (a 1 bit, then a 0 bit).
    static void EnterBits(int32_t frameLength) { Feed({kStart, kOneBit, kZeroBit}, frameLength); }

    static void ExpectRecord(int32_t state, int32_t bitCount, uint32_t code) {
        EXPECT_EQ(state, sonyDecoder.state);
        EXPECT_EQ(bitCount, sonyDecoder.bitCount);
        EXPECT_EQ(code, sonyDecoder.code);
    }
};

TEST_F(SonyDecoderTest, StatesAreNumberedInOrderAndTheRecordStartsIdle) {
    EXPECT_EQ(0, SonyIdle);
    EXPECT_EQ(1, SonyBits);
    EXPECT_EQ(2, SonyComplete);

    EXPECT_EQ(SonyIdle, kRecordAtStart.state);
    EXPECT_EQ(0, kRecordAtStart.bitCount);
    EXPECT_EQ(0u, kRecordAtStart.code);
}

// Frame length 12, one frame sent twice.
TEST_F(SonyDecoderTest, WorkedExamplePrintsTheCodeForEachRepetition) {
    struct Step {
        std::vector<unsigned> values;
        int32_t state;
        std::string printed;
    };
    const std::vector<unsigned> frame{47, 28, 19, 28, 19, 19, 28, 19, 28, 19, 19, 19};
    const Step steps[] = {
        {{47}, SonyBits, ""},
        {{28, 19, 28, 19, 19, 28, 19, 28, 19, 19}, SonyBits, ""},
        {{19}, SonyComplete, SonyCodeLine("000A5")},
        {{kPause}, SonyIdle, ""},
        {frame, SonyComplete, SonyCodeLine("000A5")},
    };
    int stepNumber = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(stepNumber++));
        fakeConsoleOutput.clear();
        Feed(step.values, 12);
        EXPECT_EQ(step.state, sonyDecoder.state);
        EXPECT_EQ(step.printed, fakeConsoleOutput);
    }
    EXPECT_EQ(0xA5u, sonyDecoder.code);
}

// Both ends of every window and the values just outside, from each state in
// which the window decides the transition.
TEST_F(SonyDecoderTest, WindowEdgesDecideTheTransition) {
    struct EdgeCase {
        const char* what;
        bool inFrame;
        unsigned value;
        int32_t state;
        int32_t bitCount;
        uint32_t code;
    };
    // EnterBits leaves bitCount 2 and code 1; a 0 bit makes it 3 and 1, a
    // 1 bit 3 and 5; a break-off keeps both.
    const EdgeCase cases[] = {
        {"start low-1 from Idle", false, 43, SonyIdle, 0, 0},
        {"start low from Idle", false, 44, SonyBits, 0, 0},
        {"start high from Idle", false, 50, SonyBits, 0, 0},
        {"start high+1 from Idle", false, 51, SonyIdle, 0, 0},
        {"start low-1 in a frame", true, 43, SonyIdle, 2, 1},
        {"start low in a frame", true, 44, SonyBits, 0, 0},
        {"start high in a frame", true, 50, SonyBits, 0, 0},
        {"start high+1 in a frame", true, 51, SonyIdle, 2, 1},

        {"0-bit low-1", true, 16, SonyIdle, 2, 1},
        {"0-bit low", true, 17, SonyBits, 3, 1},
        {"0-bit high", true, 21, SonyBits, 3, 1},
        {"0-bit high+1", true, 22, SonyIdle, 2, 1},
        {"0-bit low from Idle", false, 17, SonyIdle, 0, 0},
        {"0-bit high from Idle", false, 21, SonyIdle, 0, 0},

        {"1-bit low-1", true, 25, SonyIdle, 2, 1},
        {"1-bit low", true, 26, SonyBits, 3, 5},
        {"1-bit high", true, 30, SonyBits, 3, 5},
        {"1-bit high+1", true, 31, SonyIdle, 2, 1},
        {"1-bit low from Idle", false, 26, SonyIdle, 0, 0},
        {"1-bit high from Idle", false, 30, SonyIdle, 0, 0},
    };
    for (const EdgeCase& edge : cases) {
        SCOPED_TRACE(edge.what);
        ResetDecoder();
        if (edge.inFrame) {
            EnterBits(12);
        }
        DecodeSonyInterval(edge.value, 12);
        ExpectRecord(edge.state, edge.bitCount, edge.code);
        EXPECT_EQ("", fakeConsoleOutput);
    }
}

// The code completes on bit value number frame length - 1, not before.
TEST_F(SonyDecoderTest, EachFrameLengthCompletesOneBitValueShortOfIt) {
    struct LengthCase {
        int32_t frameLength;
        uint32_t code;
        const char* digits;
    };
    const LengthCase cases[] = {
        {12, 0x7FFu, "007FF"},   {12, 0u, "00000"},    {12, 0x401u, "00401"},
        {15, 0x3FFFu, "03FFF"},  {15, 0u, "00000"},    {15, 0x2001u, "02001"},
        {20, 0x7FFFFu, "7FFFF"}, {20, 0u, "00000"},    {20, 0x40001u, "40001"},
    };
    for (const LengthCase& lengthCase : cases) {
        SCOPED_TRACE("length " + std::to_string(lengthCase.frameLength) + " code " + lengthCase.digits);
        ResetDecoder();
        const std::vector<unsigned> frame = SonyFrame(lengthCase.code, lengthCase.frameLength);
        Feed(std::vector<unsigned>(frame.begin(), frame.end() - 1), lengthCase.frameLength);
        EXPECT_EQ(SonyBits, sonyDecoder.state);
        EXPECT_EQ("", fakeConsoleOutput);
        DecodeSonyInterval(frame.back(), lengthCase.frameLength);
        EXPECT_EQ(SonyCodeLine(lengthCase.digits), fakeConsoleOutput);
        ExpectRecord(SonyComplete, lengthCase.frameLength - 1, lengthCase.code);
        DecodeSonyInterval(kPause, lengthCase.frameLength);
        EXPECT_EQ(SonyIdle, sonyDecoder.state);
    }
}

TEST_F(SonyDecoderTest, LongerFramePrintsItsFirstBitsOnly) {
    struct LongCase {
        int32_t frameLength;
        int bitValuesSent;  // frame of bitValuesSent + 1 bits
        const char* digits;
    };
    // Sent bits 0x5A5A5, lowest first, as far as the frame goes.
    const LongCase cases[] = {
        {12, 14, "005A5"},
        {12, 19, "005A5"},
        {15, 19, "025A5"},
    };
    for (const LongCase& longCase : cases) {
        SCOPED_TRACE("length " + std::to_string(longCase.frameLength) + " with " +
                     std::to_string(longCase.bitValuesSent) + " bit values");
        ResetDecoder();
        const std::vector<unsigned> bits = SonyBitValues(0x5A5A5u, longCase.bitValuesSent);
        Feed({kStart}, longCase.frameLength);
        int sent = 0;
        for (unsigned value : bits) {
            DecodeSonyInterval(value, longCase.frameLength);
            ++sent;
            if (sent == longCase.frameLength - 1) {
                EXPECT_EQ(SonyComplete, sonyDecoder.state);
            } else if (sent < longCase.frameLength - 1) {
                EXPECT_EQ(SonyBits, sonyDecoder.state);
            } else {
                EXPECT_EQ(SonyIdle, sonyDecoder.state) << "bit value " << sent;
            }
        }
        EXPECT_EQ(SonyCodeLine(longCase.digits), fakeConsoleOutput);
    }
}

TEST_F(SonyDecoderTest, ShorterFramePrintsNothing) {
    struct ShortCase {
        int32_t frameLength;
        int bitValuesSent;
        unsigned after;
        int32_t stateAfter;
    };
    const ShortCase cases[] = {
        {15, 11, kPause, SonyIdle},
        {20, 11, kPause, SonyIdle},
        {20, 14, kPause, SonyIdle},
        {20, 14, 255, SonyIdle},
        {15, 11, kStart, SonyBits},  // next frame's start opens a new frame
    };
    for (const ShortCase& shortCase : cases) {
        SCOPED_TRACE("length " + std::to_string(shortCase.frameLength) + " with " +
                     std::to_string(shortCase.bitValuesSent) + " bit values, then " +
                     std::to_string(shortCase.after));
        ResetDecoder();
        Feed({kStart}, shortCase.frameLength);
        Feed(SonyBitValues(0xFFFFFu, shortCase.bitValuesSent), shortCase.frameLength);
        DecodeSonyInterval(shortCase.after, shortCase.frameLength);
        EXPECT_EQ(shortCase.stateAfter, sonyDecoder.state);
        EXPECT_EQ("", fakeConsoleOutput);
    }
}

TEST_F(SonyDecoderTest, StartValueInMidFrameRestartsTheFrame) {
    // The bits before the restart are all ones, so any that survive would
    // show in the printed code.
    for (int bitsBefore : {1, 6, 10}) {
        SCOPED_TRACE("restart after " + std::to_string(bitsBefore) + " bits");
        ResetDecoder();
        Feed({kStart}, 12);
        Feed(SonyBitValues(0x7FFu, bitsBefore), 12);
        EXPECT_EQ("", fakeConsoleOutput);
        Feed(SonyFrame(0x00Au, 12), 12);
        EXPECT_EQ(SonyCodeLine("0000A"), fakeConsoleOutput);
    }
}

TEST_F(SonyDecoderTest, ValueInNoWindowBreaksTheFrameOffSilently) {
    const unsigned breakers[] = {0,  1,   2,   16,  22,  25,  31,  43,
                                 51, 100, 255, 256, 257, 258, 259, UINT_MAX};
    for (unsigned breaker : breakers) {
        SCOPED_TRACE("breaker " + std::to_string(breaker));
        ResetDecoder();
        Feed({kStart}, 12);
        Feed(SonyBitValues(0x5A5u, 5), 12);
        DecodeSonyInterval(breaker, 12);
        ExpectRecord(SonyIdle, 5, 0x5u);
        // The rest of the frame counts for nothing.
        Feed(SonyBitValues(0x5A5u, 11), 12);
        EXPECT_EQ(SonyIdle, sonyDecoder.state);
        EXPECT_EQ("", fakeConsoleOutput);
    }
}

TEST_F(SonyDecoderTest, ValueAfterTheCodeIsPassedOverUnexamined) {
    const unsigned afterCode[] = {kStart, 44, 50, kZeroBit, kOneBit, 0, 258, kPause};
    for (unsigned value : afterCode) {
        SCOPED_TRACE("value after the code " + std::to_string(value));
        ResetDecoder();
        Feed(SonyFrame(0x3C3u, 12), 12);
        fakeConsoleOutput.clear();
        DecodeSonyInterval(value, 12);
        ExpectRecord(SonyIdle, 11, 0x3C3u);
        // A frame opened by that value is not decoded: its bit values find
        // the decoder idle.
        Feed(SonyBitValues(0x7FFu, 11), 12);
        ExpectRecord(SonyIdle, 11, 0x3C3u);
        EXPECT_EQ("", fakeConsoleOutput);
        // The next whole frame decodes.
        Feed(SonyFrame(0x001u, 12), 12);
        EXPECT_EQ(SonyCodeLine("00001"), fakeConsoleOutput);
    }
}

TEST_F(SonyDecoderTest, SmallAndWrappedValuesLieInNoWindow) {
    for (unsigned value : {0u, 1u, 2u, 256u, 257u, 258u}) {
        SCOPED_TRACE("value " + std::to_string(value));

        ResetDecoder();
        DecodeSonyInterval(value, 12);
        ExpectRecord(SonyIdle, 0, 0);

        ResetDecoder();
        EnterBits(12);
        DecodeSonyInterval(value, 12);
        ExpectRecord(SonyIdle, 2, 1);

        EXPECT_EQ("", fakeConsoleOutput);
    }
}

// The monitor only ever passes 12, 15 or 20.  Other lengths must neither
// overrun the 32-bit code nor count past it: they complete after 1 to 32
// bit values.
TEST_F(SonyDecoderTest, FrameLengthsOutsideTheSetAreHeldToTheCodeWidth) {
    struct OddLength {
        int32_t frameLength;
        int bitValuesToComplete;
        const char* digits;
    };
    const OddLength cases[] = {
        {INT32_MIN, 1, "00001"}, {-5, 1, "00001"},         {0, 1, "00001"},
        {1, 1, "00001"},         {2, 1, "00001"},          {33, 32, "FFFFFFFF"},
        {34, 32, "FFFFFFFF"},    {INT32_MAX, 32, "FFFFFFFF"},
    };
    for (const OddLength& odd : cases) {
        SCOPED_TRACE("length " + std::to_string(odd.frameLength));
        ResetDecoder();
        Feed({kStart}, odd.frameLength);
        Feed(std::vector<unsigned>(odd.bitValuesToComplete - 1, kOneBit), odd.frameLength);
        EXPECT_EQ("", fakeConsoleOutput);
        DecodeSonyInterval(kOneBit, odd.frameLength);
        EXPECT_EQ(SonyCodeLine(odd.digits), fakeConsoleOutput);
        EXPECT_EQ(SonyComplete, sonyDecoder.state);
        EXPECT_EQ(odd.bitValuesToComplete, sonyDecoder.bitCount);
    }
}

}  // namespace
