#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_console.h"
#include "fakes/fake_serial_api.h"
#include "link/receiver_port.h"

namespace {

class ReceiverPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeSerial();
        ResetFakeConsole();
        receiverPort = nullptr;
    }
};

// A device that a previous program left in an odd state: hardware and
// software flow control, 7E2 at 9600, DTR and RTS handshaking, and every
// field the port must not touch holding a recognisable value.
DCB OddDeviceState()
{
    DCB dcb;
    std::memset(&dcb, 0, sizeof(dcb));
    dcb.BaudRate = 9600;
    dcb.ByteSize = 7;
    dcb.Parity = 2;
    dcb.StopBits = 2;
    dcb.fBinary = 0;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutxDsrFlow = 1;
    dcb.fDtrControl = 2;  // handshake
    dcb.fDsrSensitivity = 1;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.fErrorChar = 1;
    dcb.fNull = 1;
    dcb.fRtsControl = 3;  // toggle
    dcb.fAbortOnError = 1;
    dcb.fDummy2 = 0x1ABCD;
    dcb.wReserved = 0x1234;
    dcb.XonLim = 111;
    dcb.XoffLim = 222;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '!';
    dcb.wReserved1 = 0x5678;
    return dcb;
}

// Every call of a successful open, in order.
std::vector<std::string> OpenCalls(const std::string& portName)
{
    return {
        "CreateFileA \\\\.\\" + portName, "GetCommState",  "SetCommState",
        "GetCommTimeouts",              "SetCommTimeouts", "SetCommMask",
        "Sleep 500",                    "EscapeCommFunction SETRTS", "EscapeCommFunction SETDTR",
    };
}

