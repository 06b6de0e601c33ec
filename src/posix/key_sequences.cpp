// The table of the keys terminals send as escape sequences.

#include "key_sequences.h"

#include "key_parser.h"

namespace {

// First codes of the Win32 extended keys.
constexpr int kFunctionPrefix = kFunctionKeyPrefix;  // F1..F10, Shift+Tab
constexpr int kExtendedPrefix = kExtendedKeyPrefix;  // cursor and editing keys, F11, F12

// The forms of escape sequence a key can take.
enum SequenceForm {
    kCsiOrSs3Letter,   // ESC [ A, ESC [ 1 ; 5 A, and ESC O A
    kCsiLetter,        // ESC [ Z only
    kSs3Letter,        // ESC O M only (numeric keypad in application mode)
    kCsiNumber,        // ESC [ 3 ~, ESC [ 3 ; 5 ~ (rxvt also ends with ^ $ @)
    kLinuxConsole,     // ESC [ [ A: F1..F5 on the Linux virtual console
};

struct SequenceKey {
    SequenceForm form;
    int selector;  // the final letter, or the number before ~
    int firstCode;
    int secondCode;
};

// Every escape sequence a key is known to send, with its Win32 codes.
// Modifier parameters (Shift, Ctrl, Alt) are ignored: Ctrl+Up reads as Up.
const SequenceKey kSequenceKeys[] = {
    // Cursor keys, in the normal (CSI) and the application (SS3) cursor mode.
    {kCsiOrSs3Letter, 'A', kExtendedPrefix, 72},  // Up
    {kCsiOrSs3Letter, 'B', kExtendedPrefix, 80},  // Down
    {kCsiOrSs3Letter, 'C', kExtendedPrefix, 77},  // Right
    {kCsiOrSs3Letter, 'D', kExtendedPrefix, 75},  // Left
    {kCsiOrSs3Letter, 'H', kExtendedPrefix, 71},  // Home
    {kCsiOrSs3Letter, 'F', kExtendedPrefix, 79},  // End
    // rxvt's cursor keys with Shift (ESC [ a) and with Ctrl (ESC O a).
    {kCsiOrSs3Letter, 'a', kExtendedPrefix, 72},
    {kCsiOrSs3Letter, 'b', kExtendedPrefix, 80},
    {kCsiOrSs3Letter, 'c', kExtendedPrefix, 77},
    {kCsiOrSs3Letter, 'd', kExtendedPrefix, 75},
    // F1..F4: ESC O P on their own, ESC [ 1 ; 2 P with a modifier.
    {kCsiOrSs3Letter, 'P', kFunctionPrefix, 59},
    {kCsiOrSs3Letter, 'Q', kFunctionPrefix, 60},
    {kCsiOrSs3Letter, 'R', kFunctionPrefix, 61},
    {kCsiOrSs3Letter, 'S', kFunctionPrefix, 62},
    // Shift+Tab.
    {kCsiLetter, 'Z', kFunctionPrefix, 15},
    // Numeric keypad in the application keypad mode: the key's character,
    // as the keypad gives it in the normal mode (Enter 13).
    {kSs3Letter, 'M', '\r', kNoSecondCode},
    {kSs3Letter, 'X', '=', kNoSecondCode},
    {kSs3Letter, 'j', '*', kNoSecondCode},
    {kSs3Letter, 'k', '+', kNoSecondCode},
    {kSs3Letter, 'l', ',', kNoSecondCode},
    {kSs3Letter, 'm', '-', kNoSecondCode},
    {kSs3Letter, 'n', '.', kNoSecondCode},
    {kSs3Letter, 'o', '/', kNoSecondCode},
    {kSs3Letter, 'p', '0', kNoSecondCode},
    {kSs3Letter, 'q', '1', kNoSecondCode},
    {kSs3Letter, 'r', '2', kNoSecondCode},
    {kSs3Letter, 's', '3', kNoSecondCode},
    {kSs3Letter, 't', '4', kNoSecondCode},
    {kSs3Letter, 'u', '5', kNoSecondCode},
    {kSs3Letter, 'v', '6', kNoSecondCode},
    {kSs3Letter, 'w', '7', kNoSecondCode},
    {kSs3Letter, 'x', '8', kNoSecondCode},
    {kSs3Letter, 'y', '9', kNoSecondCode},
    // Editing keys, VT style; 7 and 8 are rxvt's Home and End.
    {kCsiNumber, 1, kExtendedPrefix, 71},  // Home
    {kCsiNumber, 2, kExtendedPrefix, 82},  // Insert
    {kCsiNumber, 3, kExtendedPrefix, 83},  // Delete
    {kCsiNumber, 4, kExtendedPrefix, 79},  // End
    {kCsiNumber, 5, kExtendedPrefix, 73},  // Page Up
    {kCsiNumber, 6, kExtendedPrefix, 81},  // Page Down
    {kCsiNumber, 7, kExtendedPrefix, 71},  // Home
    {kCsiNumber, 8, kExtendedPrefix, 79},  // End
    // Function keys, VT style (the numbers skip 16 and 22).
    {kCsiNumber, 11, kFunctionPrefix, 59},   // F1
    {kCsiNumber, 12, kFunctionPrefix, 60},   // F2
    {kCsiNumber, 13, kFunctionPrefix, 61},   // F3
    {kCsiNumber, 14, kFunctionPrefix, 62},   // F4
    {kCsiNumber, 15, kFunctionPrefix, 63},   // F5
    {kCsiNumber, 17, kFunctionPrefix, 64},   // F6
    {kCsiNumber, 18, kFunctionPrefix, 65},   // F7
    {kCsiNumber, 19, kFunctionPrefix, 66},   // F8
    {kCsiNumber, 20, kFunctionPrefix, 67},   // F9
    {kCsiNumber, 21, kFunctionPrefix, 68},   // F10
    {kCsiNumber, 23, kExtendedPrefix, 133},  // F11
    {kCsiNumber, 24, kExtendedPrefix, 134},  // F12
    // F1..F5 on the Linux virtual console.
    {kLinuxConsole, 'A', kFunctionPrefix, 59},
    {kLinuxConsole, 'B', kFunctionPrefix, 60},
    {kLinuxConsole, 'C', kFunctionPrefix, 61},
    {kLinuxConsole, 'D', kFunctionPrefix, 62},
    {kLinuxConsole, 'E', kFunctionPrefix, 63},
};

}  // namespace

SequenceKeyCodes LookUpSequenceKey(const SequenceShape& shape)
{
    for (const SequenceKey& key : kSequenceKeys) {
        if (key.selector != shape.selector) continue;
        bool formFits = false;
        switch (key.form) {
        case kCsiOrSs3Letter: formFits = !shape.linuxConsole && !shape.numbered; break;
        case kCsiLetter:
            formFits = shape.introducedByCsi && !shape.linuxConsole && !shape.numbered;
            break;
        case kSs3Letter: formFits = !shape.introducedByCsi && !shape.numbered; break;
        case kCsiNumber: formFits = shape.introducedByCsi && shape.numbered; break;
        case kLinuxConsole: formFits = shape.linuxConsole; break;
        }
        if (formFits) return SequenceKeyCodes{true, key.firstCode, key.secondCode};
    }
    return SequenceKeyCodes{false, 0, kNoSecondCode};
}
