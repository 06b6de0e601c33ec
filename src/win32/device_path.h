// Port names on Windows: the system resolves "COMn" and "\\.\" device
// paths itself, so no argument names a port by a file path; a leading "/"
// introduces an option as ever.
#pragma once

// Whether the command-line argument names a port by its path: never here.
inline bool NamesPortPath(const char*) { return false; }
