// irtick decoding what irtick-sim sends: both built programs, the
// simulator's pseudo-terminal as irtick's port, irtick's output in a file,
// and a key typed on irtick's terminal once the simulator has finished.
// The simulator varies its intervals by 5 %, which keeps every NEC and Sony
// interval inside irtick's decoder windows.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "pty_harness.h"
#include "sim_expected.h"
#include "sim_process.h"

namespace {

// Generous bounds for a loaded two-core machine.
constexpr int kStartTimeoutMs = 5000;
constexpr int kScriptTimeoutMs = 30000;  // the script plays in about a second
constexpr int kExitTimeoutMs = 5000;

// What irtick printed, split into the interval values and the decoders'
// marks ("NEC BA45FF00", "Rpt", "Sony 00095"), each in order.
struct Transcript {
    std::vector<int> values;
    std::vector<std::string> marks;
};

Transcript ReadTranscript(const std::string& output)
{
    Transcript transcript;
    std::istringstream words(output);
    std::string word;
    while (words >> word) {
        if (word == "NEC" || word == "Sony") {
            std::string label;
            std::string code;
            words >> label >> code;
            transcript.marks.push_back(word + " " + code);
        } else if (word == "Rpt") {
            transcript.marks.push_back(word);
        } else {
            transcript.values.push_back(std::atoi(word.c_str()));
        }
    }
    return transcript;
}

// The interval values irtick shows for the simulator's bytes, with its
// wrap correction (bytes 0 to 2 stand for 256 to 258).
std::vector<int> ShownValues(const std::string& bytes)
{
    std::vector<int> values;
    for (unsigned char byte : bytes) values.push_back(byte < 3 ? byte + 256 : byte);
    return values;
}

std::vector<std::string> WithoutRepeatMarks(const std::vector<std::string>& marks)
{
    std::vector<std::string> codes;
    for (const std::string& mark : marks) {
        if (mark != "Rpt") codes.push_back(mark);
    }
    return codes;
}

struct DecodeCase {
    const char* name;
    std::vector<std::string> script;         // simulator arguments
    std::vector<std::string> irtickOptions;  // besides the port
    std::vector<std::string> marks;          // in order
    bool withRepeatMarks;                    // false: compare the codes only
    std::vector<std::string> lines;          // exact texts that must show
};

// Sony codes hold the frame's first length - 1 bits: command, then address
// (and extended) bits, lowest first; the last bit is never shown.
const DecodeCase kDecodeCases[] = {
    {"NecWithRepeats",
     {"--jitter", "5", "--seed", "11", "nec:0x00:0x45:2", "nec:0x1234:0x45:1", "nec:0x00:0x46"},
     {"-n"},
     {"NEC BA45FF00", "Rpt", "Rpt", "NEC BA451234", "Rpt", "NEC B946FF00"},
     true,
     {"\nNEC Code: BA45FF00\n", "Rpt ", "\nNEC Code: BA451234\n", "\nNEC Code: B946FF00\n"}},
    {"Sony12",
     {"--jitter", "5", "--seed", "12", "sony12:0x15:0x01", "pause:100", "sony12:0x2A:0x1E:2"},
     {"-s12"},
     {"Sony 00095", "Sony 00095", "Sony 00095", "Sony 0072A", "Sony 0072A"},
     true,
     {"\nSony Code: 00095\n", "\nSony Code: 0072A\n"}},
    {"Sony15",
     {"--jitter", "5", "--seed", "15", "sony15:0x15:0x9A", "pause:100", "sony15:0x7F:0xFF:2"},
     {"-s15"},
     {"Sony 00D15", "Sony 00D15", "Sony 00D15", "Sony 03FFF", "Sony 03FFF"},
     true,
     {"\nSony Code: 00D15\n", "\nSony Code: 03FFF\n"}},
    {"Sony20",
     {"--jitter", "5", "--seed", "20", "sony20:0x15:0x1A:0xC3", "pause:100",
      "sony20:0:0:0x80:2"},
     {"-s20"},
     {"Sony 43D15", "Sony 43D15", "Sony 43D15", "Sony 00000", "Sony 00000"},
     true,
     {"\nSony Code: 43D15\n", "\nSony Code: 00000\n"}},
    // Both decoders on one stream, as in the demo.  A Sony pause value can
    // fall into the NEC repeat window and draw a repeat mark, so only the
    // codes are compared.
    {"NecAndSony12Together",
     {"--jitter", "5", "--seed", "7", "nec:0:0x45:1", "pause:200", "sony12:0x15:1:2", "pause:200",
      "nec:0x1234:0x0C"},
     {"-n", "-s12"},
     {"NEC BA45FF00", "Sony 00095", "Sony 00095", "NEC F30C1234"},
     false,
     {"\nNEC Code: BA45FF00\n", "\nSony Code: 00095\n", "\nNEC Code: F30C1234\n"}},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DecodeCase& testCase, std::ostream* stream)
{
    *stream << testCase.name;
}

class SimIrtickE2eTest : public ::testing::TestWithParam<DecodeCase> {
protected:
    void SetUp() override
    {
        scratchDirectory = MakeTemporaryDirectory();
        ASSERT_FALSE(scratchDirectory.empty());
    }

    void TearDown() override
    {
        StopIrtick(&irtick);
        StopSim(&sim);
        RemoveTemporaryDirectory(scratchDirectory);
    }

    std::string scratchDirectory;
    SimRun sim;
    IrtickRun irtick;
};

TEST_P(SimIrtickE2eTest, IrtickDecodesWhatTheSimulatorSends)
{
    const DecodeCase& testCase = GetParam();
    ASSERT_EQ(StartSim(testCase.script, &sim), 0);
    std::string portPath;
    ASSERT_TRUE(ReadSimFirstLine(&sim, &portPath, kStartTimeoutMs)) << sim.errors;

    IrtickLaunch launch;
    launch.arguments = testCase.irtickOptions;
    launch.arguments.push_back("-p" + portPath);
    launch.standardOutputFile = scratchDirectory + "/output.txt";
    ASSERT_EQ(StartIrtick(launch, &irtick), 0);

    // The simulator ends once its script is over and irtick has read every
    // byte from the port.
    ASSERT_TRUE(WaitForSimExit(&sim, kScriptTimeoutMs))
        << "the simulator still runs; irtick: " << Printable(irtick.output);
    EXPECT_EQ(DescribeSimEnd(sim), "exited with 0") << sim.errors;

    ASSERT_TRUE(WaitForKeyMode(&irtick, kStartTimeoutMs));
    ASSERT_TRUE(TypeKeys(&irtick, "q"));
    ASSERT_TRUE(WaitForExit(&irtick, kExitTimeoutMs)) << Printable(irtick.output);
    ASSERT_TRUE(WIFEXITED(irtick.waitStatus));
    EXPECT_EQ(WEXITSTATUS(irtick.waitStatus), 0);

    const std::string output = ReadFileBytes(launch.standardOutputFile);
    const Transcript transcript = ReadTranscript(output);
    // Every byte arrived, in order and unchanged.
    EXPECT_EQ(transcript.values, ShownValues(ScriptBytes(testCase.script)));
    if (testCase.withRepeatMarks) {
        EXPECT_EQ(transcript.marks, testCase.marks) << output;
    } else {
        EXPECT_EQ(WithoutRepeatMarks(transcript.marks), testCase.marks) << output;
    }
    for (const std::string& line : testCase.lines) {
        EXPECT_NE(output.find(line), std::string::npos) << Printable(line) << " in " << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, SimIrtickE2eTest, ::testing::ValuesIn(kDecodeCases),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