TEST_F(ReceiverPort, OpenConfiguresPausesAndPowersUpInOrder)
{
    fakeDeviceDcb = OddDeviceState();
    fakeDeviceTimeouts = {1, 2, 3, 44, 55};

    ASSERT_EQ(OpenReceiverPort("COM1"), 0);
    EXPECT_EQ(receiverPort, FakePortHandle());
    EXPECT_EQ(fakeConsoleOutput, "");
    EXPECT_EQ(fakeSerialCalls, OpenCalls("COM1"));
    EXPECT_EQ(fakeAppliedMask, 0u);

    // The read time-outs change; the write time-outs go back as read.
    EXPECT_EQ(fakeAppliedTimeouts.ReadIntervalTimeout, 20u);
    EXPECT_EQ(fakeAppliedTimeouts.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(fakeAppliedTimeouts.ReadTotalTimeoutConstant, 100u);
    EXPECT_EQ(fakeAppliedTimeouts.WriteTotalTimeoutMultiplier, 44u);
    EXPECT_EQ(fakeAppliedTimeouts.WriteTotalTimeoutConstant, 55u);
}

TEST_F(ReceiverPort, LineSettingsChangeOnlyTheirFields)
{
    const DCB before = OddDeviceState();
    fakeDeviceDcb = before;
    ASSERT_EQ(OpenReceiverPort("COM3"), 0);
    const DCB& after = fakeAppliedDcb;

    EXPECT_EQ(after.DCBlength, sizeof(DCB));
    EXPECT_EQ(after.BaudRate, 57600u);
    EXPECT_EQ(after.ByteSize, 8);
    EXPECT_EQ(after.Parity, NOPARITY);
    EXPECT_EQ(after.StopBits, ONESTOPBIT);
    EXPECT_EQ(after.fBinary, 1u);
    EXPECT_EQ(after.fParity, 0u);
    EXPECT_EQ(after.fOutxCtsFlow, 0u);
    EXPECT_EQ(after.fOutxDsrFlow, 0u);
    EXPECT_EQ(after.fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(after.fDsrSensitivity, 0u);
    EXPECT_EQ(after.fTXContinueOnXoff, 0u);
    EXPECT_EQ(after.fOutX, 0u);
    EXPECT_EQ(after.fInX, 0u);
    EXPECT_EQ(after.fErrorChar, 0u);
    EXPECT_EQ(after.fNull, 0u);
    EXPECT_EQ(after.fRtsControl, RTS_CONTROL_DISABLE);
    EXPECT_EQ(after.fAbortOnError, 0u);
    EXPECT_EQ(after.ErrorChar, 0);

    // Everything else goes back exactly as it was read.
    EXPECT_EQ(after.fDummy2, before.fDummy2);
    EXPECT_EQ(after.wReserved, before.wReserved);
    EXPECT_EQ(after.XonLim, before.XonLim);
    EXPECT_EQ(after.XoffLim, before.XoffLim);
    EXPECT_EQ(after.XonChar, before.XonChar);
    EXPECT_EQ(after.XoffChar, before.XoffChar);
    EXPECT_EQ(after.EofChar, before.EofChar);
    EXPECT_EQ(after.EvtChar, before.EvtChar);
    EXPECT_EQ(after.wReserved1, before.wReserved1);
}

TEST_F(ReceiverPort, FailedOpenPrintsPathAndCodeAndCallsNothingElse)
{
    struct FailCase {
        const char* portName;
        DWORD errorCode;
        const char* message;
    };
    const FailCase cases[] = {
        {"COM1", 2, "Error opening port: \\\\.\\COM1 (2)\n"},
        {"COM10", 5, "Error opening port: \\\\.\\COM10 (5)\n"},
        // A name that already carries the prefix gets it a second time.
        {"\\\\.\\COM4", 16, "Error opening port: \\\\.\\\\\\.\\COM4 (16)\n"},
        {"/dev/ttyUSB9", 11, "Error opening port: \\\\.\\/dev/ttyUSB9 (11)\n"},
    };
    for (const FailCase& c : cases) {
        SetUp();
        SCOPED_TRACE(c.portName);
        fakeOpenFails = true;
        fakeOpenError = c.errorCode;
        receiverPort = FakePortHandle();  // must end up null, whatever it held
        EXPECT_EQ(OpenReceiverPort(c.portName), 1);
        EXPECT_EQ(receiverPort, nullptr);
        EXPECT_EQ(fakeConsoleOutput, c.message);
        ASSERT_EQ(fakeSerialCalls.size(), 1u);
        EXPECT_EQ(fakeSerialCalls[0], std::string("CreateFileA \\\\.\\") + c.portName);
    }
}

TEST_F(ReceiverPort, FailingSetUpCallsStillGiveAnOpenPoweredPort)
{
    // A device that takes the open but rejects settings still runs: every
    // later call is still made, nothing is printed, the open gives 0.  Each
    // call fails alone, then all of them together.
    const std::vector<std::string> setUpCalls = {"GetCommState",    "SetCommState",
                                                 "GetCommTimeouts", "SetCommTimeouts",
                                                 "SetCommMask",     "EscapeCommFunction"};
    std::vector<std::set<std::string>> failingSets;
    for (const std::string& call : setUpCalls) failingSets.push_back({call});
    failingSets.emplace_back(setUpCalls.begin(), setUpCalls.end());
    for (const std::set<std::string>& failing : failingSets) {
        SetUp();
        SCOPED_TRACE(testing::PrintToString(failing));
        fakeDeviceDcb = OddDeviceState();
        fakeFailingCalls = failing;
        EXPECT_EQ(OpenReceiverPort("COM2"), 0);
        EXPECT_EQ(receiverPort, FakePortHandle());
        EXPECT_EQ(fakeConsoleOutput, "");
        EXPECT_EQ(fakeSerialCalls, OpenCalls("COM2"));
        if (failing.count("SetCommState") == 0) {
            // Without the device's record the line is still set in full,
            // in a record of the right length.
            EXPECT_EQ(fakeAppliedDcb.DCBlength, sizeof(DCB));
            EXPECT_EQ(fakeAppliedDcb.BaudRate, 57600u);
            EXPECT_EQ(fakeAppliedDcb.ByteSize, 8);
            EXPECT_EQ(fakeAppliedDcb.fRtsControl, RTS_CONTROL_DISABLE);
        }
    }
}

TEST_F(ReceiverPort, ErrorCodeIsTakenBeforeTheMessageIsPrinted)
{
    // The print itself may change the last error (a console or a C runtime
    // call inside it): the message must show the open's own code.
    fakeOpenFails = true;
    fakeOpenError = 2;
    fakeBeforePrint = [] { FakeSetLastError(998); };
    EXPECT_EQ(OpenReceiverPort("nothere"), 1);
    EXPECT_EQ(fakeConsoleOutput, "Error opening port: \\\\.\\nothere (2)\n");
}

TEST_F(ReceiverPort, LongNameFormsTheWholePath)
{
    const std::string longName(5000, 'x');
    fakeOpenFails = true;
    fakeOpenError = 36;
    EXPECT_EQ(OpenReceiverPort(longName.c_str()), 1);
    EXPECT_EQ(fakeConsoleOutput, "Error opening port: \\\\.\\" + longName + " (36)\n");
}

TEST_F(ReceiverPort, CloseLowersDtrThenRtsAndClears)
{
    ASSERT_EQ(OpenReceiverPort("COM1"), 0);
    fakeSerialCalls.clear();
    CloseReceiverPort();
    const std::vector<std::string> expected = {"EscapeCommFunction CLRDTR",
                                               "EscapeCommFunction CLRRTS", "CloseHandle"};
    EXPECT_EQ(fakeSerialCalls, expected);
    EXPECT_EQ(receiverPort, nullptr);
}

}  // namespace
