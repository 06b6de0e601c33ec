// NEC decoder: transitions over the windows, the printed texts, and the
// paths by which frames open, complete, repeat and break off.
#include "decode/nec_decoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "fakes/fake_console.h"

namespace {

// Nominal values of an NEC remote, in ticks.
const unsigned kLeader = 211;
const unsigned kZeroBit = 18;
const unsigned kOneBit = 35;
const unsigned kRepeatLeader = 176;
const unsigned kPause = 120;  // lies in no window

// The code of the frame decoded before the tests that start awaiting a repeat.
const uint32_t kAwaitCode = 0x12345678u;

// Taken before any test has fed the decoder: the process's record as it
// starts out.
const NecDecoder kRecordAtStart = necDecoder;

std::vector<unsigned> NecBitValues(uint32_t code, int count) {
    std::vector<unsigned> values;
    for (int bit = 0; bit < count; ++bit) {
        values.push_back(((code >> bit) & 1u) != 0 ? kOneBit : kZeroBit);
    }
    return values;
}

std::vector<unsigned> NecFrame(uint32_t code) {
    std::vector<unsigned> values{kLeader};
    const std::vector<unsigned> bits = NecBitValues(code, 32);
    values.insert(values.end(), bits.begin(), bits.end());
    return values;
}

std::string NecCodeLine(const char* hexDigits) {
    return std::string("\nNEC Code: ") + hexDigits + "\n";
}

class NecDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDecoder(); }

    static void ResetDecoder() {
        necDecoder = NecDecoder{};
        fakeConsoleOutput.clear();
    }

    static void Feed(const std::vector<unsigned>& values) {
        for (unsigned value : values) {
            DecodeNecInterval(value);
        }
    }

    // Bits with bitCount 2 and code 1 (a 1 bit, then a 0 bit).
    static void EnterBits() { Feed({kLeader, kOneBit, kZeroBit}); }

    // A decoded frame with kAwaitCode and the pause after it.
    static void EnterAwaitRepeat() {
        Feed(NecFrame(kAwaitCode));
        Feed({kPause});
        fakeConsoleOutput.clear();
    }

    static void ExpectRecord(int32_t state, int32_t bitCount, uint32_t code) {
        EXPECT_EQ(state, necDecoder.state);
        EXPECT_EQ(bitCount, necDecoder.bitCount);
        EXPECT_EQ(code, necDecoder.code);
    }
};

TEST_F(NecDecoderTest, StatesAreNumberedInOrderAndTheRecordStartsIdle) {
    EXPECT_EQ(0, NecIdle);
    EXPECT_EQ(1, NecBits);
    EXPECT_EQ(2, NecComplete);
    EXPECT_EQ(3, NecAwaitRepeat);
    EXPECT_EQ(4, NecRepeatLeader);

    EXPECT_EQ(NecIdle, kRecordAtStart.state);
    EXPECT_EQ(0, kRecordAtStart.bitCount);
    EXPECT_EQ(0u, kRecordAtStart.code);
}

// Address 00, command 45, held for two repeat frames.
TEST_F(NecDecoderTest, WorkedExampleDecodesCodeAndTwoRepeatMarks) {
    struct Step {
        std::vector<unsigned> values;
        int32_t state;
        std::string printed;
    };
    const std::vector<unsigned> address(8, kZeroBit);
    const std::vector<unsigned> addressComplement(8, kOneBit);
    const Step steps[] = {
        {{kLeader}, NecBits, ""},
        {address, NecBits, ""},
        {addressComplement, NecBits, ""},
        {{35, 18, 35, 18, 18, 18, 35, 18}, NecBits, ""},
        {{18, 35, 18, 35, 35, 35, 18}, NecBits, ""},
        {{35}, NecComplete, NecCodeLine("BA45FF00")},
        {{kPause}, NecAwaitRepeat, ""},
        {{kRepeatLeader}, NecRepeatLeader, ""},
        {{kPause}, NecAwaitRepeat, "Rpt "},
        {{kRepeatLeader}, NecRepeatLeader, ""},
        {{kPause}, NecAwaitRepeat, "Rpt "},
    };
    int stepNumber = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(stepNumber++));
        fakeConsoleOutput.clear();
        Feed(step.values);
        EXPECT_EQ(step.state, necDecoder.state);
        EXPECT_EQ(step.printed, fakeConsoleOutput);
    }
    EXPECT_EQ(0xBA45FF00u, necDecoder.code);
}

