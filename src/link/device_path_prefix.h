// The prefix that forms a Win32 device path from a device name
// ("\\.\COM3", backslash, backslash, full stop, backslash).  The receiver
// port puts it in front of every port name; the POSIX layer takes it off
// again (MapDevicePath).
#pragma once

inline constexpr char kDevicePathPrefix[] = "\\\\.\\";
