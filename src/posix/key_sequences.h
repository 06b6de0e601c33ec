// The keys a terminal sends as escape sequences (ESC [ ..., ESC O ...),
// with the key codes the Win32 console gives for them.
#pragma once

// The shape of a sequence once its bytes are known.
struct SequenceShape {
    bool introducedByCsi;  // ESC [ (else ESC O)
    bool linuxConsole;     // ESC [ [ letter
    bool numbered;         // ESC [ number ~ (and rxvt's ^ @ $)
    int selector;          // the final letter, or the number of the numbered form
};

struct SequenceKeyCodes {
    bool found;
    int firstCode;
    int secondCode;
};

// The key of a sequence of that shape; found is false for a sequence no
// key is known to send.
SequenceKeyCodes LookUpSequenceKey(const SequenceShape& shape);
