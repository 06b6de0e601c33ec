// The console services on Windows: output on standard output through the
// C runtime (a text stream, so a line feed goes out as CR LF), keys as
// input events of the console itself.

#include "app/console.h"
#include "app/console_output.h"

#include <cstdio>

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

// Console input events looked at per peek.
constexpr DWORD kPeekedEventCapacity = 64;
INPUT_RECORD peekedEvents[kPeekedEventCapacity];

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

// Takes the first count events (none of them a key) out of the input.
bool DropEvents(HANDLE input, DWORD count)
{
    if (count == 0) return true;
    DWORD taken = 0;
    return ReadConsoleInputA(input, peekedEvents, count, &taken) != 0 && taken == count;
}

}  // namespace

bool IsStandardOutputInteractive() { return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }

// Through the C runtime's text stream, so that a line feed goes out as
// CR LF as Windows programs write it; flushed at once, as the held output
// (console_output.h) is the only buffer that holds anything back.
void WriteStandardOutput(const char* text, size_t length)
{
    std::fwrite(text, 1, length, stdout);
    std::fflush(stdout);
}

bool IsKeyWaiting()
{
    if (heldSecondCode != kNoSecondCode) return true;
    const HANDLE input = Keyboard();
    if (input == INVALID_HANDLE_VALUE) return false;
    DWORD eventCount = 0;
    if (!GetNumberOfConsoleInputEvents(input, &eventCount) || eventCount == 0) return false;

    // Looks at the waiting events, a fixed buffer's worth at a time, without
    // taking any: releases, lone modifiers, mouse, focus and size events
    // stay until ReadKey passes over them on its way to a key.  Only when a
    // whole buffer of them hides what lies behind are those taken and
    // dropped (ReadKey would drop them too), so that no poll allocates.
    for (;;) {
        DWORD peeked = 0;
        if (!PeekConsoleInputA(input, peekedEvents, kPeekedEventCapacity, &peeked)) return false;
        for (DWORD index = 0; index < peeked; ++index) {
            if (CodesOfRecord(peekedEvents[index]).firstCode != kNoKeyCode) return true;
        }
        if (peeked < kPeekedEventCapacity || !DropEvents(input, peeked)) return false;
    }
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
    ChooseOutputMode();
}

void RestoreConsole()
{
    WriteOutHeldOutput();
    heldSecondCode = kNoSecondCode;
    if (keyboard != INVALID_HANDLE_VALUE) CloseHandle(keyboard);
    keyboard = INVALID_HANDLE_VALUE;
    keyboardOpenTried = false;
}
