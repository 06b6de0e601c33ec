// NEC decoder: a state machine driven by a table of windows and a table of
// transitions.  Each call classifies the value into one window, looks up the
// first transition row for the current state that accepts that window, and
// carries out the row's action and next state.
#include "decode/nec_decoder.h"

#include "app/console.h"

NecDecoder necDecoder;

namespace {

// Bits in one NEC code: address, its complement, command, its complement.
const int32_t kNecCodeBits = 32;

// What a value is, judged by the windows below.  kNecNoWindow is every value
// outside all windows.
enum NecWindowKind {
    kNecStartWindow,
    kNecZeroBitWindow,
    kNecOneBitWindow,
    kNecRepeatWindow,
    kNecNoWindow,
};

// Window bounds in ticks of 64 us, inclusive at both ends.  Each window holds
// the burst-to-burst interval of its protocol element.
struct NecWindow {
    NecWindowKind kind;
    unsigned low;
    unsigned high;
};

const NecWindow kNecWindows[] = {
    //  window             low  high     nominal interval
    {kNecStartWindow,    192, 235},  // leader 9 ms + 4.5 ms = 13.5 ms
    {kNecZeroBitWindow,   14,  22},  // 0 bit 0.5625 ms + 0.5625 ms = 1.125 ms
    {kNecOneBitWindow,    30,  40},  // 1 bit 0.5625 ms + 1.6875 ms = 2.25 ms
    {kNecRepeatWindow,   157, 191},  // repeat leader 9 ms + 2.25 ms = 11.25 ms
};

// Which values a transition row accepts: one window, or anything the rows
// above it for the same state did not take.  kNecAnyOther and
// kNecAnyUnexamined match the same values; the second marks the states that
// do not look at their value at all.
enum NecMatch {
    kNecMatchStart,
    kNecMatchZeroBit,
    kNecMatchOneBit,
    kNecMatchRepeat,
    kNecAnyOther,
    kNecAnyUnexamined,
};

enum NecAction {
    kNecNoAction,
    kNecStartFrame,   // clear bitCount and code
    kNecAddZeroBit,   // may complete the frame
    kNecAddOneBit,    // may complete the frame
    kNecPrintRepeat,  // the repeat mark
};

struct NecTransition {
    int32_t state;
    NecMatch match;
    NecAction action;
    int32_t next;
};

// Rows are tried in order; the first row of the current state that accepts
// the value applies.  Adding the 32nd bit prints the code and moves on to
// NecComplete instead of the row's NecBits.
const NecTransition kNecTransitions[] = {
    //  state            value               action            next state
    {NecIdle,         kNecMatchStart,    kNecStartFrame,   NecBits},
    {NecIdle,         kNecAnyOther,      kNecNoAction,     NecIdle},
    {NecBits,         kNecMatchZeroBit,  kNecAddZeroBit,   NecBits},
    {NecBits,         kNecMatchOneBit,   kNecAddOneBit,    NecBits},
    {NecBits,         kNecMatchStart,    kNecStartFrame,   NecBits},  // drops the open frame
    {NecBits,         kNecAnyOther,      kNecNoAction,     NecIdle},  // drops the open frame; repeat window included
    {NecComplete,     kNecAnyUnexamined, kNecNoAction,     NecAwaitRepeat},
    {NecAwaitRepeat,  kNecMatchRepeat,   kNecNoAction,     NecRepeatLeader},
    {NecAwaitRepeat,  kNecMatchStart,    kNecStartFrame,   NecBits},
    {NecAwaitRepeat,  kNecAnyOther,      kNecNoAction,     NecAwaitRepeat},
    {NecRepeatLeader, kNecAnyUnexamined, kNecPrintRepeat,  NecAwaitRepeat},
};

NecWindowKind ClassifyNecInterval(unsigned value) {
    for (const NecWindow& window : kNecWindows) {
        if (value >= window.low && value <= window.high) {
            return window.kind;
        }
    }
    return kNecNoWindow;
}

bool NecRowAccepts(NecMatch match, NecWindowKind kind) {
    switch (match) {
        case kNecMatchStart:    return kind == kNecStartWindow;
        case kNecMatchZeroBit:  return kind == kNecZeroBitWindow;
        case kNecMatchOneBit:   return kind == kNecOneBitWindow;
        case kNecMatchRepeat:   return kind == kNecRepeatWindow;
        case kNecAnyOther:      return true;
        case kNecAnyUnexamined: return true;
    }
    return false;
}

const NecTransition* FindNecTransition(int32_t state, NecWindowKind kind) {
    for (const NecTransition& row : kNecTransitions) {
        if (row.state == state && NecRowAccepts(row.match, kind)) {
            return &row;
        }
    }
    return nullptr;
}

void AddNecBit(unsigned bit) {
    // In normal running bitCount is 0..31 here.  The range tests keep the
    // shift and the count defined even if the record was overwritten from
    // outside: such a frame simply completes.
    if (bit != 0 && necDecoder.bitCount >= 0 && necDecoder.bitCount < kNecCodeBits) {
        necDecoder.code |= 1u << necDecoder.bitCount;
    }
    if (necDecoder.bitCount < kNecCodeBits) {
        necDecoder.bitCount++;
    }
    if (necDecoder.bitCount >= kNecCodeBits) {
        PrintText("\nNEC Code: %08X\n", static_cast<unsigned>(necDecoder.code));
        necDecoder.state = NecComplete;
    }
}

void RunNecAction(NecAction action) {
    switch (action) {
        case kNecNoAction:
            break;
        case kNecStartFrame:
            necDecoder.bitCount = 0;
            necDecoder.code = 0;
            break;
        case kNecAddZeroBit:
            AddNecBit(0);
            break;
        case kNecAddOneBit:
            AddNecBit(1);
            break;
        case kNecPrintRepeat:
            PrintText("Rpt ");
            break;
    }
}

}  // namespace

void DecodeNecInterval(unsigned value) {
    const NecTransition* row = FindNecTransition(necDecoder.state, ClassifyNecInterval(value));
    if (row == nullptr) {
        // Only a record overwritten from outside has a state with no rows;
        // start over rather than stay stuck in it.
        necDecoder.state = NecIdle;
        return;
    }
    necDecoder.state = row->next;
    RunNecAction(row->action);
}
