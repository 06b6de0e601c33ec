#include "device_path.h"

#include <cstdint>
#include <cstring>

#include "link/device_path_prefix.h"

namespace {

constexpr size_t kDevicePrefixLength = sizeof(kDevicePathPrefix) - 1;
constexpr char kComName[] = "COM";
constexpr size_t kComNameLength = sizeof(kComName) - 1;
constexpr char kSerialDeviceStem[] = "/dev/ttyS";
// Port numbers above this are no port of any machine; such a name stays a
// file path, and the number never overflows while it is read.
constexpr uint64_t kHighestPortNumber = UINT32_MAX;

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

char UpperCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The n of a "COMn" name, or 0 when the name is not one.
uint64_t ComPortNumber(const char* name) {
    for (size_t i = 0; i < kComNameLength; ++i) {
        if (UpperCase(name[i]) != kComName[i]) {
            return 0;
        }
    }
    const char* digits = name + kComNameLength;
    if (*digits == '\0') {
        return 0;
    }
    uint64_t number = 0;
    for (const char* c = digits; *c != '\0'; ++c) {
        if (!IsDecimalDigit(*c)) {
            return 0;
        }
        number = number * 10 + static_cast<uint64_t>(*c - '0');
        if (number > kHighestPortNumber) {
            return 0;
        }
    }
    return number;
}

}  // namespace

std::string MapDevicePath(const char* devicePath) {
    if (devicePath == nullptr) {
        return std::string();
    }
    const char* name = devicePath;
    if (std::strncmp(name, kDevicePathPrefix, kDevicePrefixLength) == 0) {
        name += kDevicePrefixLength;
    }
    uint64_t portNumber = ComPortNumber(name);
    if (portNumber == 0) {
        return std::string(name);
    }
    return kSerialDeviceStem + std::to_string(portNumber - 1);
}
