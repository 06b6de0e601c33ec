// The end of a bi-phase frame when nothing follows it.  The receiver sends a
// byte only when a burst starts, so after the last frame of a press the last
// byte is the interval to that frame's last burst start, and the pause after
// it never arrives (until the next press).  A frame whose last bit starts a
// burst (RC6: a 0, space then mark; RC5: a 1) has that interval as its last
// byte; one whose last bit merges into the burst before has its last byte
// one interval earlier.  The end of the stream and a silence mark must read
// both as the protocol sent them, as traffic after the frame does.
#include <gtest/gtest.h>

#include "analyze_checks.h"
#include "ir_signal.h"

namespace {

enum EndKind { kFollowed, kFinished, kSilence };
const char* const kEndNames[] = {"followed by a frame", "at the end", "before silence"};

struct EndCase {
    const char* name;
    int32_t protocol;
    uint32_t address;
    uint32_t command;
    uint32_t toggle;
    uint64_t data;  // as the protocol defines it
};

// RC6: start 1, mode 000, toggle, address, command.  RC5: S1 1, S2 1,
// toggle, 5 address bits, 6 command bits.
const EndCase kCases[] = {
    {"RC6 ending 00", ProtocolRc6, 0x1A, 0x0C, 1, 0x111A0C},
    {"RC6 ending 10", ProtocolRc6, 0x1A, 0x0E, 0, 0x101A0E},
    {"RC6 ending 01", ProtocolRc6, 0x1A, 0x0D, 1, 0x111A0D},
    {"RC6 ending 11", ProtocolRc6, 0x00, 0x0F, 0, 0x10000F},
    {"RC5 ending 11", ProtocolRc5, 0x05, 0x03, 1, 0x3943},
    {"RC5 ending 01", ProtocolRc5, 0x05, 0x05, 0, 0x3145},
    {"RC5 ending 10", ProtocolRc5, 0x0A, 0x02, 1, 0x3A82},
    {"RC5 ending 00", ProtocolRc5, 0x0A, 0x04, 0, 0x3284},
};

std::vector<double> OffsetsOf(const EndCase& c) {
    if (c.protocol == ProtocolRc6) {
        return Rc6Offsets(c.address, c.command, c.toggle);
    }
    return Rc5Offsets((1u << 13) | (1u << 12) | ((c.toggle & 1u) << 11) | ((c.address & 0x1F) << 6) |
                      (c.command & 0x3F));
}

// Feeds whole or byte by byte, then ends as `end` says.
std::vector<StreamEvent> Analyze(const std::vector<uint8_t>& bytes, EndKind end, bool byteByByte) {
    StreamAnalyzer analyzer;
    std::vector<StreamEvent> events;
    const size_t piece = byteByByte ? 1 : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += piece) {
        FeedStreamAnalyzer(&analyzer, bytes.data() + at, piece, &events);
    }
    if (end == kSilence) {
        MarkStreamSilence(&analyzer, &events);
        // The last press shows at the silence, before the stream ends.
        EXPECT_EQ(FramesOf(events).size(), 1u);
    }
    FinishStreamAnalyzer(&analyzer, &events);
    return events;
}

// The frames of `bytes` ended as `end` says, checked for what holds in
// every case: only frames (the frame and, when followed, its twin), sound,
// and the same fed byte by byte.
std::vector<DecodedFrame> CheckedFrames(const std::vector<uint8_t>& bytes, EndKind end) {
    const std::vector<StreamEvent> whole = Analyze(bytes, end, false);
    const std::vector<DecodedFrame> frames = FramesOf(whole);
    EXPECT_EQ(whole.size(), end == kFollowed ? 2u : 1u) << DescribeEvents(whole);
    EXPECT_EQ(frames.size(), whole.size()) << DescribeEvents(whole);
    EXPECT_EQ(FindUnsoundEvent(bytes, whole), "");
    EXPECT_EQ(DescribeEvents(Analyze(bytes, end, true)), DescribeEvents(whole));
    return frames;
}

TEST(StreamEnd, BiPhaseLastBitAtTheEndOfAPress) {
    for (const EndCase& c : kCases) {
        for (EndKind end : {kFollowed, kFinished, kSilence}) {
            SCOPED_TRACE(std::string(c.name) + ", " + kEndNames[end]);
            IrSignal signal;
            AddOffsets(&signal, 0, OffsetsOf(c));
            const int64_t frameBytes = static_cast<int64_t>(signal.starts.size()) - 1;
            if (end == kFollowed) {
                AddOffsets(&signal, 120000, OffsetsOf(c));
            }
            const std::vector<DecodedFrame> frames = CheckedFrames(SignalBytes(signal), end);
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames[0].protocol, c.protocol);
            EXPECT_EQ(frames[0].data, c.data);
            EXPECT_EQ(frames[0].address, static_cast<int32_t>(c.address));
            EXPECT_EQ(frames[0].command, static_cast<int32_t>(c.command));
            EXPECT_EQ(frames[0].toggle, static_cast<int32_t>(c.toggle));
            EXPECT_EQ(frames[0].end, frameBytes);
            EXPECT_EQ(frames.back().data, c.data);
        }
    }
}

// Sony's length shows only in the byte after the frame.  At the end of a
// press no byte follows: the bits measured decide, and a frame of each
// length is still reported as that length with its measured bits.
TEST(StreamEnd, SonyLengthAtTheEndOfAPress) {
    const uint32_t code = 0xB5A5A;
    for (int32_t length : {12, 15, 20}) {
        for (EndKind end : {kFollowed, kFinished, kSilence}) {
            SCOPED_TRACE(std::to_string(length) + " bits, " + kEndNames[end]);
            IrSignal signal;
            AddFrame(&signal, 0, SonyPeriods(code, length));
            if (end == kFollowed) {
                AddFrame(&signal, 45000, SonyPeriods(code, length));
            }
            const std::vector<DecodedFrame> frames = CheckedFrames(SignalBytes(signal), end);
            ASSERT_FALSE(frames.empty());
            for (const DecodedFrame& frame : frames) {
                EXPECT_EQ(frame.protocol, ProtocolSony);
                EXPECT_EQ(frame.bits, length);
                EXPECT_EQ(frame.data, code & ((1u << (length - 1)) - 1));
            }
            EXPECT_EQ(frames[0].end, length);
        }
    }
}

// The bytes of the fault report (irtick-sim rc6:0x1A:0x0C:1) as they stand.
TEST(StreamEnd, ReportedRc6BytesEndingInZero) {
    const std::vector<uint8_t> bytes = {56, 21, 14, 14, 42, 14, 14, 21, 21, 28, 14, 14, 14, 14, 21, 21, 14};
    const std::vector<DecodedFrame> frames = FramesOf(AnalyzeWhole(bytes));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(FormatFrameData(frames[0]), "111A0C");
    EXPECT_EQ(frames[0].end, 17);
}

}  // namespace
