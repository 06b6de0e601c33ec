// Port names on Linux: which arguments name a port by its path, and the
// mapping of Win32 device paths to Linux paths.  COM names are only
// mapped here, never opened: /dev/ttyS0 is this machine's own console.
#include <gtest/gtest.h>

#include <string>

#include "device_path.h"

namespace {

struct PathCase {
    const char* devicePath;
    const char* expected;
};

const PathCase kPathCases[] = {
    // COM names, in any case, with and without the prefix.
    {"\\\\.\\COM1", "/dev/ttyS0"},
    {"COM1", "/dev/ttyS0"},
    {"\\\\.\\com10", "/dev/ttyS9"},
    {"\\\\.\\cOm2", "/dev/ttyS1"},
    {"\\\\.\\COM01", "/dev/ttyS0"},
    {"\\\\.\\COM4294967295", "/dev/ttyS4294967294"},
    // Not COM names: used as they stand.
    {"\\\\.\\COM0", "COM0"},
    {"\\\\.\\COM", "COM"},
    {"\\\\.\\COMX", "COMX"},
    {"\\\\.\\COM1a", "COM1a"},
    {"\\\\.\\COM 1", "COM 1"},
    {"\\\\.\\COM+1", "COM+1"},
    {"\\\\.\\COM-1", "COM-1"},
    {"\\\\.\\COM4294967296", "COM4294967296"},
    {"\\\\.\\COM99999999999999999999999999", "COM99999999999999999999999999"},
    {"\\\\.\\XCOM1", "XCOM1"},
    {"\\\\.\\CO", "CO"},
    // The prefix is stripped once only.
    {"\\\\.\\\\\\.\\COM3", "\\\\.\\COM3"},
    {"\\\\.\\", ""},
    {"\\\\.", "\\\\."},
    {"\\\\?\\COM1", "\\\\?\\COM1"},
    {"", ""},
    // File paths.
    {"\\\\.\\/dev/ttyUSB0", "/dev/ttyUSB0"},
    {"\\\\.\\/dev/pts/3", "/dev/pts/3"},
    {"\\\\.\\./capture.bin", "./capture.bin"},
    {"\\\\.\\nothere", "nothere"},
    {"/tmp/COM1", "/tmp/COM1"},
};

TEST(MapDevicePathTest, MapsEachPath) {
    for (const PathCase& pathCase : kPathCases) {
        EXPECT_EQ(MapDevicePath(pathCase.devicePath), pathCase.expected)
            << "device path: " << pathCase.devicePath;
    }
}

TEST(MapDevicePathTest, NullPathGivesEmptyString) {
    EXPECT_EQ(MapDevicePath(nullptr), "");
}

struct ArgumentCase {
    const char* argument;
    bool namesPort;
};

const ArgumentCase kArgumentCases[] = {
    {"/dev/ttyUSB0", true},
    {"/dev/pts/3", true},
    {"/dev/", true},
    {"./capture.bin", true},
    {"../captures/nec.bin", true},
    {"./", true},
    // Options and other names stay what they were.
    {"/dev", false},
    {"/d", false},
    {"/n", false},
    {"-p/dev/ttyUSB0", false},
    {"/tmp/capture.bin", false},
    {"capture.bin", false},
    {".capture", false},
    {"..", false},
    {"COM3", false},
    {"", false},
};

TEST(NamesPortPathTest, DevPathsAndExplicitRelativePathsNameAPort) {
    for (const ArgumentCase& argumentCase : kArgumentCases) {
        EXPECT_EQ(NamesPortPath(argumentCase.argument), argumentCase.namesPort)
            << "argument: " << argumentCase.argument;
    }
}

}  // namespace
