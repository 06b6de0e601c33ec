// Bi-phase frames (RC5, RC6 mode 0): every bit is two half-bits of T, one
// mark and one space, their order giving the bit's value.
//
// The receiver reports burst starts only, and two mark half-bits in a row
// are one burst.  So a frame is first written out as a row of units of T,
// each a mark or a space: the leader (RC6: 6 mark units, 2 space units),
// then per bit its first half and its second half (RC6's toggle bit takes
// 2 units per half).  A burst starts at every mark unit that follows a
// space unit; a mark unit that follows a mark unit continues that burst.
// Leading space units (RC5's first bit, a 1, opens with a space) send
// nothing and are left out, so the frame begins at its first burst, and
// nothing follows the last unit: a frame that ends in a space sends no
// closing burst.  Unit k begins round(k x T) after the first, with T exact
// (a number of 36 kHz carrier periods), so no rounding adds up.
//
// For example RC5's first three bits 1 1 0 are the half-bits (s = space,
// M = mark) sM sM Ms: the leading s is dropped, bursts start at units 0 and
// 2, and unit 3 continues the second burst, so the next start comes at the
// next mark after a space.

#include "sim_bursts.h"

namespace {

constexpr int32_t kNoDoubleWidthBit = -1;
constexpr int32_t kDoubleWidthUnits = 2;

struct BiphaseShape {
    int32_t kind;                     // a SimItemKind
    int64_t unitNumerator;            // T = unitNumerator / unitDenominator us
    int64_t unitDenominator;
    int32_t leaderMarkUnits;
    int32_t leaderSpaceUnits;
    bool oneIsMarkFirst;              // RC6; RC5's 1 is space then mark
    int32_t bits;                     // sent most significant first
    int32_t doubleWidthBit;           // sending position of the 2T + 2T bit, or kNoDoubleWidthBit
    int64_t framePeriodMicroseconds;  // frame start to frame start of a held button
    uint32_t (*payload)(const SimItem& item);
};

constexpr uint32_t kRc5CommandMask = 0x3F;
constexpr uint32_t kRc5FieldCommandLargest = 0x3F;  // above: RC5X, S2 = 0

// S1 = 1, S2 (0 for RC5X commands 64..127), toggle, 5 address bits, the low
// 6 command bits.
uint32_t Rc5Payload(const SimItem& item) {
    uint32_t secondStart = item.command <= kRc5FieldCommandLargest ? 1u : 0u;
    return (1u << 13) | (secondStart << 12) | (item.toggle << 11) | (item.address << 6) |
           (item.command & kRc5CommandMask);
}

// Start bit 1, mode 000, toggle, 8 address bits, 8 command bits.
uint32_t Rc6Payload(const SimItem& item) {
    return (1u << 20) | (item.toggle << 16) | (item.address << 8) | item.command;
}

const BiphaseShape kBiphaseShapes[] = {
    // kind       T (us)     leader  1 =        bits  double width        period
    {SimRc5Item, 8000, 9,   0, 0,   false,     14,   kNoDoubleWidthBit,  113778, Rc5Payload},
    {SimRc6Item, 4000, 9,   6, 2,   true,      21,   4,                  107000, Rc6Payload},
};

const BiphaseShape* FindBiphaseShape(int32_t kind) {
    for (const BiphaseShape& shape : kBiphaseShapes) {
        if (shape.kind == kind) {
            return &shape;
        }
    }
    return nullptr;
}

void AppendUnits(bool mark, int32_t count, std::vector<bool>* units) {
    units->insert(units->end(), static_cast<size_t>(count), mark);
}

// The frame as units of T, true for a mark.
std::vector<bool> FrameUnits(const BiphaseShape& shape, uint32_t payload) {
    std::vector<bool> units;
    AppendUnits(true, shape.leaderMarkUnits, &units);
    AppendUnits(false, shape.leaderSpaceUnits, &units);
    for (int32_t i = 0; i < shape.bits; i++) {
        bool one = ((payload >> (shape.bits - 1 - i)) & 1u) != 0;
        bool firstHalfMark = one == shape.oneIsMarkFirst;
        int32_t width = i == shape.doubleWidthBit ? kDoubleWidthUnits : 1;
        AppendUnits(firstHalfMark, width, &units);
        AppendUnits(!firstHalfMark, width, &units);
    }
    return units;
}

// Where unit `index` begins, rounded to the nearest microsecond.
int64_t UnitMicroseconds(const BiphaseShape& shape, int64_t index) {
    return (2 * index * shape.unitNumerator + shape.unitDenominator) /
           (2 * shape.unitDenominator);
}

}  // namespace

void AppendBiphaseBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                         int64_t* end) {
    const BiphaseShape* shape = FindBiphaseShape(item.kind);
    if (shape == nullptr) {
        *end = start;
        return;
    }
    std::vector<bool> units = FrameUnits(*shape, shape->payload(item));
    size_t first = 0;
    while (first < units.size() && !units[first]) {
        first++;
    }
    for (size_t at = first; at < units.size(); at++) {
        if (units[at] && (at == first || !units[at - 1])) {
            AddBurst(bursts, start + UnitMicroseconds(*shape, static_cast<int64_t>(at - first)));
        }
    }
    *end = start + shape->framePeriodMicroseconds;
}
