// Bi-phase (RC5, RC6) from burst starts alone.
//
// Each bit is two half-bit cells, one mark and one space; which comes first
// is the bit's value (RC5: a one is space then mark; RC6: a one is mark then
// space).  Two marks in a row are one burst, so the receiver sees a burst
// start only where a mark cell follows a space cell.  Mark runs and space
// runs are therefore one or two cells long, and the interval from one burst
// start to the next is a mark run plus a space run: 2, 3 or 4 half-bit times
// (RC6's double-width toggle cells stretch this to 5 or 6).
//
// The decoding follows where the current burst start lies: in the first or
// the second half of bit k, whose value that settles (a mark in the first
// half is a "mark first" bit).  Worked out for RC5 (a one is space, mark):
//   burst in a second half (bit k = 1), then
//     2T: space, mark  -> bit k+1 = 1, burst again in a second half
//     3T: mark (bit k+1's first half, so bit k+1 = 0), space, space, mark
//         -> bit k+1 = 0 and bit k+2 starts with a mark: bit k+2 = 0, burst
//            in a first half
//     4T: mark, space, space, mark -> bit k+1 = 0, bit k+2 = 1, burst in a
//         second half
//   burst in a first half (bit k = 0: its second half is a space), then
//     2T: space, mark -> bit k+1 = 0 (mark first), burst in a first half
//     3T: space, space, mark -> bit k+1 = 1, burst in a second half
//     4T: impossible (a space run of three cells)
// Each interval thus has exactly one reading.  The last bit is the
// exception: from a burst in the second half of the next-to-last bit, a
// last bit of mark then space merges into that burst and starts none, so
// the frame may end there (the next byte is the pause) or go on with 2T.
// Both readings are offered; what follows decides.  Where nothing follows
// (the end of the stream, or silence), the last byte ends at a burst start
// after which none came, so it is the frame's own last interval, not its
// pause: the search (SettleSegment) counts a parse that takes it as a pause
// as leaving that burst unclaimed.
//
// Rather than hold a table per protocol, the readings are worked out here by
// trying the next two bits' four values against the cells: the same rules,
// and they hold for RC6's wide toggle too.
#include <cmath>

#include "analyze_match.h"

namespace {

struct Cell {
    int32_t bit;
    int32_t half;
    int32_t width;  // in half-bit times
    bool mark;
};

bool MarkInHalf(const BiPhaseShape& shape, uint64_t value, int32_t half) {
    const bool markFirst = (value != 0) == shape.oneIsMarkFirst;
    return half == 0 ? markFirst : !markFirst;
}

int32_t CellWidth(const BiPhaseShape& shape, int32_t bit) { return bit == shape.wideBit ? 2 : 1; }

// The ways the interval after a burst in `half` of `bit` (of `value`) can
// go, one per length.
BiPhaseSteps ListSteps(const BiPhaseShape& shape, int32_t bit, int32_t half, uint64_t value) {
    BiPhaseSteps list = {};
    const int32_t ahead = shape.bitCount - 1 - bit < 2 ? shape.bitCount - 1 - bit : 2;
    for (uint32_t choice = 0; choice < (1u << ahead); ++choice) {
        Cell cells[6];
        int32_t cellCount = 0;
        cells[cellCount++] = Cell{bit, half, CellWidth(shape, bit), true};
        if (half == 0) {
            cells[cellCount++] = Cell{bit, 1, CellWidth(shape, bit), MarkInHalf(shape, value, 1)};
        }
        uint64_t added = 0;
        for (int32_t a = 0; a < ahead; ++a) {
            const int32_t next = bit + 1 + a;
            const uint64_t nextValue = (choice >> a) & 1u;
            added |= nextValue << next;
            cells[cellCount++] = Cell{next, 0, CellWidth(shape, next), MarkInHalf(shape, nextValue, 0)};
            cells[cellCount++] = Cell{next, 1, CellWidth(shape, next), MarkInHalf(shape, nextValue, 1)};
        }
        BiPhaseStep step{0, shape.bitCount - 1, 1, added};
        int32_t time = 0;
        for (int32_t c = 1; c < cellCount; ++c) {
            time += cells[c - 1].width;
            if (cells[c].mark && !cells[c - 1].mark) {
                step.halfBits = time;
                step.bit = cells[c].bit;
                step.half = cells[c].half;
                // Only the bits up to the new burst's are settled.
                step.addedBits = added & ((1ull << (cells[c].bit + 1)) - 1);
                break;
            }
        }
        // No further burst: a reading only if these bits end the frame.
        if (step.halfBits == 0 && bit + ahead != shape.bitCount - 1) {
            continue;
        }
        bool seen = false;
        for (int32_t s = 0; s < list.count; ++s) {
            seen = seen || list.steps[s].halfBits == step.halfBits;
        }
        if (!seen) {
            list.steps[list.count++] = step;
        }
    }
    return list;
}

uint64_t MsbFirst(uint64_t received, int32_t count) {
    uint64_t data = 0;
    for (int32_t i = 0; i < count; ++i) {
        data = (data << 1) | ((received >> i) & 1u);
    }
    return data;
}

}  // namespace

BiPhaseStepTable BuildBiPhaseSteps(const BiPhaseShape& shape) {
    BiPhaseStepTable table = {};
    for (int32_t bit = 0; bit + 1 < shape.bitCount && bit < kBiPhaseMostBits; ++bit) {
        for (int32_t half = 0; half < 2; ++half) {
            for (uint64_t value = 0; value < 2; ++value) {
                // Only a burst in a half that is a mark is a state at all.
                if (MarkInHalf(shape, value, half)) {
                    table.from[bit][half][value] = ListSteps(shape, bit, half, value);
                }
            }
        }
    }
    return table;
}

MatchStatus ReadBiPhaseFrames(const MatchInput& input, int32_t offset, const BiPhaseShape& shape,
                              BiPhaseState state, BiPhaseFrames* frames) {
    frames->count = 0;
    int32_t position = offset;
    for (;;) {
        if (state.bit == shape.bitCount - 1) {
            frames->frames[frames->count++] =  // endings leave it room
                BiPhaseFrame{position, MsbFirst(state.bits, shape.bitCount), state.errorPercent};
            return MatchSettled;
        }
        const BiPhaseSteps& list = shape.table->from[state.bit][state.half][(state.bits >> state.bit) & 1u];
        const BiPhaseStep* taken = nullptr;
        const uint8_t value = position < input.count ? input.bytes[position] : 0;
        const int32_t kind = shape.lookup->kind[value];
        for (int32_t s = 0; s < list.count; ++s) {
            const BiPhaseStep& step = list.steps[s];
            if (step.halfBits == 0 && frames->count < kBiPhaseMostFrames - 1) {
                frames->frames[frames->count++] = BiPhaseFrame{
                    position, MsbFirst(state.bits | step.addedBits, shape.bitCount), state.errorPercent};
            } else if (kind != kNoKind && step.halfBits == shape.kindHalfBits[kind]) {
                taken = &step;
            }
        }
        if (position >= input.count) {
            return OutOfBytes(input);
        }
        if (taken == nullptr) {
            return MatchSettled;
        }
        const double error = shape.lookup->errorPercent[value];
        state.errorPercent = error > state.errorPercent ? error : state.errorPercent;
        state.bit = taken->bit;
        state.half = taken->half;
        state.bits |= taken->addedBits;
        ++position;
    }
}
