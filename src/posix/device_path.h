// Port names on Linux: which command-line arguments name a port by its
// path, and how the Win32 device path that the receiver port forms turns
// into the path of a Linux device or file.
#pragma once

#include <cstring>
#include <string>

// A path under /dev/ ("/dev/ttyUSB0"), or a relative path that says so
// ("./capture.bin", "../capture.bin"): the styles of every other serial
// tool on Linux.  The run options take such an argument as the port, as
// -p would; before anything else, so "/dev/..." is no option "/d".
inline constexpr const char* kPortPathPrefixes[] = {"/dev/", "./", "../"};

// Whether the command-line argument names a port by its path (see
// kPortPathPrefixes).  Inline so that the run options need no link to the
// serial layer.
inline bool NamesPortPath(const char* argument) {
    for (const char* prefix : kPortPathPrefixes) {
        if (std::strncmp(argument, prefix, std::strlen(prefix)) == 0) {
            return true;
        }
    }
    return false;
}

// Strips the device prefix "\\.\" (backslash, backslash, full stop,
// backslash) once if the path starts with it.  What remains is mapped:
// "COM" in any case followed by nothing but a decimal number n >= 1 names
// the n-th serial port, /dev/ttyS<n-1> (COM1 -> /dev/ttyS0); any other name
// is a file path used as it stands (/dev/ttyUSB0, ./capture.bin).  A null
// path gives the empty string.  Opens nothing.
std::string MapDevicePath(const char* devicePath);
