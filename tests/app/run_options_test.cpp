#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_options.h"

namespace {

struct OptionsCase {
    std::vector<const char*> arguments;  // after the program name
    std::string portName;
    bool rawText;
    bool necDecoding;
    int32_t sonyBits;
    bool wrapCorrection;
    bool showMicroseconds;
};

RunOptions Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "irtick");
    return ParseRunOptions(static_cast<int>(arguments.size()), arguments.data());
}

std::string Describe(const std::vector<const char*>& arguments)
{
    std::string text;
    for (const char* argument : arguments) text += std::string("[") + argument + "]";
    return text.empty() ? "(none)" : text;
}

// port, rawText, necDecoding, sonyBits, wrapCorrection, showMicroseconds
const OptionsCase kCases[] = {
    {{}, "COM1", false, false, 0, true, false},
    {{"-a", "-n", "-r", "-t"}, "COM1", true, true, 0, false, true},
    {{"/A", "/N", "/R", "/T"}, "COM1", true, true, 0, false, true},
    // Port names: -p takes its attached value only; bare names need "COM" and 4 bytes.
    {{"-pCOM12"}, "COM12", false, false, 0, true, false},
    {{"/PCOM2"}, "COM2", false, false, 0, true, false},
    {{"-pX"}, "X", false, false, 0, true, false},
    {{"-p/dev/ttyUSB0"}, "/dev/ttyUSB0", false, false, 0, true, false},
    {{"-p"}, "COM1", false, false, 0, true, false},
    {{"-p", "COM3"}, "COM3", false, false, 0, true, false},
    {{"-p", "3"}, "COM1", false, false, 0, true, false},
    {{"COM"}, "COM1", false, false, 0, true, false},
    {{"COM5"}, "COM5", false, false, 0, true, false},
    {{"com7"}, "com7", false, false, 0, true, false},
    {{"cOmX"}, "cOmX", false, false, 0, true, false},
    {{"/COM3"}, "COM1", false, false, 0, true, false},
    {{"-COM3"}, "COM1", false, false, 0, true, false},
    {{"-pCOM2", "COM3"}, "COM3", false, false, 0, true, false},
    {{"COM3", "-pCOM2"}, "COM2", false, false, 0, true, false},
    {{"capture.bin"}, "COM1", false, false, 0, true, false},
    // Sony frame lengths.
    {{"-s12"}, "COM1", false, false, 12, true, false},
    {{"/S15"}, "COM1", false, false, 15, true, false},
    {{"-s015"}, "COM1", false, false, 15, true, false},
    {{"-s+20"}, "COM1", false, false, 20, true, false},
    {{"-s20x"}, "COM1", false, false, 20, true, false},
    {{"-s 15"}, "COM1", false, false, 15, true, false},
    {{"-s\t\n\v\f\r12"}, "COM1", false, false, 12, true, false},
    {{"-s", "15"}, "COM1", false, false, 0, true, false},
    {{"-s"}, "COM1", false, false, 0, true, false},
    {{"-s16"}, "COM1", false, false, 0, true, false},
    {{"-s-12"}, "COM1", false, false, 0, true, false},
    {{"-s- 12"}, "COM1", false, false, 0, true, false},
    {{"-s0x14"}, "COM1", false, false, 0, true, false},
    {{"-sony"}, "COM1", false, false, 0, true, false},
    {{"-s15", "-s16"}, "COM1", false, false, 0, true, false},
    {{"-s16", "-s15"}, "COM1", false, false, 15, true, false},
    // 4294967308 = 2^32 + 12 and 4294967284 = 2^32 - 12 wrap in 32 bits.
    {{"-s4294967308"}, "COM1", false, false, 12, true, false},
    {{"-s-4294967284"}, "COM1", false, false, 12, true, false},
    {{"-s99999999999999999999999"}, "COM1", false, false, 0, true, false},
    // Ignored arguments, and -- does not end option processing.
    {{"-x", "--", "-?", "/?", "-h", "-1", "-", "/", ""}, "COM1", false, false, 0, true, false},
    {{"--", "-n"}, "COM1", false, true, 0, true, false},
    {{"-nt"}, "COM1", false, true, 0, true, false},
    {{"-\xE9", "-\xC3\xA9"}, "COM1", false, false, 0, true, false},
    {{"-a", "-n", "-s15", "-t", "-r"}, "COM1", true, true, 15, false, true},
};

TEST(RunOptions, ParsesEachCase)
{
    for (const OptionsCase& c : kCases) {
        SCOPED_TRACE(Describe(c.arguments));
        const RunOptions options = Parse(c.arguments);
        EXPECT_EQ(options.portName, c.portName);
        EXPECT_EQ(options.rawText, c.rawText);
        EXPECT_EQ(options.necDecoding, c.necDecoding);
        EXPECT_EQ(options.sonyBits, c.sonyBits);
        EXPECT_EQ(options.wrapCorrection, c.wrapCorrection);
        EXPECT_EQ(options.showMicroseconds, c.showMicroseconds);
    }
}

// On Linux a path under /dev/ and a bare ./ or ../ path name the port as
// -p would (so "-p /dev/ttyUSB0" works too: the path names it by itself);
// the last argument that names a port wins.  Windows keeps its rules:
// "/dev/ttyUSB0" is the unknown option "/d" there.
struct PortPathCase {
    std::vector<const char*> arguments;
    const char* linuxPort;
    const char* windowsPort;
};

const PortPathCase kPortPathCases[] = {
    {{"/dev/ttyUSB0"}, "/dev/ttyUSB0", "COM1"},
    {{"-p", "/dev/ttyUSB0"}, "/dev/ttyUSB0", "COM1"},
    {{"./capture.bin"}, "./capture.bin", "COM1"},
    {{"../capture.bin"}, "../capture.bin", "COM1"},
    {{"/dev/ttyUSB0", "-pCOM3"}, "COM3", "COM3"},
    {{"COM3", "/dev/ttyACM0"}, "/dev/ttyACM0", "COM3"},
    {{"/dev/ttyUSB0", "./capture.bin"}, "./capture.bin", "COM1"},
    {{"-t", "/dev/ttyUSB0", "-n"}, "/dev/ttyUSB0", "COM1"},
};

TEST(RunOptions, PortPathsNameThePortOnLinuxOnly)
{
    for (const PortPathCase& c : kPortPathCases) {
        SCOPED_TRACE(Describe(c.arguments));
        const RunOptions options = Parse(c.arguments);
#ifdef _WIN32
        EXPECT_EQ(options.portName, c.windowsPort);
#else
        EXPECT_EQ(options.portName, c.linuxPort);
#endif
    }
}

TEST(RunOptions, PortNameIsTheRecordsOwnCopy)
{
    char argument[] = "-pCOM9";
    const char* arguments[] = {"irtick", argument};
    const RunOptions options = ParseRunOptions(2, arguments);
    argument[5] = '0';
    EXPECT_EQ(options.portName, "COM9");
}

TEST(RunOptions, CountOfOneOrLessTakesNothing)
{
    const char* arguments[] = {"irtick", "-n"};
    EXPECT_FALSE(ParseRunOptions(1, arguments).necDecoding);
    EXPECT_FALSE(ParseRunOptions(0, arguments).necDecoding);
    EXPECT_FALSE(ParseRunOptions(-3, arguments).necDecoding);
}

}  // namespace
