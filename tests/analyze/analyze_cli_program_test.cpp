// The built irtick-analyze from the command line: options and exit
// statuses, captures one after the other, --crlf and --sim round trips,
// every protocol from irtick-sim's bytes, and bad input.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "analyze_cli_program.h"
#include "pty_harness.h"

namespace {

class AnalyzeCliProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = MakeTemporaryDirectory();
        ASSERT_FALSE(directory.empty());
    }
    void TearDown() override { RemoveTemporaryDirectory(directory); }

    std::string Path(const std::string& name) const { return directory + "/" + name; }

    std::string directory;
};

// Presses of every protocol.
const std::vector<std::string> kMixedPresses = {
    "nec:0x00:0x45:2", "pause:30",          "sony12:0x15:0x01",  "nec:0x1234:0x08",
    "sony15:0x12:0x4B:2", "samsung:0x07:0x02:2", "jvc:0x03:0x2A:1", "lg:0x88C0051:1",
    "kaseikyo:0x2002:0xBC3D0D00", "sharp:0x11:0x5A", "rc5:0x05:0x75:1", "rc6:0x1A:0x0C:1",
    "sony20:0x12:0x05:0x3C:1"};

std::string Expanded(const std::string& bytes)
{
    std::string expanded;
    for (char byte : bytes) {
        if (byte == '\n') expanded += '\r';
        expanded += byte;
    }
    return expanded;
}

// A cut-off capture still gives every frame that ended before the cut as
// the whole capture gives it: a frame is known to end once the next one
// has started.  (At the cut itself anything that fits a protocol may show:
// the first 16 bits of an NEC frame are a whole JVC frame.)
std::vector<std::string> FramesBefore(const std::vector<ParsedFrame>& whole, size_t length)
{
    std::vector<std::string> frames;
    for (size_t index = 0; index + 1 < whole.size(); ++index) {
        if (std::stoul(whole[index + 1].start) >= length) break;
        frames.push_back(whole[index].start + " " + DescribePresses({whole[index]})[0]);
    }
    return frames;
}

}  // namespace

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string errorText;   // in standard error
    std::string outputText;  // in standard output
};

void PrintTo(const UsageCase& testCase, std::ostream* out) { *out << testCase.name; }

