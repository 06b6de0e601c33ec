// What the serial layer's tests share: the receiver's read request and
// time-outs, a timed read, byte sequences, a private folder for files and
// FIFOs, and a look at the descriptor behind a handle.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/receiver_port.h"
#include "serial_api.h"

using Bytes = std::vector<unsigned char>;

constexpr DWORD kReceiverRequest = 16;
// The receiver port's read time-outs: 20 ms interval, 2 ms per byte + 100.
constexpr DWORD kInterval = 20;
constexpr DWORD kMultiplier = 2;
constexpr DWORD kConstant = 100;
constexpr int64_t kReceiverTotalMs = 132;
// Upper bound for anything that should end "at once" or at a short
// time-out, generous enough for a loaded machine.
constexpr int64_t kSlowMachineMs = 1000;

inline int64_t ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

using Clock = std::chrono::steady_clock;

inline int64_t MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

struct TimedRead {
    BOOL result;
    Bytes bytes;
    int64_t elapsedMs;
    int64_t cpuMs;
    Clock::time_point finishedAt;
};

inline TimedRead ReadTimed(HANDLE port, DWORD bytesToRead) {
    TimedRead read{};
    std::vector<unsigned char> buffer(bytesToRead + 1, 0xEE);
    DWORD count = 12345;
    const int64_t cpuStart = ThreadCpuMilliseconds();
    const Clock::time_point start = Clock::now();
    read.result = ReadFile(port, buffer.data(), bytesToRead, &count, nullptr);
    read.finishedAt = Clock::now();
    read.elapsedMs = MillisecondsBetween(start, read.finishedAt);
    read.cpuMs = ThreadCpuMilliseconds() - cpuStart;
    EXPECT_LE(count, bytesToRead);
    EXPECT_EQ(buffer[bytesToRead], 0xEE) << "wrote past the requested bytes";
    read.bytes.assign(buffer.begin(), buffer.begin() + std::min(count, bytesToRead));
    return read;
}

inline Bytes Sequence(int first, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<unsigned char>(first + i));
    }
    return bytes;
}

// A private temporary folder, removed with its files at the end.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/irtick_serial_XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path_ = made != nullptr ? made : "/tmp";
    }
    ~TempDir() {
        std::string command = "rm -rf '" + path_ + "'";
        if (std::system(command.c_str()) != 0) {
            std::perror("rm");
        }
    }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};


inline HANDLE OpenPath(const std::string& path) {
    return CreateFileA((kDevicePathPrefix + path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// The descriptor this process holds open on `path` (found by the links in
// /proc/self/fd), or -1.  With several, the highest: the one opened last.
inline int DescriptorOpenOn(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) {
        return -1;
    }
    int found = -1;
    for (int fd = 0; fd < 1024; ++fd) {
        char link[PATH_MAX];
        const std::string entry = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = readlink(entry.c_str(), link, sizeof link - 1);
        if (length > 0 && std::string(link, static_cast<size_t>(length)) == resolved) {
            found = fd;
        }
    }
    return found;
}
