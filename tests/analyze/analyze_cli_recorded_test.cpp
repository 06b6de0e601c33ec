// The whole record -> analyze path: irtick -a records what the simulator's
// receiver sends (every protocol, +-8% jitter) into a file, and
// irtick-analyze finds in that file the presses it finds in the
// simulator's bytes themselves.  Runs the real irtick through the
// end-to-end harness.

#include <string>
#include <vector>

#include "analyze_cli_program.h"
#include "e2e_fixture.h"

TEST_F(IrtickE2eTest, AnalyzeReadsWhatIrtickRecordsWithMinusA)
{
    const std::string sent = MakeCapture(
        scratchDirectory,
        {"nec:0x00:0x45:1", "sony12:0x15:0x01", "samsung:0x07:0x02", "jvc:0x03:0x2A:1",
         "lg:0x88C0051", "kaseikyo:0x2002:0xBC3D0D00", "sharp:0x11:0x5A", "rc5:0x05:0x35:1",
         "rc6:0x1A:0x0C:0", "nec:0x1234:0x08"},
        8, 5);
    ASSERT_FALSE(sent.empty());
    IrtickLaunch launch;
    launch.arguments = {PortOption(), "-a"};
    launch.standardOutputFile = ScratchPath("recorded.bin");
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    const long long before = BytesReadByProcess(run->pid);
    ASSERT_GE(before, 0);
    ASSERT_TRUE(WriteAll(port.master, sent));
    ASSERT_TRUE(WaitFor(
        run, [&] { return BytesReadByProcess(run->pid) >= before + static_cast<long long>(sent.size()); },
        kOutputTimeoutMs));
    // A key ends the recording; the output is written out in full.
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    ASSERT_EQ(DescribeEnd(*run), ExitedWith(0));

    const std::string recorded = ReadFileBytes(launch.standardOutputFile);
    EXPECT_EQ(recorded.size(), sent.size());
    const ProgramResult fromFile = RunAnalyze({"--json", launch.standardOutputFile});
    const ProgramResult fromSim = RunAnalyze({"--json", "-"}, sent);
    ASSERT_TRUE(fromFile.exited && fromSim.exited);
    EXPECT_EQ(fromFile.exitStatus, 0);
    const std::vector<std::string> presses = DescribePresses(ParseFrames(fromFile.output));
    EXPECT_EQ(presses, DescribePresses(ParseFrames(fromSim.output)));
    // Ten presses; the Sony one sends its frame three times.
    EXPECT_EQ(presses.size(), 12u) << fromFile.output;
}
