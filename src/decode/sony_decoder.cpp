// Sony (SIRC) decoder: a state machine driven by a table of windows and a
// table of transitions.  Each call classifies the value into one window, looks
// up the first transition row for the current state that accepts that window,
// and carries out the row's action and next state.
#include "decode/sony_decoder.h"

#include "app/console.h"

SonyDecoder sonyDecoder;

namespace {

// The code register holds at most this many bits.
const int32_t kSonyMaxCodeBits = 32;

// What a value is, judged by the windows below.  kSonyNoWindow is every value
// outside all windows.
enum SonyWindowKind {
    kSonyStartWindow,
    kSonyZeroBitWindow,
    kSonyOneBitWindow,
    kSonyNoWindow,
};

// Window bounds in ticks of 64 us, inclusive at both ends.  Each window holds
// the burst-to-burst interval of its protocol element.
struct SonyWindow {
    SonyWindowKind kind;
    unsigned low;
    unsigned high;
};

const SonyWindow kSonyWindows[] = {
    //  window              low  high    nominal interval
    {kSonyStartWindow,    44,  50},  // start 2.4 ms + 0.6 ms = 3.0 ms
    {kSonyZeroBitWindow,  17,  21},  // 0 bit 0.6 ms + 0.6 ms = 1.2 ms
    {kSonyOneBitWindow,   26,  30},  // 1 bit 1.2 ms + 0.6 ms = 1.8 ms
};

// Which values a transition row accepts: one window, or anything the rows
// above it for the same state did not take.  kSonyAnyOther and
// kSonyAnyUnexamined match the same values; the second marks the state that
// does not look at its value at all.
enum SonyMatch {
    kSonyMatchStart,
    kSonyMatchZeroBit,
    kSonyMatchOneBit,
    kSonyAnyOther,
    kSonyAnyUnexamined,
};

enum SonyAction {
    kSonyNoAction,
    kSonyStartFrame,  // clear bitCount and code
    kSonyAddZeroBit,  // may complete the frame
    kSonyAddOneBit,   // may complete the frame
};

struct SonyTransition {
    int32_t state;
    SonyMatch match;
    SonyAction action;
    int32_t next;
};

// Rows are tried in order; the first row of the current state that accepts
// the value applies.  Adding bit value number frame length - 1 prints the
// code and moves on to SonyComplete instead of the row's SonyBits.
const SonyTransition kSonyTransitions[] = {
    //  state          value                action            next state
    {SonyIdle,      kSonyMatchStart,    kSonyStartFrame,  SonyBits},
    {SonyIdle,      kSonyAnyOther,      kSonyNoAction,    SonyIdle},
    {SonyBits,      kSonyMatchZeroBit,  kSonyAddZeroBit,  SonyBits},
    {SonyBits,      kSonyMatchOneBit,   kSonyAddOneBit,   SonyBits},
    {SonyBits,      kSonyMatchStart,    kSonyStartFrame,  SonyBits},  // drops the open frame
    {SonyBits,      kSonyAnyOther,      kSonyNoAction,    SonyIdle},  // drops the open frame
    {SonyComplete,  kSonyAnyUnexamined, kSonyNoAction,    SonyIdle},
};

SonyWindowKind ClassifySonyInterval(unsigned value) {
    for (const SonyWindow& window : kSonyWindows) {
        if (value >= window.low && value <= window.high) {
            return window.kind;
        }
    }
    return kSonyNoWindow;
}

bool SonyRowAccepts(SonyMatch match, SonyWindowKind kind) {
    switch (match) {
        case kSonyMatchStart:    return kind == kSonyStartWindow;
        case kSonyMatchZeroBit:  return kind == kSonyZeroBitWindow;
        case kSonyMatchOneBit:   return kind == kSonyOneBitWindow;
        case kSonyAnyOther:      return true;
        case kSonyAnyUnexamined: return true;
    }
    return false;
}

const SonyTransition* FindSonyTransition(int32_t state, SonyWindowKind kind) {
    for (const SonyTransition& row : kSonyTransitions) {
        if (row.state == state && SonyRowAccepts(row.match, kind)) {
            return &row;
        }
    }
    return nullptr;
}

// Bit values that make a code: the last bit's interval runs on into the pause
// after the frame and measures nothing, so a frame of n bits gives n - 1.
// The monitor passes 12, 15 or 20; any other length is held to 1..32 code
// bits so that the count and the shift stay within the code register.
int32_t SonyCodeBits(int32_t frameLength) {
    if (frameLength < 2) {
        return 1;
    }
    if (frameLength > kSonyMaxCodeBits + 1) {
        return kSonyMaxCodeBits;
    }
    return frameLength - 1;
}

void AddSonyBit(unsigned bit, int32_t frameLength) {
    const int32_t codeBits = SonyCodeBits(frameLength);
    // In normal running bitCount is below codeBits here.  The range tests
    // keep the shift and the count defined even if the record was
    // overwritten from outside or the frame length changed mid-frame: such a
    // frame simply completes.
    if (bit != 0 && sonyDecoder.bitCount >= 0 && sonyDecoder.bitCount < kSonyMaxCodeBits) {
        sonyDecoder.code |= 1u << sonyDecoder.bitCount;
    }
    if (sonyDecoder.bitCount < kSonyMaxCodeBits) {
        sonyDecoder.bitCount++;
    }
    if (sonyDecoder.bitCount >= codeBits) {
        PrintText("\nSony Code: %05X\n", static_cast<unsigned>(sonyDecoder.code));
        sonyDecoder.state = SonyComplete;
    }
}

void RunSonyAction(SonyAction action, int32_t frameLength) {
    switch (action) {
        case kSonyNoAction:
            break;
        case kSonyStartFrame:
            sonyDecoder.bitCount = 0;
            sonyDecoder.code = 0;
            break;
        case kSonyAddZeroBit:
            AddSonyBit(0, frameLength);
            break;
        case kSonyAddOneBit:
            AddSonyBit(1, frameLength);
            break;
    }
}

}  // namespace

void DecodeSonyInterval(unsigned value, int32_t frameLength) {
    const SonyTransition* row = FindSonyTransition(sonyDecoder.state, ClassifySonyInterval(value));
    if (row == nullptr) {
        // Only a record overwritten from outside has a state with no rows;
        // start over rather than stay stuck in it.
        sonyDecoder.state = SonyIdle;
        return;
    }
    sonyDecoder.state = row->next;
    RunSonyAction(row->action, frameLength);
}
