// The key codes of one console key event, as the Win32 console runtime's
// single-key read gives them: 1..255 for a key that gives a character, and
// for a key that gives none first 0 or 224 and then, at the next read, the
// key's second code (Up 224 then 72, F1 0 then 59).
//
// A pure function over the fields of the event, without <windows.h>, so
// that the table can be checked on any platform.
#pragma once

// dwControlKeyState bits of a console key event (the values are fixed by
// the console; console.cpp checks them against <windows.h>).
constexpr unsigned long kRightAltPressed = 0x0001;
constexpr unsigned long kLeftAltPressed = 0x0002;
constexpr unsigned long kRightCtrlPressed = 0x0004;
constexpr unsigned long kLeftCtrlPressed = 0x0008;
constexpr unsigned long kShiftPressed = 0x0010;
constexpr unsigned long kEnhancedKey = 0x0100;

// What a console key event carries that decides its codes.
struct ConsoleKeyEvent {
    bool keyDown;
    unsigned scanCode;          // wVirtualScanCode
    unsigned char character;    // uChar.AsciiChar, 0 when the key gives none
    unsigned long controlKeys;  // dwControlKeyState
};

// An event that gives no key: a release, or a key that gives neither a
// character nor an extended code (Shift, Ctrl, Alt, Caps Lock ... alone).
constexpr int kNoKeyCode = -1;
// The first code of a key that has no second one.
constexpr int kNoSecondCode = -1;

struct KeyCodes {
    int firstCode;   // 0..255, or kNoKeyCode
    int secondCode;  // the code held for the next read, or kNoSecondCode
};

KeyCodes KeyCodesOfEvent(const ConsoleKeyEvent& event);
