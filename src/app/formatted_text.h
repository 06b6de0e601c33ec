// printf-style formatting for the console services: into the caller's
// buffer when the text fits, into a buffer of its own size otherwise, so
// that the common short print allocates nothing.
#pragma once

#include <cstdarg>
#include <cstddef>

// Room for every text the monitor prints.
constexpr size_t kShortTextSize = 256;

struct FormattedText {
    const char* text;  // null when formatting failed
    size_t length;     // the formatted length: "%c" with 0 gives one zero byte
    char* ownBuffer;   // allocated for a long text, else null
};

FormattedText FormatText(char* shortBuffer, size_t shortSize, const char* format,
                         va_list arguments);

// Frees what FormatText allocated.
void ReleaseFormattedText(FormattedText* formatted);