// Both ends of every window and the values just outside, from each state in
// which the window decides the transition.
TEST_F(NecDecoderTest, WindowEdgesDecideTheTransition) {
    enum Origin { kFromIdle, kFromBits, kFromAwaitRepeat };
    struct EdgeCase {
        const char* what;
        Origin from;
        unsigned value;
        int32_t state;
        int32_t bitCount;
        uint32_t code;
    };
    // EnterBits leaves bitCount 2 and code 1; a 0 bit makes it 3 and 1, a
    // 1 bit 3 and 5; a break-off keeps both.
    const EdgeCase cases[] = {
        {"start low-1 from Idle", kFromIdle, 191, NecIdle, 0, 0},
        {"start low from Idle", kFromIdle, 192, NecBits, 0, 0},
        {"start high from Idle", kFromIdle, 235, NecBits, 0, 0},
        {"start high+1 from Idle", kFromIdle, 236, NecIdle, 0, 0},
        {"start low-1 in a frame", kFromBits, 191, NecIdle, 2, 1},
        {"start low in a frame", kFromBits, 192, NecBits, 0, 0},
        {"start high in a frame", kFromBits, 235, NecBits, 0, 0},
        {"start high+1 in a frame", kFromBits, 236, NecIdle, 2, 1},
        {"start low-1 awaiting repeat", kFromAwaitRepeat, 191, NecRepeatLeader, 32, kAwaitCode},
        {"start low awaiting repeat", kFromAwaitRepeat, 192, NecBits, 0, 0},
        {"start high awaiting repeat", kFromAwaitRepeat, 235, NecBits, 0, 0},
        {"start high+1 awaiting repeat", kFromAwaitRepeat, 236, NecAwaitRepeat, 32, kAwaitCode},

        {"0-bit low-1", kFromBits, 13, NecIdle, 2, 1},
        {"0-bit low", kFromBits, 14, NecBits, 3, 1},
        {"0-bit high", kFromBits, 22, NecBits, 3, 1},
        {"0-bit high+1", kFromBits, 23, NecIdle, 2, 1},
        {"0-bit low from Idle", kFromIdle, 14, NecIdle, 0, 0},
        {"0-bit high from Idle", kFromIdle, 22, NecIdle, 0, 0},
        {"0-bit low awaiting repeat", kFromAwaitRepeat, 14, NecAwaitRepeat, 32, kAwaitCode},

        {"1-bit low-1", kFromBits, 29, NecIdle, 2, 1},
        {"1-bit low", kFromBits, 30, NecBits, 3, 5},
        {"1-bit high", kFromBits, 40, NecBits, 3, 5},
        {"1-bit high+1", kFromBits, 41, NecIdle, 2, 1},
        {"1-bit low from Idle", kFromIdle, 30, NecIdle, 0, 0},
        {"1-bit high from Idle", kFromIdle, 40, NecIdle, 0, 0},
        {"1-bit high awaiting repeat", kFromAwaitRepeat, 40, NecAwaitRepeat, 32, kAwaitCode},

        {"repeat low-1 awaiting repeat", kFromAwaitRepeat, 156, NecAwaitRepeat, 32, kAwaitCode},
        {"repeat low awaiting repeat", kFromAwaitRepeat, 157, NecRepeatLeader, 32, kAwaitCode},
        {"repeat high awaiting repeat", kFromAwaitRepeat, 191, NecRepeatLeader, 32, kAwaitCode},
        {"repeat high+1 awaiting repeat", kFromAwaitRepeat, 192, NecBits, 0, 0},
        {"repeat low-1 in a frame", kFromBits, 156, NecIdle, 2, 1},
        {"repeat low in a frame", kFromBits, 157, NecIdle, 2, 1},
        {"repeat high in a frame", kFromBits, 191, NecIdle, 2, 1},
        {"repeat low from Idle", kFromIdle, 157, NecIdle, 0, 0},
        {"repeat high from Idle", kFromIdle, 191, NecIdle, 0, 0},
    };
    for (const EdgeCase& edge : cases) {
        SCOPED_TRACE(edge.what);
        ResetDecoder();
        if (edge.from == kFromBits) {
            EnterBits();
        } else if (edge.from == kFromAwaitRepeat) {
            EnterAwaitRepeat();
        }
        DecodeNecInterval(edge.value);
        ExpectRecord(edge.state, edge.bitCount, edge.code);
        EXPECT_EQ("", fakeConsoleOutput);
    }
}

