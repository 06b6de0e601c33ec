// Console stand-ins for the monitor loop's benchmark.  The text is
// formatted exactly as irtick's own console formats it; only the device
// behind it differs.

#include "bench_console.h"

#include <unistd.h>

#include <cstdarg>

#include "app/console.h"
#include "app/formatted_text.h"

FILE* benchOutputFile = nullptr;
int benchOutputFd = -1;
long benchPollsBeforeQuit = 0;

namespace {
constexpr int kQuitKey = 'q';
}  // namespace

void PrintText(const char* format, ...)
{
    char shortText[kShortTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormattedText formatted = FormatText(shortText, sizeof shortText, format, arguments);
    va_end(arguments);
    if (formatted.text == nullptr) return;
    if (benchOutputFile != nullptr) {
        fwrite(formatted.text, 1, formatted.length, benchOutputFile);
    } else {
        // Failed prints are ignored, as by irtick's console.
        const ssize_t written = write(benchOutputFd, formatted.text, formatted.length);
        static_cast<void>(written);
    }
    ReleaseFormattedText(&formatted);
}

bool IsKeyWaiting()
{
    if (benchPollsBeforeQuit > 0) --benchPollsBeforeQuit;
    return benchPollsBeforeQuit == 0;
}

int ReadKey()
{
    return kQuitKey;
}
