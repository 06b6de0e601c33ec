// The Windows console's key events to the single-key codes.

#include <gtest/gtest.h>

#include "key_codes.h"

namespace {

constexpr int kNone = kNoSecondCode;
constexpr unsigned long kNoModifier = 0;
constexpr unsigned long kNumLockOn = 0x0020;
constexpr unsigned long kCapsLockOn = 0x0080;

// Scan codes of the keys in the cases.
constexpr unsigned kScanEscape = 1;
constexpr unsigned kScan2 = 3;
constexpr unsigned kScanA = 30;
constexpr unsigned kScanEnter = 28;
constexpr unsigned kScanSpace = 57;
constexpr unsigned kScanQ = 16;
constexpr unsigned kScanCtrl = 29;
constexpr unsigned kScanLeftShift = 42;
constexpr unsigned kScanRightShift = 54;
constexpr unsigned kScanAlt = 56;
constexpr unsigned kScanCapsLock = 58;
constexpr unsigned kScanF1 = 59;
constexpr unsigned kScanF10 = 68;
constexpr unsigned kScanNumLock = 69;
constexpr unsigned kScanScrollLock = 70;
constexpr unsigned kScanHome = 71;
constexpr unsigned kScanUp = 72;
constexpr unsigned kScanPageUp = 73;
constexpr unsigned kScanKeypadCentre = 76;
constexpr unsigned kScanDelete = 83;
constexpr unsigned kScanF11 = 87;
constexpr unsigned kScanF12 = 88;
constexpr unsigned kScanLeftWindows = 91;
constexpr unsigned kScanUnknown = 120;

struct KeyCase {
    const char* name;
    ConsoleKeyEvent event;
    int firstCode;
    int secondCode;
};

const KeyCase kKeyCases[] = {
    // Keys that give a character: that character, whatever else is held.
    {"letter", {true, kScanA, 'a', kNoModifier}, 'a', kNone},
    {"Enter", {true, kScanEnter, '\r', kNoModifier}, 13, kNone},
    {"keypad Enter", {true, kScanEnter, '\r', kEnhancedKey}, 13, kNone},
    {"Space", {true, kScanSpace, ' ', kNoModifier}, 32, kNone},
    {"Escape", {true, kScanEscape, 27, kNoModifier}, 27, kNone},
    {"Ctrl+A", {true, kScanA, 1, kLeftCtrlPressed}, 1, kNone},
    {"Ctrl+C", {true, 46, 3, kRightCtrlPressed}, 3, kNone},
    {"AltGr+Q gives @", {true, kScanQ, '@', kRightAltPressed | kLeftCtrlPressed}, '@', kNone},
    {"character above 127", {true, 26, static_cast<unsigned char>(0xFC), kNoModifier}, 0xFC, kNone},
    {"pasted text without scan code", {true, 0, 'x', kNoModifier}, 'x', kNone},
    {"Caps Lock on", {true, kScanA, 'A', kCapsLockOn}, 'A', kNone},

    // The dedicated cursor and editing block: 224 and the key's code.
    {"Up", {true, kScanUp, 0, kEnhancedKey}, 224, 72},
    {"Up with Num Lock on", {true, kScanUp, 0, kEnhancedKey | kNumLockOn}, 224, 72},
    {"Shift+Up", {true, kScanUp, 0, kEnhancedKey | kShiftPressed}, 224, 72},
    {"Ctrl+Up", {true, kScanUp, 0, kEnhancedKey | kLeftCtrlPressed}, 224, 141},
    {"Alt+Up leads with 0", {true, kScanUp, 0, kEnhancedKey | kLeftAltPressed}, 0, 152},
    {"Home", {true, kScanHome, 0, kEnhancedKey}, 224, 71},
    {"Ctrl+Page Up", {true, kScanPageUp, 0, kEnhancedKey | kRightCtrlPressed}, 224, 132},
    {"Delete", {true, kScanDelete, 0, kEnhancedKey}, 224, 83},
    {"Alt before Ctrl", {true, kScanDelete, 0, kEnhancedKey | kLeftAltPressed | kLeftCtrlPressed}, 0, 163},

    // Function keys and the numeric keypad with Num Lock off: 0 and the code.
    {"F1", {true, kScanF1, 0, kNoModifier}, 0, 59},
    {"Shift+F1", {true, kScanF1, 0, kShiftPressed}, 0, 84},
    {"Ctrl+F1", {true, kScanF1, 0, kLeftCtrlPressed}, 0, 94},
    {"Alt+F1", {true, kScanF1, 0, kRightAltPressed}, 0, 104},
    {"F10", {true, kScanF10, 0, kNoModifier}, 0, 68},
    {"keypad Up, Num Lock off", {true, kScanUp, 0, kNoModifier}, 0, 72},
    {"keypad Home, Num Lock off", {true, kScanHome, 0, kNoModifier}, 0, 71},
    {"Ctrl+keypad Up", {true, kScanUp, 0, kLeftCtrlPressed}, 0, 141},
    {"Ctrl+2 is Ctrl+@", {true, kScan2, 0, kLeftCtrlPressed}, 0, 3},
    {"Alt+A without a character", {true, kScanA, 0, kLeftAltPressed}, 0, 30},

    // F11 and F12 lead with 224, as the enhanced keyboard gave them.
    {"F11", {true, kScanF11, 0, kNoModifier}, 224, 133},
    {"F12", {true, kScanF12, 0, kNoModifier}, 224, 134},
    {"Shift+F12", {true, kScanF12, 0, kShiftPressed}, 224, 136},
    {"Alt+F11", {true, kScanF11, 0, kLeftAltPressed}, 224, 139},

    // Events that give no key at all.
    {"release of a letter", {false, kScanA, 'a', kNoModifier}, kNoKeyCode, kNone},
    {"release of Up", {false, kScanUp, 0, kEnhancedKey}, kNoKeyCode, kNone},
    {"left Shift alone", {true, kScanLeftShift, 0, kShiftPressed}, kNoKeyCode, kNone},
    {"right Shift alone", {true, kScanRightShift, 0, kShiftPressed}, kNoKeyCode, kNone},
    {"left Ctrl alone", {true, kScanCtrl, 0, kLeftCtrlPressed}, kNoKeyCode, kNone},
    {"right Ctrl alone", {true, kScanCtrl, 0, kEnhancedKey | kRightCtrlPressed}, kNoKeyCode, kNone},
    {"Alt alone", {true, kScanAlt, 0, kLeftAltPressed}, kNoKeyCode, kNone},
    {"Caps Lock", {true, kScanCapsLock, 0, kCapsLockOn}, kNoKeyCode, kNone},
    {"Num Lock", {true, kScanNumLock, 0, kEnhancedKey | kNumLockOn}, kNoKeyCode, kNone},
    {"Scroll Lock", {true, kScanScrollLock, 0, kNoModifier}, kNoKeyCode, kNone},
    {"Windows key", {true, kScanLeftWindows, 0, kEnhancedKey}, kNoKeyCode, kNone},
    {"keypad centre, Num Lock off", {true, kScanKeypadCentre, 0, kNoModifier}, kNoKeyCode, kNone},
    {"Alt+keypad Up enters a number", {true, kScanUp, 0, kLeftAltPressed}, kNoKeyCode, kNone},
    {"plain letter without a character", {true, kScanA, 0, kNoModifier}, kNoKeyCode, kNone},
    {"unknown scan code", {true, kScanUnknown, 0, kNoModifier}, kNoKeyCode, kNone},
    {"enhanced flag on a scan code outside the editing block", {true, kScanF1, 0, kEnhancedKey}, kNoKeyCode, kNone},
};

TEST(Win32KeyCodes, EachEventGivesTheCodesOfTheSingleKeyRead)
{
    for (const KeyCase& c : kKeyCases) {
        const KeyCodes codes = KeyCodesOfEvent(c.event);
        EXPECT_EQ(codes.firstCode, c.firstCode) << c.name;
        EXPECT_EQ(codes.secondCode, c.secondCode) << c.name;
    }
}

}  // namespace