class AnalyzeCliUsage : public AnalyzeCliProgram, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(AnalyzeCliUsage, ExitsWithItsStatusAndSaysWhy)
{
    const UsageCase& testCase = GetParam();
    ASSERT_TRUE(WriteFile(Path("empty.bin"), ""));
    std::vector<std::string> arguments;
    for (const std::string& argument : testCase.arguments) {
        // @ names a file in the scratch directory.
        arguments.push_back(argument.size() > 1 && argument[0] == '@' ? Path(argument.substr(1))
                                                                      : argument);
    }
    const ProgramResult result = RunAnalyze(arguments);
    ASSERT_TRUE(result.exited) << "signal " << result.signalNumber;
    EXPECT_EQ(result.exitStatus, testCase.status) << result.errors;
    EXPECT_NE(result.errors.find(testCase.errorText), std::string::npos) << result.errors;
    EXPECT_NE(result.output.find(testCase.outputText), std::string::npos) << result.output;
    if (testCase.status == 2 && testCase.outputText.empty()) {
        EXPECT_EQ(result.errors.find("irtick-analyze: "), 0u) << result.errors;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, AnalyzeCliUsage,
    ::testing::Values(
        UsageCase{"Help", {"--help"}, 0, "", "Usage: irtick-analyze"},
        UsageCase{"Version", {"--version"}, 0, "", std::string("irtick-analyze ") + ANALYZE_CLI_VERSION + "\n"},
        UsageCase{"UnknownLong", {"--bogus"}, 2, "unknown option --bogus", ""},
        UsageCase{"UnknownShort", {"-x"}, 2, "unknown option -x", ""},
        UsageCase{"ValueOnAFlag", {"--json=1", "@empty.bin"}, 2, "unknown option --json=1", ""},
        UsageCase{"PortWithoutValue", {"-p"}, 2, "needs a value", ""},
        UsageCase{"SaveWithoutValue", {"--save"}, 2, "needs a value", ""},
        UsageCase{"EmptyPortName", {"--port="}, 2, "needs a port name", ""},
        UsageCase{"TwoForms", {"--json", "--histogram", "@empty.bin"}, 2, "exclude each other", ""},
        UsageCase{"SaveWithoutPort", {"--save", "@out.bin", "@empty.bin"}, 2, "--save needs --port", ""},
        UsageCase{"PortAndCaptures", {"-p", "@empty.bin", "@empty.bin"}, 2, "capture files", ""},
        UsageCase{"CrlfWithPort", {"--crlf", "-p", "@empty.bin"}, 2, "--crlf", ""},
        UsageCase{"MissingFile", {"@missing.bin"}, 2, "missing.bin: No such file", ""},
        UsageCase{"Directory", {"--json", "@."}, 2, "Is a directory", ""},
        UsageCase{"OptionAfterCapture", {"@empty.bin", "--json"}, 0, "", "{\"type\":\"summary\""},
        UsageCase{"EmptyCapture", {"@empty.bin"}, 0, "", "summary: 0 frames, 0 unknown runs\n"},
        UsageCase{"EmptyCaptureJson", {"--json", "@empty.bin"}, 0, "",
                  "{\"type\":\"summary\",\"frames\":0,\"unknown\":0,\"codes\":[]}\n"},
        UsageCase{"EmptyCaptureHistogram", {"--histogram", "@empty.bin"}, 0, "", "intervals: 0\n"}));

TEST_F(AnalyzeCliProgram, EachCaptureIsAnalysedFromAFreshStartAndAnUnreadableOneDoesNotStopTheRest)
{
    const std::string capture = MakeCapture(directory, {"nec:0x00:0x45:1"});
    ASSERT_FALSE(capture.empty());
    ASSERT_TRUE(WriteFile(Path("a.bin"), capture));
    // The second capture starts with half a frame: it must not finish
    // anything of the first's, nor the first's end start anything here.
    ASSERT_TRUE(WriteFile(Path("b.bin"), capture.substr(0, 10) + capture));
    const ProgramResult result =
        RunAnalyze({"--json", Path("a.bin"), Path("missing.bin"), Path("b.bin")});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.errors.find("missing.bin"), std::string::npos);

    std::vector<JsonValue> summaries;
    const std::vector<ParsedFrame> frames = ParseFrames(result.output, &summaries);
    ASSERT_EQ(summaries.size(), 2u) << result.output;
    ASSERT_EQ(frames.size(), 2u) << result.output;
    EXPECT_EQ(DescribePresses(frames)[0], DescribePresses(frames)[1]);
    // The summary closes each capture's lines.
    EXPECT_LT(result.output.find("\"start\":" + frames[0].start), result.output.find("summary"));
    for (const JsonValue& summary : summaries) {
        EXPECT_EQ(FindMember(summary, "frames")->numberText, "1") << result.output;
    }
}

TEST_F(AnalyzeCliProgram, ACrlfExpandedCaptureGivesTheSameJsonAsTheCaptureItself)
{
    std::string capture = MakeCapture(directory, kMixedPresses, 8, 7);
    ASSERT_FALSE(capture.empty());
    // Bytes 10 and 13 in every arrangement, between and inside frames.
    capture = std::string("\n\r\n\r\r") + capture.substr(0, 20) + "\n\n" + capture.substr(20) + "\r";
    ASSERT_TRUE(WriteFile(Path("linux.bin"), capture));
    ASSERT_TRUE(WriteFile(Path("windows.bin"), Expanded(capture)));

    const ProgramResult direct = RunAnalyze({"--json", Path("linux.bin")});
    const ProgramResult undone = RunAnalyze({"--json", "--crlf", Path("windows.bin")});
    const ProgramResult piped = RunAnalyze({"--json", "--crlf", "-"}, Expanded(capture));
    ASSERT_TRUE(direct.exited && undone.exited && piped.exited);
    EXPECT_EQ(direct.exitStatus, 0);
    EXPECT_FALSE(ParseFrames(direct.output).empty()) << direct.output;
    EXPECT_EQ(undone.output, direct.output);
    EXPECT_EQ(piped.output, direct.output);
    // And without --crlf the expanded capture is read as it stands.
    const ProgramResult asItStands = RunAnalyze({"--json", Path("windows.bin")});
    EXPECT_NE(asItStands.output, direct.output);
}

