// Turns the Win32 device path that the receiver port forms into the path
// of a Linux device or file.
#pragma once

#include <string>

// Strips the device prefix "\\.\" (backslash, backslash, full stop,
// backslash) once if the path starts with it.  What remains is mapped:
// "COM" in any case followed by nothing but a decimal number n >= 1 names
// the n-th serial port, /dev/ttyS<n-1> (COM1 -> /dev/ttyS0); any other name
// is a file path used as it stands (/dev/ttyUSB0, ./capture.bin).  A null
// path gives the empty string.  Opens nothing.
std::string MapDevicePath(const char* devicePath);
