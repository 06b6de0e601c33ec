// Key presses from the bytes a terminal sends, given as the key codes of the
// Win32 console: 1..255 for a key that gives a character, and for a key that
// gives none (arrows, Home, F1 ...) first 0 or 224 and then, at the next
// read, the key's second code.
//
// A pure function over a byte buffer: no descriptor, no clock, no state.
// The key reader (key_reader.h) feeds it the bytes taken from the terminal
// and decides, by its clock, when no more bytes will come for a key begun.
//
// A terminal sends a key as one byte, as the bytes of one UTF-8 character,
// or as an escape sequence (the Up arrow as ESC [ A or ESC O A).  It also
// sends input that is no key press: mouse reports (ESC [ < 0;10;10 M,
// ESC [ M and three bytes), focus events (ESC [ I, ESC [ O) and replies to
// queries (ESC [ ? 1 ; 2 c, cursor position reports ESC [ 12 ; 40 R, status
// reports, ESC ] ... and ESC P ... strings).  Those are taken whole and
// give no key.
#pragma once

#include <cstddef>

// The second code of a key that has only one.
constexpr int kNoSecondCode = -1;
// First codes of the keys that give no character.
constexpr int kFunctionKeyPrefix = 0;    // F1..F10, Shift+Tab, Ctrl+Space
constexpr int kExtendedKeyPrefix = 224;  // cursor and editing keys, F11, F12

enum KeyParseOutcome {
    kParsedKey,      // a key press: firstCode, secondCode
    kParsedNoKey,    // bytes that are no key press: drop them
    kParseNeedsMore  // the start of something whose rest may still come
};

struct ParsedKey {
    KeyParseOutcome outcome;
    size_t length;   // bytes taken (kParsedKey, kParsedNoKey): 1..count
    int firstCode;   // kParsedKey: 0..255
    int secondCode;  // kParsedKey: kNoSecondCode, or a code after firstCode 0 or 224
};

// Parses the first thing in bytes[0 .. count).
//
// moreMayCome true: bytes may still follow.  Whatever the answer is not
// kParseNeedsMore, it is final: the same answer (outcome, length, codes)
// comes for every longer buffer that starts with these bytes, so the keys
// read do not depend on how the bytes were split across reads.
//
// moreMayCome false: no byte will follow; never kParseNeedsMore (count 0
// aside).  What was begun is taken as it stands:
//   - a lone ESC gives 27; an unfinished escape sequence gives 27 (a key
//     cut short reads as Escape, the closest key that ends a run), one that
//     is plainly a report (private parameters, a mouse report) no key;
//   - an unfinished UTF-8 character gives its first byte.
// An escape sequence that is complete but unknown also reads as Escape: a
// key this table does not know still ends a run.  A byte 0 (Ctrl+Space,
// Ctrl+@) gives 0 and then 3, as on the Win32 console.
//
// count 0 gives kParseNeedsMore with length 0.
ParsedKey ParseKeyBytes(const unsigned char* bytes, size_t count, bool moreMayCome);
