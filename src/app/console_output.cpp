#include "app/console_output.h"

#include <signal.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "app/console.h"
#include "app/formatted_text.h"

namespace {

// Held output is written out in pieces of at most this size.  A write of up
// to PIPE_BUF bytes to a pipe is all or nothing, so a signal that ends the
// process in the middle of one leaves no piece half written: the handler
// writes out the rest from the first byte not yet written.
constexpr size_t kWritePieceSize = 4096;
#ifdef PIPE_BUF
static_assert(kWritePieceSize <= PIPE_BUF, "a piece must go into a pipe at once");
#endif

enum OutputMode { kOutputNotChosen, kOutputWrittenAtOnce, kOutputHeld };

OutputMode outputMode = kOutputNotChosen;

// The held output is heldBuffer[0 .. heldCount); heldBuffer[0 .. writtenCount)
// of it has been written out already.  Each count changes by one store,
// after the bytes it covers are in place, so a signal handler that
// interrupts a print or a write-out finds them consistent.
char heldBuffer[kHeldOutputCapacity];
volatile sig_atomic_t heldCount = 0;
volatile sig_atomic_t writtenCount = 0;

static_assert(kHeldOutputCapacity <= SIG_ATOMIC_MAX, "the counts fit sig_atomic_t");

void WriteOutPieces()
{
    while (writtenCount < heldCount) {
        const size_t start = static_cast<size_t>(writtenCount);
        size_t piece = static_cast<size_t>(heldCount) - start;
        if (piece > kWritePieceSize) piece = kWritePieceSize;
        WriteStandardOutput(heldBuffer + start, piece);
        writtenCount = static_cast<sig_atomic_t>(start + piece);
    }
    // Emptied in this order: a handler in between finds nothing to write.
    heldCount = 0;
    writtenCount = 0;
}

}  // namespace

void ChooseOutputMode()
{
    if (outputMode != kOutputNotChosen) return;
    outputMode = IsStandardOutputInteractive() ? kOutputWrittenAtOnce : kOutputHeld;
}

void PutOutput(const char* text, size_t length)
{
    ChooseOutputMode();
    if (outputMode == kOutputWrittenAtOnce) {
        WriteStandardOutput(text, length);
        return;
    }
    if (length > kHeldOutputCapacity - static_cast<size_t>(heldCount)) WriteOutPieces();
    if (length > kHeldOutputCapacity) {
        WriteStandardOutput(text, length);  // longer than the whole buffer
        return;
    }
    std::memcpy(heldBuffer + heldCount, text, length);
    heldCount = static_cast<sig_atomic_t>(heldCount + static_cast<sig_atomic_t>(length));
}

void WriteOutHeldOutput() { WriteOutPieces(); }

void WriteOutHeldOutputOnEnding()
{
    // Bounded by the buffer whatever state a crash left the counts in.
    const sig_atomic_t held = heldCount;
    const sig_atomic_t written = writtenCount;
    if (held <= 0 || held > static_cast<sig_atomic_t>(kHeldOutputCapacity)) return;
    if (written < 0 || written >= held) return;
    WriteStandardOutput(heldBuffer + written, static_cast<size_t>(held - written));
    writtenCount = held;
}

void PrintText(const char* format, ...)
{
    char shortText[kShortTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormattedText formatted = FormatText(shortText, sizeof shortText, format, arguments);
    va_end(arguments);
    if (formatted.text == nullptr) return;
    PutOutput(formatted.text, formatted.length);
    ReleaseFormattedText(&formatted);
}