TEST_F(NecDecoderTest, StartValueInMidFrameRestartsTheFrame) {
    // The bits before the restart are all ones, so any that survive would
    // show in the printed code.
    for (int bitsBefore : {1, 16, 31}) {
        SCOPED_TRACE("restart after " + std::to_string(bitsBefore) + " bits");
        ResetDecoder();
        Feed({kLeader});
        Feed(NecBitValues(0xFFFFFFFFu, bitsBefore));
        EXPECT_EQ("", fakeConsoleOutput);
        Feed(NecFrame(0x0000F00Du));
        EXPECT_EQ(NecCodeLine("0000F00D"), fakeConsoleOutput);
        EXPECT_EQ(NecComplete, necDecoder.state);
    }
}

TEST_F(NecDecoderTest, ValueInNoWindowBreaksTheFrameOffSilently) {
    const unsigned breakers[] = {0,   1,   2,   13,  23,  29,  41,  100, 156, 157,
                                 176, 191, 236, 255, 256, 257, 258, 259, 65535, UINT_MAX};
    for (unsigned breaker : breakers) {
        SCOPED_TRACE("breaker " + std::to_string(breaker));
        ResetDecoder();
        Feed({kLeader});
        Feed(NecBitValues(0xA5A5A5A5u, 10));
        DecodeNecInterval(breaker);
        EXPECT_EQ(NecIdle, necDecoder.state);
        // The rest of the frame and a repeat frame count for nothing.
        Feed(NecBitValues(0xA5A5A5A5u, 22));
        Feed({kRepeatLeader, kPause});
        EXPECT_EQ(NecIdle, necDecoder.state);
        EXPECT_EQ("", fakeConsoleOutput);
    }
}

TEST_F(NecDecoderTest, ValueAfterTheCodeIsPassedOverUnexamined) {
    const unsigned afterCode[] = {kLeader, 192, 235, kRepeatLeader, kZeroBit, kOneBit, 0, 258, kPause};
    for (unsigned value : afterCode) {
        SCOPED_TRACE("value after the code " + std::to_string(value));
        ResetDecoder();
        Feed(NecFrame(0xCAFE0001u));
        fakeConsoleOutput.clear();
        DecodeNecInterval(value);
        ExpectRecord(NecAwaitRepeat, 32, 0xCAFE0001u);
        // A frame opened by that value is not decoded: its bit values find
        // the decoder awaiting a repeat.
        Feed(NecBitValues(0x0F0F0F0Fu, 32));
        ExpectRecord(NecAwaitRepeat, 32, 0xCAFE0001u);
        EXPECT_EQ("", fakeConsoleOutput);
        // The decoder still answers repeat frames.
        Feed({kRepeatLeader, kPause});
        EXPECT_EQ("Rpt ", fakeConsoleOutput);
    }
}

TEST_F(NecDecoderTest, RepeatMarkFollowsAnyValueAfterTheRepeatLeader) {
    const unsigned afterLeader[] = {0,   2,   kZeroBit, kOneBit, kPause, 157, kRepeatLeader, 191,
                                    192, kLeader, 235, 256, 258, UINT_MAX};
    for (unsigned value : afterLeader) {
        SCOPED_TRACE("value after the repeat leader " + std::to_string(value));
        ResetDecoder();
        EnterAwaitRepeat();
        DecodeNecInterval(kRepeatLeader);
        EXPECT_EQ("", fakeConsoleOutput);
        DecodeNecInterval(value);
        EXPECT_EQ("Rpt ", fakeConsoleOutput);
        // Not examined: a start value is lost and a second repeat leader
        // does not arm the decoder again.
        ExpectRecord(NecAwaitRepeat, 32, kAwaitCode);
        DecodeNecInterval(kPause);
        EXPECT_EQ("Rpt ", fakeConsoleOutput);
    }
}

