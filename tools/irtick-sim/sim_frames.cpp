// Pulse-distance frames (NEC, Sony, Samsung32, JVC, LG, Kaseikyo, Sharp):
// each bit is a burst and a space, its value the length of the period from
// its burst's start to the next burst's start.  The receiver reports burst
// starts only, so a frame is its leader period (if any), the bit periods in
// sending order and, for most protocols, a closing burst that ends the last
// bit's period.
//
// One row per protocol; the code below the table is only for what differs:
// the payload of each protocol (how its fields become bits), Sony's bit
// count that depends on the item, and what a held button sends after the
// first frame.

#include "sim_bursts.h"

namespace {

// What follows the first frame of an item, one frame period after the
// frame before.
enum LaterFrame : int32_t {
    kLaterWholeFrame,   // the same frame again
    kLaterRepeatFrame,  // NEC-style: a 9 ms + 2.25 ms leader and a closing burst
    kLaterBitsOnly,     // the bits and the closing burst, no leader (JVC)
    kLaterInverted,     // the frame with kSharpInvertedBits flipped (Sharp's pair)
};

// NEC's repeat frame (also LG's): leader burst start to closing burst start.
constexpr int64_t kNecRepeatLeaderMicroseconds = 11250;

// Sharp's second frame: command, expansion and check bits inverted (bits
// 5..14; the address, bits 0..4, stays).
constexpr uint64_t kSharpInvertedBits = 0x7FE0;
constexpr uint64_t kSharpExpansionBit = 1u << 13;  // 1 in the first frame; check bit 14 is 0
constexpr int32_t kSharpAddressBits = 5;

constexpr int32_t kSonyCommandBits = 7;
constexpr uint32_t kNecShortAddressLargest = 0xFF;
constexpr uint32_t kByteMask = 0xFF;
constexpr int32_t kByteBits = 8;
constexpr int32_t kKaseikyoVendorBits = 16;

struct PulseDistanceShape {
    int32_t kind;                     // a SimItemKind
    int64_t leaderMicroseconds;       // leader burst start to first bit burst; 0: no leader
    int64_t markMicroseconds;         // a bit's burst (for reading: no start depends on it)
    int64_t zeroMicroseconds;         // a 0 bit's period
    int64_t oneMicroseconds;          // a 1 bit's period
    int32_t bits;                     // 0: Sony's, from the item
    bool mostSignificantFirst;        // else bit 0 of the payload goes first
    bool closingBurst;                // a burst after the last bit
    int64_t framePeriodMicroseconds;  // frame start to frame start of a held button
    int32_t laterFrame;               // a LaterFrame
    bool countIsFrames;               // item.count = all frames, else the frames after the first
    uint64_t (*payload)(const SimItem& item);
};

// The 32 bits of an NEC frame, first bit sent in bit 0.
uint64_t NecPayload(const SimItem& item) {
    uint32_t address = item.address;
    if (address <= kNecShortAddressLargest) {
        address |= (~address & kByteMask) << kByteBits;
    }
    uint32_t command = item.command | ((~item.command & kByteMask) << kByteBits);
    return address | (static_cast<uint64_t>(command) << 16);
}

uint64_t SonyPayload(const SimItem& item) {
    return item.command | (item.address << kSonyCommandBits) |
           (item.extended << (kSonyCommandBits + item.addressBits));
}

// Address, address, command, inverted command.
uint64_t SamsungPayload(const SimItem& item) {
    return item.address | (item.address << 8) | (item.command << 16) |
           (static_cast<uint64_t>(~item.command & kByteMask) << 24);
}

uint64_t JvcPayload(const SimItem& item) {
    return item.address | (item.command << kByteBits);
}

// LG's 28 bits and Kaseikyo's 32 data bits are given as the item's data.
uint64_t DataPayload(const SimItem& item) {
    return item.data;
}

// The vendor's 16 bits first, then the 32 data bits.
uint64_t KaseikyoPayload(const SimItem& item) {
    return item.address | (static_cast<uint64_t>(item.data) << kKaseikyoVendorBits);
}

// 5 address bits, 8 command bits, expansion 1, check 0.
uint64_t SharpPayload(const SimItem& item) {
    return item.address | (item.command << kSharpAddressBits) | kSharpExpansionBit;
}

// All times in microseconds.
const PulseDistanceShape kPulseDistanceShapes[] = {
    // kind           leader mark  zero  one  bits  MSB   close  period  later              count
    {SimNecItem,      13500, 563, 1125, 2250, 32, false, true,  108000, kLaterRepeatFrame, false,
     NecPayload},
    {SimSonyItem,      3000, 600, 1200, 1800,  0, false, false,  45000, kLaterWholeFrame,  true,
     SonyPayload},
    {SimSamsungItem,   9000, 560, 1120, 2250, 32, false, true,  108000, kLaterWholeFrame,  true,
     SamsungPayload},
    {SimJvcItem,      12600, 525, 1050, 2100, 16, false, true,   55000, kLaterBitsOnly,    false,
     JvcPayload},
    {SimLgItem,       13500, 560, 1120, 2250, 28, true,  true,  108000, kLaterRepeatFrame, false,
     DataPayload},
    {SimKaseikyoItem,  5184, 432,  864, 1728, 48, false, true,  130000, kLaterWholeFrame,  true,
     KaseikyoPayload},
    {SimSharpItem,        0, 320, 1000, 2000, 15, false, true,   40000, kLaterInverted,    true,
     SharpPayload},
};

const PulseDistanceShape* FindPulseDistanceShape(int32_t kind) {
    for (const PulseDistanceShape& shape : kPulseDistanceShapes) {
        if (shape.kind == kind) {
            return &shape;
        }
    }
    return nullptr;
}

// Sony sends 12, 15 or 20 bits: 7 command bits and the item's address and
// extended bits.
int32_t FrameBits(const PulseDistanceShape& shape, const SimItem& item) {
    if (shape.bits > 0) {
        return shape.bits;
    }
    return kSonyCommandBits + item.addressBits + item.extendedBits;
}

void AppendFrame(const PulseDistanceShape& shape, int32_t bits, uint64_t payload, bool withLeader,
                 int64_t frameStart, std::vector<Burst>* bursts) {
    int64_t at = frameStart;
    if (withLeader && shape.leaderMicroseconds > 0) {
        AddBurst(bursts, at);
        at += shape.leaderMicroseconds;
    }
    for (int32_t i = 0; i < bits; i++) {
        int32_t bit = shape.mostSignificantFirst ? bits - 1 - i : i;
        AddBurst(bursts, at);
        at += ((payload >> bit) & 1u) ? shape.oneMicroseconds : shape.zeroMicroseconds;
    }
    if (shape.closingBurst) {
        AddBurst(bursts, at);
    }
}

}  // namespace

void AppendPulseDistanceBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                               int64_t* end) {
    const PulseDistanceShape* shape = FindPulseDistanceShape(item.kind);
    if (shape == nullptr) {
        *end = start;
        return;
    }
    const int32_t bits = FrameBits(*shape, item);
    const uint64_t payload = shape->payload(item);
    const int64_t frames = static_cast<int64_t>(item.count) + (shape->countIsFrames ? 0 : 1);
    for (int64_t frame = 0; frame < frames; frame++) {
        const int64_t frameStart = start + frame * shape->framePeriodMicroseconds;
        if (frame == 0) {
            AppendFrame(*shape, bits, payload, true, frameStart, bursts);
            continue;
        }
        switch (shape->laterFrame) {
            case kLaterWholeFrame:
                AppendFrame(*shape, bits, payload, true, frameStart, bursts);
                break;
            case kLaterRepeatFrame:
                AddBurst(bursts, frameStart);
                AddBurst(bursts, frameStart + kNecRepeatLeaderMicroseconds);
                break;
            case kLaterBitsOnly:
                AppendFrame(*shape, bits, payload, false, frameStart, bursts);
                break;
            case kLaterInverted:
                AppendFrame(*shape, bits, payload ^ kSharpInvertedBits, true, frameStart, bursts);
                break;
        }
    }
    *end = start + frames * shape->framePeriodMicroseconds;
}
