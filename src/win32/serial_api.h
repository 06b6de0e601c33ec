// The serial services the receiver port is written in: on Windows they are
// the real Win32 calls of kernel32, so this header only brings them in.
#pragma once

// Only the base services are needed: no sockets, shell or OLE headers.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// Without this, <windows.h> defines min and max as macros and breaks
// std::min, std::max and std::numeric_limits<>::max() in the code after it.
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