TEST_F(AnalyzeCliProgram, TheSimScriptReplaysTheSamePresses)
{
    std::vector<std::string> items = kMixedPresses;
    items.push_back("us:13500,1125,2250,1125,1125,1125");  // no frame: not replayed
    const std::string capture = MakeCapture(directory, items, 8, 3);
    ASSERT_FALSE(capture.empty());
    ASSERT_TRUE(WriteFile(Path("capture.bin"), capture));

    const ProgramResult script = RunAnalyze({"--sim", Path("capture.bin")});
    ASSERT_TRUE(script.exited);
    ASSERT_EQ(script.exitStatus, 0) << script.errors;
    std::vector<std::string> scriptItems;
    size_t start = 0;
    while (start < script.output.size()) {
        const size_t end = script.output.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "every item ends its line";
        scriptItems.push_back(script.output.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_FALSE(scriptItems.empty());
    const std::string replay = MakeCapture(directory, scriptItems);
    ASSERT_FALSE(replay.empty());
    ASSERT_TRUE(WriteFile(Path("replay.bin"), replay));

    const std::vector<ParsedFrame> original =
        ParseFrames(RunAnalyze({"--json", Path("capture.bin")}).output);
    const std::vector<ParsedFrame> replayed =
        ParseFrames(RunAnalyze({"--json", Path("replay.bin")}).output);
    EXPECT_FALSE(original.empty());
    EXPECT_EQ(DescribePresses(replayed), DescribePresses(original)) << script.output;
}

struct ProtocolCase {
    const char* name;
    std::vector<std::string> items;
    // The presses DescribePresses gives, in order.
    std::vector<std::string> presses;
};

void PrintTo(const ProtocolCase& testCase, std::ostream* out) { *out << testCase.name; }

class AnalyzeCliProtocols : public AnalyzeCliProgram,
                            public ::testing::WithParamInterface<ProtocolCase> {};

// irtick-sim's bytes with +-8% jitter, under several seeds, decode to the
// codes the items name, in every output form the scripts read.
TEST_P(AnalyzeCliProtocols, TheSimulatorsFramesWithJitterDecodeToTheirCodes)
{
    const ProtocolCase& testCase = GetParam();
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        std::vector<std::string> items = {"pause:20"};
        items.insert(items.end(), testCase.items.begin(), testCase.items.end());
        const std::string capture = MakeCapture(directory, items, 8, seed);
        ASSERT_FALSE(capture.empty());
        const ProgramResult result = RunAnalyze({"--json", "-"}, capture);
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.exitStatus, 0);
        const std::vector<ParsedFrame> frames = ParseFrames(result.output);
        EXPECT_EQ(DescribePresses(frames), testCase.presses) << "seed " << seed << "\n" << result.output;
        for (const ParsedFrame& frame : frames) {
            EXPECT_LE(frame.errorPercent, 12.0) << "seed " << seed;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Simulator, AnalyzeCliProtocols,
    ::testing::Values(
        ProtocolCase{"Nec", {"nec:0x00:0x45:2", "nec:0x1234:0x08"},
                     {"NEC 0/69 BA45FF00 r2 tnull", "NEC 4660/8 F7081234 r0 tnull"}},
        ProtocolCase{"Sony12", {"sony12:0x15:0x01:2"},
                     {"Sony 1/21 00095 r0 tnull", "Sony 1/21 00095 r0 tnull"}},
        ProtocolCase{"Sony15", {"sony15:0x12:0x4B:1"}, {"Sony 75/18 02592 r0 tnull"}},
        ProtocolCase{"Sony20", {"sony20:0x12:0x05:0x3C:1"}, {"Sony 1925/18 3C292 r0 tnull"}},
        ProtocolCase{"Samsung32", {"samsung:0x07:0x02:2"},
                     {"Samsung32 7/2 FD020707 r0 tnull", "Samsung32 7/2 FD020707 r0 tnull"}},
        ProtocolCase{"Jvc", {"jvc:0x03:0x2A:2", "jvc:0x10:0x01"},
                     {"JVC 3/42 2A03 r2 tnull", "JVC 16/1 0110 r0 tnull"}},
        ProtocolCase{"Lg", {"lg:0x88C0051:1"}, {"LG null/null 88C0051 r1 tnull"}},
        ProtocolCase{"Kaseikyo", {"kaseikyo:0x2002:0xBC3D0D00"},
                     {"Kaseikyo null/null BC3D0D002002 r0 tnull"}},
        ProtocolCase{"Sharp", {"sharp:0x11:0x5A"}, {"Sharp 17/90 2B51 r0 tnull"}},
        ProtocolCase{"Rc5", {"rc5:0x05:0x35:1", "rc5:0x05:0x75:0"},
                     {"RC5 5/53 3975 r0 t1", "RC5 5/117 2175 r0 t0"}},
        ProtocolCase{"Rc6", {"rc6:0x1A:0x0C:0", "rc6:0x1A:0x0D:1"},
                     {"RC6 26/12 101A0C r0 t0", "RC6 26/13 111A0D r0 t1"}},
        // The capture's last frame ends in a bit that starts a burst (RC6: 0,
        // RC5: 1): its last byte is that burst's interval, no pause follows.
        ProtocolCase{"Rc6EndingInZeroLast", {"rc6:0x1A:0x0D:0", "rc6:0x1A:0x0C:1"},
                     {"RC6 26/13 101A0D r0 t0", "RC6 26/12 111A0C r0 t1"}},
        ProtocolCase{"Rc5EndingInOneLast", {"rc5:0x05:0x02:0", "rc5:0x05:0x03:1"},
                     {"RC5 5/2 3142 r0 t0", "RC5 5/3 3943 r0 t1"}}));

TEST_F(AnalyzeCliProgram, RandomBytesAndTruncatedFramesNeverCrashAndStayParsable)
{
    constexpr size_t kRandomInputs = 4;
    std::mt19937 random(20261211);
    std::vector<std::string> inputs;
    for (size_t round = 0; round < kRandomInputs; ++round) {
        std::string bytes(64 * 1024, '\0');
        for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
        inputs.push_back(bytes);
    }
    const std::string capture = MakeCapture(directory, kMixedPresses);
    ASSERT_FALSE(capture.empty());
    const std::vector<ParsedFrame> whole = ParseFrames(RunAnalyze({"--json", "-"}, capture).output);
    ASSERT_FALSE(whole.empty());
    for (size_t length = 1; length < capture.size(); length += 3) {
        inputs.push_back(capture.substr(0, length));
        inputs.push_back(capture.substr(capture.size() - length));
    }

    for (size_t index = 0; index < inputs.size(); ++index) {
        const ProgramResult result = RunAnalyze({"--json", "-"}, inputs[index]);
        ASSERT_TRUE(result.exited) << "input " << index << ": signal " << result.signalNumber;
        ASSERT_EQ(result.exitStatus, 0) << "input " << index;
        std::vector<JsonValue> summaries;
        const std::vector<ParsedFrame> frames = ParseFrames(result.output, &summaries);
        ASSERT_EQ(summaries.size(), 1u) << "input " << index;
        EXPECT_EQ(FindMember(summaries[0], "frames")->numberText, std::to_string(frames.size()));
        const bool prefix = index >= kRandomInputs && (index - kRandomInputs) % 2 == 0;
        if (!prefix) continue;
        const std::vector<std::string> expected = FramesBefore(whole, inputs[index].size());
        std::vector<std::string> found;
        for (const ParsedFrame& frame : frames) {
            found.push_back(frame.start + " " + DescribePresses({frame})[0]);
        }
        found.resize(std::min(found.size(), expected.size()));
        EXPECT_EQ(found, expected) << "cut after " << inputs[index].size() << " bytes";
    }
    // The other forms take the same bytes.
    for (const char* form : {"--histogram", "--sim"}) {
        const ProgramResult result = RunAnalyze({form, "-"}, inputs[0]);
        EXPECT_TRUE(result.exited && result.exitStatus == 0) << form;
    }
    const ProgramResult text = RunAnalyze({"-"}, inputs[0]);
    EXPECT_TRUE(text.exited && text.exitStatus == 0);
    EXPECT_NE(text.output.find("summary: "), std::string::npos);
}
