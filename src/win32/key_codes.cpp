// Console key events to key codes: the character when the key gives one,
// otherwise the PC keyboard's extended code looked up by scan code and by
// the modifier held (Alt before Ctrl before Shift).

#include "key_codes.h"

#include <cstddef>

namespace {

// A key that gives no character reads as two codes: first 0 or 224, then
// the key's own second code.  The dedicated cursor and editing block (the
// enhanced keys) and F11 and F12 lead with 224; F1..F10, the numeric
// keypad with Num Lock off and the Alt combinations lead with 0.
struct ExtendedKey {
    unsigned char scanCode;
    unsigned char lead;     // first code with no modifier, Shift or Ctrl
    unsigned char altLead;  // first code with Alt
    // Second codes with no modifier, with Shift, with Ctrl, with Alt; 0
    // where the combination gives no code.
    unsigned char plain;
    unsigned char withShift;
    unsigned char withCtrl;
    unsigned char withAlt;
};

constexpr unsigned char kNoCode = 0;

// Keys that the keyboard reports without the enhanced flag: the main
// block, the function keys and the numeric keypad.  Only the combinations
// that give no character need a code: a key that gives a character (a
// letter, Enter, Tab ...) is taken as that character first.
const ExtendedKey kMainKeys[] = {
    // scan lead  alt  plain Shift Ctrl Alt
    {  1,   0,   0,   0,   0,   0,   1},  // Escape
    {  2,   0,   0,   0,   0,   0, 120},  // 1
    {  3,   0,   0,   0,   0,   3, 121},  // 2 (Ctrl+2 is Ctrl+@)
    {  4,   0,   0,   0,   0,   0, 122},  // 3
    {  5,   0,   0,   0,   0,   0, 123},  // 4
    {  6,   0,   0,   0,   0,   0, 124},  // 5
    {  7,   0,   0,   0,   0,   0, 125},  // 6
    {  8,   0,   0,   0,   0,   0, 126},  // 7
    {  9,   0,   0,   0,   0,   0, 127},  // 8
    { 10,   0,   0,   0,   0,   0, 128},  // 9
    { 11,   0,   0,   0,   0,   0, 129},  // 0
    { 12,   0,   0,   0,   0,   0, 130},  // -
    { 13,   0,   0,   0,   0,   0, 131},  // =
    { 14,   0,   0,   0,   0,   0,  14},  // Backspace
    { 15,   0,   0,   0,  15, 148, 165},  // Tab
    { 16,   0,   0,   0,   0,   0,  16},  // Q
    { 17,   0,   0,   0,   0,   0,  17},  // W
    { 18,   0,   0,   0,   0,   0,  18},  // E
    { 19,   0,   0,   0,   0,   0,  19},  // R
    { 20,   0,   0,   0,   0,   0,  20},  // T
    { 21,   0,   0,   0,   0,   0,  21},  // Y
    { 22,   0,   0,   0,   0,   0,  22},  // U
    { 23,   0,   0,   0,   0,   0,  23},  // I
    { 24,   0,   0,   0,   0,   0,  24},  // O
    { 25,   0,   0,   0,   0,   0,  25},  // P
    { 26,   0,   0,   0,   0,   0,  26},  // [
    { 27,   0,   0,   0,   0,   0,  27},  // ]
    { 28,   0,   0,   0,   0,   0,  28},  // Enter
    { 30,   0,   0,   0,   0,   0,  30},  // A
    { 31,   0,   0,   0,   0,   0,  31},  // S
    { 32,   0,   0,   0,   0,   0,  32},  // D
    { 33,   0,   0,   0,   0,   0,  33},  // F
    { 34,   0,   0,   0,   0,   0,  34},  // G
    { 35,   0,   0,   0,   0,   0,  35},  // H
    { 36,   0,   0,   0,   0,   0,  36},  // J
    { 37,   0,   0,   0,   0,   0,  37},  // K
    { 38,   0,   0,   0,   0,   0,  38},  // L
    { 39,   0,   0,   0,   0,   0,  39},  // ;
    { 40,   0,   0,   0,   0,   0,  40},  // '
    { 41,   0,   0,   0,   0,   0,  41},  // `
    { 43,   0,   0,   0,   0,   0,  43},  // backslash
    { 44,   0,   0,   0,   0,   0,  44},  // Z
    { 45,   0,   0,   0,   0,   0,  45},  // X
    { 46,   0,   0,   0,   0,   0,  46},  // C
    { 47,   0,   0,   0,   0,   0,  47},  // V
    { 48,   0,   0,   0,   0,   0,  48},  // B
    { 49,   0,   0,   0,   0,   0,  49},  // N
    { 50,   0,   0,   0,   0,   0,  50},  // M
    { 51,   0,   0,   0,   0,   0,  51},  // ,
    { 52,   0,   0,   0,   0,   0,  52},  // .
    { 53,   0,   0,   0,   0,   0,  53},  // /
    { 55,   0,   0,   0,   0, 150,  55},  // keypad *
    { 59,   0,   0,  59,  84,  94, 104},  // F1
    { 60,   0,   0,  60,  85,  95, 105},  // F2
    { 61,   0,   0,  61,  86,  96, 106},  // F3
    { 62,   0,   0,  62,  87,  97, 107},  // F4
    { 63,   0,   0,  63,  88,  98, 108},  // F5
    { 64,   0,   0,  64,  89,  99, 109},  // F6
    { 65,   0,   0,  65,  90, 100, 110},  // F7
    { 66,   0,   0,  66,  91, 101, 111},  // F8
    { 67,   0,   0,  67,  92, 102, 112},  // F9
    { 68,   0,   0,  68,  93, 103, 113},  // F10
    // The numeric keypad with Num Lock off.  Alt with a keypad key is the
    // entry of a character by its number, so it gives no code of its own.
    { 71,   0,   0,  71,  71, 119,   0},  // Home (7)
    { 72,   0,   0,  72,  72, 141,   0},  // Up (8)
    { 73,   0,   0,  73,  73, 132,   0},  // Page Up (9)
    { 74,   0,   0,   0,   0, 142,  74},  // keypad -
    { 75,   0,   0,  75,  75, 115,   0},  // Left (4)
    { 76,   0,   0,   0,   0, 143,   0},  // centre (5)
    { 77,   0,   0,  77,  77, 116,   0},  // Right (6)
    { 78,   0,   0,   0,   0, 144,  78},  // keypad +
    { 79,   0,   0,  79,  79, 117,   0},  // End (1)
    { 80,   0,   0,  80,  80, 145,   0},  // Down (2)
    { 81,   0,   0,  81,  81, 118,   0},  // Page Down (3)
    { 82,   0,   0,  82,  82, 146,   0},  // Insert (0)
    { 83,   0,   0,  83,  83, 147,   0},  // Delete (.)
    // F11 and F12 came with the enhanced keyboard and lead with 224.
    { 87, 224, 224, 133, 135, 137, 139},  // F11
    { 88, 224, 224, 134, 136, 138, 140},  // F12
};

// Keys that the keyboard reports with the enhanced flag: the dedicated
// cursor and editing block, keypad Enter and keypad /.  Right Ctrl, Right
// Alt, Num Lock and the Windows keys carry the flag too and have no row.
const ExtendedKey kEnhancedKeys[] = {
    // scan lead  alt  plain Shift Ctrl Alt
    { 28,   0,   0,   0,   0,   0, 166},  // keypad Enter
    { 53,   0,   0,   0,   0, 149, 164},  // keypad /
    { 71, 224,   0,  71,  71, 119, 151},  // Home
    { 72, 224,   0,  72,  72, 141, 152},  // Up
    { 73, 224,   0,  73,  73, 132, 153},  // Page Up
    { 75, 224,   0,  75,  75, 115, 155},  // Left
    { 77, 224,   0,  77,  77, 116, 157},  // Right
    { 79, 224,   0,  79,  79, 117, 159},  // End
    { 80, 224,   0,  80,  80, 145, 160},  // Down
    { 81, 224,   0,  81,  81, 118, 161},  // Page Down
    { 82, 224,   0,  82,  82, 146, 162},  // Insert
    { 83, 224,   0,  83,  83, 147, 163},  // Delete
};

template <size_t N>
const ExtendedKey* FindKey(const ExtendedKey (&table)[N], unsigned scanCode)
{
    for (const ExtendedKey& key : table) {
        if (key.scanCode == scanCode) return &key;
    }
    return nullptr;
}

}  // namespace

KeyCodes KeyCodesOfEvent(const ConsoleKeyEvent& event)
{
    const KeyCodes noKey = {kNoKeyCode, kNoSecondCode};
    if (!event.keyDown) return noKey;
    // The character wins over the extended code: AltGr+Q gives '@' on a
    // German keyboard although Ctrl and Alt are reported held.
    if (event.character != 0) return {event.character, kNoSecondCode};

    const ExtendedKey* key = (event.controlKeys & kEnhancedKey)
                                 ? FindKey(kEnhancedKeys, event.scanCode)
                                 : FindKey(kMainKeys, event.scanCode);
    if (key == nullptr) return noKey;

    // The modifier that counts: Alt before Ctrl before Shift.
    int lead = key->lead;
    unsigned char secondCode = key->plain;
    if (event.controlKeys & (kLeftAltPressed | kRightAltPressed)) {
        lead = key->altLead;
        secondCode = key->withAlt;
    } else if (event.controlKeys & (kLeftCtrlPressed | kRightCtrlPressed)) {
        secondCode = key->withCtrl;
    } else if (event.controlKeys & kShiftPressed) {
        secondCode = key->withShift;
    }
    if (secondCode == kNoCode) return noKey;
    return {lead, secondCode};
}
