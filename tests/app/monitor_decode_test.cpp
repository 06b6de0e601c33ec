// The monitor loop with the real decoders: keys that only add line breaks
// come between the fields of a frame and leave its decoding alone.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/monitor_loop.h"
#include "app/run_options.h"
#include "decode/nec_decoder.h"
#include "decode/sony_decoder.h"
#include "fakes/fake_console.h"
#include "fakes/fake_serial_api.h"
#include "link/receiver_port.h"

namespace {

constexpr int kEnter = 13;
constexpr int kSpace = 32;
constexpr int kQuitKey = 'q';

std::vector<unsigned char> FrameBits(unsigned char leader, uint32_t code, int bits,
                                     unsigned char zero, unsigned char one)
{
    std::vector<unsigned char> bytes = {leader};
    for (int bit = 0; bit < bits; ++bit) bytes.push_back(((code >> bit) & 1u) ? one : zero);
    return bytes;
}

std::string Fields(const std::vector<unsigned char>& bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        char field[8];
        std::snprintf(field, sizeof field, "%3u ", static_cast<unsigned>(byte));
        text += field;
    }
    return text;
}

class MonitorDecode : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeSerial();
        ResetFakeConsole();
        necDecoder = NecDecoder{};
        sonyDecoder = SonyDecoder{};
        receiverPort = FakePortHandle();
    }
};

TEST_F(MonitorDecode, EnterAndSpaceInMidFrameLeaveTheDecodersAlone)
{
    // An NEC frame (32 bits) and a 12-bit Sony frame (11 bit values), each
    // cut into reads with Enter and Space pressed between them.
    const std::vector<unsigned char> nec = FrameBits(211, 0xBA45FF00u, 32, 18, 35);
    const std::vector<unsigned char> sony = FrameBits(47, 0xF5u, 11, 19, 28);
    const std::vector<unsigned char> necHead(nec.begin(), nec.begin() + 10);
    const std::vector<unsigned char> necMiddle(nec.begin() + 10, nec.begin() + 20);
    const std::vector<unsigned char> necTail(nec.begin() + 20, nec.end());
    const std::vector<unsigned char> sonyHead(sony.begin(), sony.begin() + 5);
    const std::vector<unsigned char> sonyTail(sony.begin() + 5, sony.end());
    fakeReads = {{necHead, {kEnter}}, {necMiddle, {kSpace}}, {necTail, {}},
                 {sonyHead, {kSpace, kEnter}}, {{}, {}}, {sonyTail, {kQuitKey}}};

    const char* arguments[] = {"irtick", "-n", "-s12"};
    RunMonitor(ParseRunOptions(3, arguments));
    const std::string expected = Fields(necHead) + "\n\n" + Fields(necMiddle) + "\n" +
                                 Fields(necTail) + "\nNEC Code: BA45FF00\n" + Fields(sonyHead) +
                                 "\n" + "\n\n" + Fields(sonyTail) + "\nSony Code: 000F5\n";
    EXPECT_EQ(fakeConsoleOutput, expected);
    EXPECT_TRUE(fakeReads.empty());
}

}  // namespace
