// A pseudo-terminal pair for the serial layer tests: the test writes to the
// master what a receiver would send, the code under test opens the slave
// by its path.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "link/receiver_port.h"
#include "serial_api.h"

class PtyPairTest : public ::testing::Test {
protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        const char* name = ptsname(master);
        ASSERT_NE(name, nullptr);
        slavePath = name;
    }

    void TearDown() override {
        if (port != nullptr && port != INVALID_HANDLE_VALUE) {
            CloseHandle(port);
        }
        CloseMaster();
    }

    // Opens the slave the way the receiver port does, "\\.\" included.
    HANDLE OpenSlave() const {
        const std::string devicePath = kDevicePathPrefix + slavePath;
        return CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

    // Opens the slave into `port` and applies the line settings that the
    // receiver port applies; returns SetCommState's result.
    BOOL OpenWithReceiverLine() {
        port = OpenSlave();
        EXPECT_NE(port, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
        if (port == INVALID_HANDLE_VALUE) {
            return 0;
        }
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(port, &dcb);
        SetReceiverLine(dcb);
        return SetCommState(port, &dcb);
    }

    void SetTimeouts(DWORD interval, DWORD multiplier, DWORD constant) {
        COMMTIMEOUTS timeouts{};
        ASSERT_TRUE(GetCommTimeouts(port, &timeouts));
        timeouts.ReadIntervalTimeout = interval;
        timeouts.ReadTotalTimeoutMultiplier = multiplier;
        timeouts.ReadTotalTimeoutConstant = constant;
        ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    }

    // What the receiver would send.
    void Send(const std::vector<unsigned char>& bytes) const {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    void CloseMaster() {
        if (master >= 0) {
            close(master);
            master = -1;
        }
    }

    int master = -1;
    std::string slavePath;
    HANDLE port = nullptr;
};
