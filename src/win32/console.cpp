// The console services on Windows: output on standard output through the
// C runtime (a text stream, so a line feed goes out as CR LF), keys as
// input events of the console itself.

#include "app/console.h"
#include "app/formatted_text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "key_codes.h"
#include "serial_api.h"  // <windows.h>

namespace {

static_assert(kRightAltPressed == RIGHT_ALT_PRESSED && kLeftAltPressed == LEFT_ALT_PRESSED &&
                  kRightCtrlPressed == RIGHT_CTRL_PRESSED &&
                  kLeftCtrlPressed == LEFT_CTRL_PRESSED && kShiftPressed == SHIFT_PRESSED &&
                  kEnhancedKey == ENHANCED_KEY,
              "the key table's modifier bits are the console's own");

// Keys come from the console, never from standard input, so a redirected
// standard input changes nothing.
constexpr const char* kConsoleInputName = "CONIN$";

// Standard output's stdio buffer.  To a file or pipe it holds the output
// until it fills and until the console is restored (or the process ends
// normally); on a console it holds one print, which goes out at once.
constexpr size_t kOutputBufferSize = 8192;
char outputBuffer[kOutputBufferSize];

enum OutputKind { kOutputNotChosen, kOutputToConsole, kOutputBuffered };

OutputKind outputKind = kOutputNotChosen;

HANDLE keyboard = INVALID_HANDLE_VALUE;
bool keyboardOpenTried = false;

// The second code of the last key read, given by the next ReadKey.
int heldSecondCode = kNoSecondCode;

bool IsConsole(HANDLE handle)
{
    // The NUL device is a character device too; only a console has a mode.
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

// Chosen before the first output: setvbuf must come before any I/O.
void ChooseOutputKind()
{
    if (outputKind != kOutputNotChosen) return;
    setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    outputKind = IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)) ? kOutputToConsole : kOutputBuffered;
}

// The console input, opened on first use.  Without a console (a service,
// a detached process) there are no keys: no key is ever waiting and
// ReadKey gives -1.
HANDLE Keyboard()
{
    if (!keyboardOpenTried) {
        keyboardOpenTried = true;
        keyboard = CreateFileA(kConsoleInputName, GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    }
    return keyboard;
}

KeyCodes CodesOfRecord(const INPUT_RECORD& record)
{
    if (record.EventType != KEY_EVENT) return {kNoKeyCode, kNoSecondCode};
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const ConsoleKeyEvent event = {key.bKeyDown != FALSE, key.wVirtualScanCode,
                                   static_cast<unsigned char>(key.uChar.AsciiChar),
                                   key.dwControlKeyState};
    return KeyCodesOfEvent(event);
}

}  // namespace

void PrintText(const char* format, ...)
{
    ChooseOutputKind();
    char shortText[kShortTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormattedText formatted = FormatText(shortText, sizeof shortText, format, arguments);
    va_end(arguments);
    if (formatted.text == nullptr) return;
    fwrite(formatted.text, 1, formatted.length, stdout);
    // The interval fields carry no line break: on a console each print is
    // written out before the call returns, in one write where it fits.
    if (outputKind == kOutputToConsole) fflush(stdout);
    ReleaseFormattedText(&formatted);
}

bool IsKeyWaiting()
{
    if (heldSecondCode != kNoSecondCode) return true;
    const HANDLE input = Keyboard();
    if (input == INVALID_HANDLE_VALUE) return false;
    DWORD eventCount = 0;
    if (!GetNumberOfConsoleInputEvents(input, &eventCount) || eventCount == 0) return false;

    // Looks at every waiting event without taking any: releases, lone
    // modifiers, mouse, focus and size events stay until ReadKey passes
    // over them on its way to a key.
    std::vector<INPUT_RECORD> records(eventCount);
    DWORD peeked = 0;
    if (!PeekConsoleInputA(input, records.data(), eventCount, &peeked)) return false;
    for (DWORD index = 0; index < peeked; ++index) {
        if (CodesOfRecord(records[index]).firstCode != kNoKeyCode) return true;
    }
    return false;
}

int ReadKey()
{
    if (heldSecondCode != kNoSecondCode) {
        const int secondCode = heldSecondCode;
        heldSecondCode = kNoSecondCode;
        return secondCode;
    }
    const HANDLE input = Keyboard();
    DWORD previousMode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &previousMode)) return -1;

    // No processed input for the read, as a single-key read has it: a
    // Ctrl+C that arrives now is a key like any other.  Outside the read
    // the console keeps its mode, and Ctrl+C its usual effect.
    SetConsoleMode(input, 0);
    int keyCode = -1;
    for (;;) {
        INPUT_RECORD record;
        DWORD readCount = 0;
        if (!ReadConsoleInputA(input, &record, 1, &readCount) || readCount == 0) break;
        const KeyCodes codes = CodesOfRecord(record);
        if (codes.firstCode == kNoKeyCode) continue;  // taken and dropped
        keyCode = codes.firstCode;
        heldSecondCode = codes.secondCode;
        break;
    }
    SetConsoleMode(input, previousMode);
    return keyCode;
}

void PrepareConsole()
{
    // Nothing to switch on a Windows console: the key events wait in its
    // input buffer without echo until ReadKey takes them.
    ChooseOutputKind();
}

void RestoreConsole()
{
    fflush(stdout);
    heldSecondCode = kNoSecondCode;
    if (keyboard != INVALID_HANDLE_VALUE) CloseHandle(keyboard);
    keyboard = INVALID_HANDLE_VALUE;
    keyboardOpenTried = false;
}
