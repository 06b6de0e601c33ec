// The key reader on a terminal descriptor (the console passes its /dev/tty,
// tests a pseudo-terminal): takes the bytes the terminal has, hands them to
// the key parser (key_parser.h) and times how long the rest of a key begun
// may take.  It keeps the bytes taken that do not yet form a key, and the
// second code of the last key read.
//
// Each key is read whole, so that no byte of it is left in the terminal
// once the run ends on it; input that is no key (mouse reports, focus
// events, terminal replies) is dropped and never counts.
#pragma once

#include "key_parser.h"

// How long the reader waits for the rest of an escape sequence or UTF-8
// character whose first bytes have arrived, counted from when it first saw
// them.  A terminal sends a key's bytes together, so the rest comes at
// once; an Escape key on its own is taken as Escape after this time.
constexpr int kKeyRestWaitMilliseconds = 50;

// True when a second code is held or a whole key is pending.  Moves every
// byte the terminal has ready into the pending bytes first and drops what
// makes no key; never waits.  The start of a key whose rest has not come is
// no key yet: it counts once it is whole, or once kKeyRestWaitMilliseconds
// have passed without its rest (a lone Escape).  Does not read while
// another process group holds the terminal's foreground (the read would
// stop the process).  fd < 0: only a held code counts.
bool IsKeyWaitingOn(int fd);

// One key: the held second code if there is one, otherwise the first code
// of the next whole key.  After IsKeyWaitingOn said true it gives that key
// at once; otherwise it waits for a key, and up to the rest of
// kKeyRestWaitMilliseconds for the rest of a key that has begun.  Gives -1
// when the terminal cannot be read (fd < 0, hung up, read error) and no
// key is pending.
int ReadKeyFrom(int fd);

// Drops the pending bytes and the held code, and forgets a terminal that
// failed: for a new terminal, and at the end of the run.
void ForgetPendingKeys();
