// irtick-analyze's --sim form on hand-made frames, and the undoing of
// --crlf across read boundaries.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analyze_cli_records.h"
#include "analyze_input.h"
#include "analyze_options.h"
#include "analyze_report.h"

struct SimItemCase {
    const char* name;
    DecodedFrame frame;
    int32_t times;
    std::string item;
};

void PrintTo(const SimItemCase& testCase, std::ostream* out) { *out << testCase.name; }

class AnalyzeCliSimItem : public ::testing::TestWithParam<SimItemCase> {};

TEST_P(AnalyzeCliSimItem, EachFrameBecomesTheItemThatSendsItsData)
{
    EXPECT_EQ(FormSimItems(GetParam().frame, GetParam().times), GetParam().item);
}

namespace {

DecodedFrame WithRepeats(DecodedFrame frame, int32_t repeats)
{
    frame.repeats = repeats;
    return frame;
}

// NEC raw: the leader, 32 bit periods (address 0x12, 0x00, command 0x45,
// 0x00), then per repeat the rest of the 108 ms frame period and the
// repeat leader.
std::string RawNecItem()
{
    std::string item = "us:13500";
    const uint32_t data = 0x00450012;
    int64_t sum = 13500;
    for (int bit = 0; bit < 32; ++bit) {
        const int64_t period = ((data >> bit) & 1u) ? 2250 : 1125;
        sum += period;
        item += "," + std::to_string(period);
    }
    return item + "," + std::to_string(108000 - sum) + ",11250";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Protocols, AnalyzeCliSimItem,
    ::testing::Values(
        SimItemCase{"NecStandard", WithRepeats(MakeFrame(ProtocolNec, 32, 0xBA45FF00, 0, 0x45), 2),
                    1, "nec:0x00:0x45:2"},
        SimItemCase{"NecExtendedAddress", MakeFrame(ProtocolNec, 32, 0xBA451234, 0x1234, 0x45), 1,
                    "nec:0x1234:0x45:0"},
        SimItemCase{"NecNoItemForm", WithRepeats(MakeFrame(ProtocolNec, 32, 0x00450012, 0x12, kNoValue), 1),
                    1, RawNecItem()},
        SimItemCase{"Samsung", MakeFrame(ProtocolSamsung32, 32, 0xF8070707, 7, 7), 3,
                    "samsung:0x07:0x07:3"},
        SimItemCase{"Jvc", WithRepeats(MakeFrame(ProtocolJvc, 16, 0x2A03, 3, 0x2A), 4), 1,
                    "jvc:0x03:0x2A:4"},
        SimItemCase{"Lg", WithRepeats(MakeFrame(ProtocolLg, 28, 0x88C0051, kNoValue, kNoValue), 1),
                    1, "lg:0x88C0051:1"},
        SimItemCase{"Kaseikyo",
                    MakeFrame(ProtocolKaseikyo, 48, 0xBC3D0D002002ull, kNoValue, kNoValue), 1,
                    "kaseikyo:0x2002:0xBC3D0D00"},
        SimItemCase{"Sharp", MakeFrame(ProtocolSharp, 15, 0x2000 | (0x5A << 5) | 0x11, 0x11, 0x5A),
                    1, "sharp:0x11:0x5A"},
        SimItemCase{"Sony12", MakeFrame(ProtocolSony, 12, 0x000F5, 1, 0x75), 3,
                    "sony12:0x75:0x01:3"},
        SimItemCase{"Sony15", MakeFrame(ProtocolSony, 15, (0x4B << 7) | 0x12, 0x4B, 0x12), 2,
                    "sony15:0x12:0x4B:2"},
        SimItemCase{"Sony20", MakeFrame(ProtocolSony, 20, (0x3C << 12) | (0x05 << 7) | 0x12, 5, 0x12),
                    1, "sony20:0x12:0x05:0x3C:1"},
        SimItemCase{"Rc5", MakeFrame(ProtocolRc5, 14, 0x3000 | 0x800 | (0x05 << 6) | 0x35, 5, 0x35), 1,
                    "rc5:0x05:0x35:1"},
        SimItemCase{"Rc5Extended", MakeFrame(ProtocolRc5, 14, 0x2000 | (0x05 << 6) | 0x35, 5, 0x75), 1,
                    "rc5:0x05:0x75:0"},
        SimItemCase{"Rc6", MakeFrame(ProtocolRc6, 21, 0x100000 | 0x10000 | 0x1A0C, 0x1A, 0x0C), 1,
                    "rc6:0x1A:0x0C:1"}));

TEST(AnalyzeCliSim, PressesAreOneItemPerLineWithPausesAndRepeatedFramesCountedIn)
{
    const DecodedFrame sony = MakeFrame(ProtocolSony, 12, 0x000F5, 1, 0x75);
    const DecodedFrame nec = MakeFrame(ProtocolNec, 32, 0xBA45FF00, 0, 0x45);
    EXPECT_EQ(Report(AnalyzeSimForm, {FrameEvent(sony), FrameEvent(sony), FrameEvent(sony),
                                      FrameEvent(nec), FrameEvent(nec), UnknownEvent(0, {1, 2})}),
              "sony12:0x75:0x01:3\npause:100\nnec:0x00:0x45:0\npause:100\nnec:0x00:0x45:0\n");
}

// A capture that went through a Windows text stream: every 10 became 13 10.
struct CrlfCase {
    const char* name;
    std::vector<uint8_t> written;
    std::vector<uint8_t> read;
};

void PrintTo(const CrlfCase& testCase, std::ostream* out) { *out << testCase.name; }

class AnalyzeCliCrlf : public ::testing::TestWithParam<CrlfCase> {};

TEST_P(AnalyzeCliCrlf, EveryPairReadsAsALineFeedWhereverTheReadsSplitIt)
{
    const CrlfCase& testCase = GetParam();
    // Every split into two reads, and one byte per read.
    for (size_t split = 0; split <= testCase.written.size(); ++split) {
        CrlfUndo undo;
        std::vector<uint8_t> read;
        UndoCrlf(&undo, testCase.written.data(), split, &read);
        UndoCrlf(&undo, testCase.written.data() + split, testCase.written.size() - split, &read);
        FinishCrlf(&undo, &read);
        EXPECT_EQ(read, testCase.read) << "split after " << split;
    }
    CrlfUndo undo;
    std::vector<uint8_t> read;
    for (uint8_t byte : testCase.written) UndoCrlf(&undo, &byte, 1, &read);
    FinishCrlf(&undo, &read);
    EXPECT_EQ(read, testCase.read);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, AnalyzeCliCrlf,
    ::testing::Values(CrlfCase{"Pair", {13, 10}, {10}},
                      CrlfCase{"PairsInARow", {13, 10, 13, 10, 18}, {10, 10, 18}},
                      CrlfCase{"LoneReturns", {13, 13, 10, 13}, {13, 10, 13}},
                      CrlfCase{"ReturnBeforeOtherByte", {211, 13, 35, 13, 10}, {211, 13, 35, 10}},
                      CrlfCase{"LineFeedAlone", {10, 18}, {10, 18}},
                      CrlfCase{"Empty", {}, {}}));
