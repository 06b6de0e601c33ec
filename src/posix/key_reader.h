// Key presses from the bytes a terminal sends, given as the key codes of the
// Win32 console: 1..255 for a key that gives a character, and for a key that
// gives none (arrows, Home, F1 ...) first 0 or 224 and then, at the next
// read, the key's second code.
//
// A terminal sends a key as one byte, as the bytes of one UTF-8 character,
// or as an escape sequence (the Up arrow as ESC [ A or ESC O A).  Each key
// is read whole, so that no byte of it is left in the terminal once the run
// ends on it.
#pragma once

#include <cstddef>

// The second code of a key that has only one.
constexpr int kNoSecondCode = -1;

// How long a key read waits for the rest of an escape sequence or UTF-8
// character whose first bytes have arrived.  A terminal sends a key's bytes
// together, so the rest comes at once; an Escape key on its own is taken as
// Escape after this time.
constexpr int kKeyRestWaitMilliseconds = 50;

// The first key found in a run of bytes.
struct ParsedKey {
    bool complete;    // false: the bytes are the start of a key whose rest may still come
    size_t length;    // bytes the key takes (when complete)
    int firstCode;    // 0..255
    int secondCode;   // code held for the next read, or kNoSecondCode
};

// Finds the first key in bytes[0 .. count), count >= 1.  When moreMayCome
// is false no further byte will arrive and an unfinished key is taken with
// the bytes it has:
//   - a lone ESC gives 27; an unfinished or unknown escape sequence is
//     taken whole and also gives 27 (the closest key that ends a run);
//   - an unfinished UTF-8 character gives its first byte.
// A byte 0 (Ctrl+Space, Ctrl+@) gives 0 and then 3, the code the Win32
// console has for that key.
ParsedKey ParseKeyBytes(const unsigned char* bytes, size_t count, bool moreMayCome);

// The key reader on a terminal descriptor (the console passes its /dev/tty,
// tests a pseudo-terminal).  It keeps the bytes it has taken from the
// terminal that do not yet form a read key, and the held second code.

// True when a second code is held or a key's bytes are pending.  Moves every
// byte the terminal has ready into the pending bytes first; never waits.
// Does not read while another process group holds the terminal's foreground
// (the read would stop the process).  fd < 0: only a held code counts.
bool IsKeyWaitingOn(int fd);

// One key: the held second code if there is one, otherwise the first code
// of the next whole key.  Waits for a key when none is pending, and up to
// kKeyRestWaitMilliseconds for the rest of a key that has begun.  Gives -1
// when the terminal cannot be read (fd < 0, hung up, read error).
int ReadKeyFrom(int fd);

// Drops the pending bytes and the held code, and forgets a terminal that
// failed: for a new terminal, and at the end of the run.
void ForgetPendingKeys();