TEST_F(NecDecoderTest, RepeatLeaderBeforeAnyDecodedFramePrintsNothing) {
    Feed({kRepeatLeader, kPause, kRepeatLeader, kRepeatLeader, kPause});
    ExpectRecord(NecIdle, 0, 0);
    EXPECT_EQ("", fakeConsoleOutput);
}

TEST_F(NecDecoderTest, NoiseAfterDecodedFrameKeepsRepeatsAnswered) {
    EnterAwaitRepeat();
    Feed({kZeroBit, kOneBit, 0, 1, 2, 13, 41, 100, 156, 236, 256, 258, UINT_MAX});
    Feed(NecBitValues(0xFFFF0000u, 32));
    ExpectRecord(NecAwaitRepeat, 32, kAwaitCode);
    EXPECT_EQ("", fakeConsoleOutput);
    Feed({kRepeatLeader, kPause});
    EXPECT_EQ("Rpt ", fakeConsoleOutput);
}

TEST_F(NecDecoderTest, BrokenNewFrameAfterDecodedFrameEndsTheRepeats) {
    // Broken off by noise, by a repeat leader and by a value 256.
    for (unsigned breaker : {kPause, kRepeatLeader, 256u}) {
        SCOPED_TRACE("breaker " + std::to_string(breaker));
        ResetDecoder();
        EnterAwaitRepeat();
        Feed({kRepeatLeader, kPause});
        EXPECT_EQ("Rpt ", fakeConsoleOutput);
        fakeConsoleOutput.clear();

        Feed({kLeader});
        Feed(NecBitValues(0u, 5));
        DecodeNecInterval(breaker);
        EXPECT_EQ(NecIdle, necDecoder.state);
        Feed({kPause, kRepeatLeader, kPause, kRepeatLeader, kPause});
        EXPECT_EQ(NecIdle, necDecoder.state);
        EXPECT_EQ("", fakeConsoleOutput);

        // Another decoded frame brings the repeats back.
        Feed(NecFrame(0x00FF00FFu));
        Feed({kPause, kRepeatLeader, kPause});
        EXPECT_EQ(NecCodeLine("00FF00FF") + "Rpt ", fakeConsoleOutput);
    }
}

TEST_F(NecDecoderTest, CodePrintsAllThirtyTwoBitsAsEightDigits) {
    struct CodeCase {
        uint32_t code;
        const char* digits;
    };
    const CodeCase cases[] = {
        {0x00000000u, "00000000"}, {0xFFFFFFFFu, "FFFFFFFF"}, {0x00000001u, "00000001"},
        {0x80000000u, "80000000"}, {0xBA45FF00u, "BA45FF00"},
    };
    for (const CodeCase& codeCase : cases) {
        SCOPED_TRACE(codeCase.digits);
        ResetDecoder();
        const std::vector<unsigned> frame = NecFrame(codeCase.code);
        Feed(std::vector<unsigned>(frame.begin(), frame.end() - 1));
        EXPECT_EQ("", fakeConsoleOutput);
        EXPECT_EQ(31, necDecoder.bitCount);
        DecodeNecInterval(frame.back());
        EXPECT_EQ(NecCodeLine(codeCase.digits), fakeConsoleOutput);
        ExpectRecord(NecComplete, 32, codeCase.code);
    }
}

TEST_F(NecDecoderTest, SmallAndWrappedValuesLieInNoWindow) {
    for (unsigned value : {0u, 1u, 2u, 256u, 257u, 258u}) {
        SCOPED_TRACE("value " + std::to_string(value));

        ResetDecoder();
        DecodeNecInterval(value);
        ExpectRecord(NecIdle, 0, 0);

        ResetDecoder();
        EnterBits();
        DecodeNecInterval(value);
        ExpectRecord(NecIdle, 2, 1);

        ResetDecoder();
        EnterAwaitRepeat();
        DecodeNecInterval(value);
        ExpectRecord(NecAwaitRepeat, 32, kAwaitCode);

        EXPECT_EQ("", fakeConsoleOutput);
    }
}

}  // namespace
