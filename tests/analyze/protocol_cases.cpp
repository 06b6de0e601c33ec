#include "protocol_cases.h"

#include <gtest/gtest.h>

#include "analyze_checks.h"

void CheckProtocolCase(const ProtocolCase& c) {
    SCOPED_TRACE(c.name);
    IrSignal signal;
    signal.jitter = c.jitter;
    c.build(&signal);
    const std::vector<uint8_t> bytes = SignalBytes(signal);
    const std::vector<StreamEvent> events = AnalyzeWhole(bytes);
    const std::vector<DecodedFrame> frames = FramesOf(events);
    SCOPED_TRACE(DescribeEvents(events));
    ASSERT_EQ(frames.size(), c.expected.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const DecodedFrame& got = frames[i];
        const ExpectedFrame& want = c.expected[i];
        EXPECT_STREQ(DescribeProtocol(got.protocol).name, DescribeProtocol(want.protocol).name) << i;
        EXPECT_EQ(got.start, want.start) << i;
        EXPECT_EQ(got.bits, want.bits) << i;
        EXPECT_EQ(got.data, want.data) << i;
        EXPECT_EQ(got.address, want.address) << i;
        EXPECT_EQ(got.command, want.command) << i;
        EXPECT_EQ(got.repeats, want.repeats) << i;
        EXPECT_EQ(got.toggle, want.toggle) << i;
        // Rounding to ticks adds at most half a tick to the jitter.
        EXPECT_LE(got.errorPercent, c.jitter * 100 + 6.0) << i;
    }
    int32_t unknownRuns = 0;
    for (const StreamEvent& event : events) {
        unknownRuns += event.kind == StreamUnknownEvent ? 1 : 0;
    }
    EXPECT_EQ(unknownRuns, c.unknownRuns);
    EXPECT_EQ(FindUnsoundEvent(bytes, events), "");
    EXPECT_EQ(DescribeEvents(AnalyzeInPieces(bytes, {1})), DescribeEvents(events));
}
