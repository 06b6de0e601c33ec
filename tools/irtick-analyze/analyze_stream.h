// irtick-analyze's decoding engine: the receiver's byte stream in, decoded
// frames and runs of unclaimed intervals out.
//
// The stream is the receiver's: one byte per interval from the start of one
// infrared burst to the start of the next, in ticks of 64 us, modulo 256.
// Nothing here reads a file, opens a device or prints; the program feeds
// bytes as it gets them (a whole capture, or each read of a live port) and
// shows the events that come back.  Events come in stream order; a frame is
// reported once what follows it has settled what it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum IrProtocol : int32_t {
    ProtocolNec,
    ProtocolSamsung32,
    ProtocolJvc,
    ProtocolLg,
    ProtocolKaseikyo,
    ProtocolSharp,
    ProtocolSony,
    ProtocolRc5,
    ProtocolRc6,
    kProtocolCount
};

// How a protocol's frames are named and shown.
struct ProtocolInfo {
    const char* name;        // as in the JSON output: "NEC", "Samsung32", ...
    int32_t addressDigits;   // hexadecimal digits of the address in the text output
    int32_t commandDigits;   // hexadecimal digits of the command in the text output
};

const ProtocolInfo& DescribeProtocol(int32_t protocol);

// An address, command or toggle that the frame does not have.
constexpr int32_t kNoValue = -1;

struct DecodedFrame {
    int64_t start = 0;         // stream index of the frame's first byte
    int64_t end = 0;           // stream index after its last byte, repeats included
    int32_t protocol = 0;      // an IrProtocol
    int32_t bits = 0;          // payload bits, leader excluded
    uint64_t data = 0;         // the payload in the protocol's own bit order
    int32_t address = kNoValue;
    int32_t command = kNoValue;
    int32_t repeats = 0;       // repeat frames that the protocol marks as such
    int32_t toggle = kNoValue; // 0 or 1 for RC5 and RC6
    double errorPercent = 0;   // largest deviation of a measured interval from nominal
};

// A run of bytes that no protocol claims.
struct UnknownRun {
    int64_t start = 0;           // stream index of its first byte
    std::vector<uint8_t> bytes;  // the bytes as received
};

enum StreamEventKind : int32_t { StreamFrameEvent, StreamUnknownEvent };

struct StreamEvent {
    int32_t kind = StreamFrameEvent;  // a StreamEventKind
    DecodedFrame frame;               // for StreamFrameEvent
    UnknownRun unknown;               // for StreamUnknownEvent
};

// One capture's analysis.  A value-initialised record starts a fresh one.
struct StreamAnalyzer {
    std::vector<uint8_t> pending;  // bytes not yet settled
    int64_t pendingStart = 0;      // stream index of pending[0]
};

// Takes the next bytes of the stream and appends what they settle.
void FeedStreamAnalyzer(StreamAnalyzer* analyzer, const uint8_t* bytes, size_t count,
                        std::vector<StreamEvent>* events);

// Live use: the line has been silent for longer than any interval inside a
// frame (a read that returned nothing).  What is pending ends here, and the
// next byte measures a pause, whatever its value.
void MarkStreamSilence(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events);

// The stream has ended: settles everything still pending.
void FinishStreamAnalyzer(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events);

// The payload in uppercase hexadecimal, zero-padded to ceil(bits / 4)
// digits (Sony: five, the value irtick prints).
std::string FormatFrameData(const DecodedFrame& frame);

// What an unclaimed run looks like, for the closing hint.
enum UnknownShape : int32_t {
    UnknownTooShort,       // too few intervals to tell
    UnknownPulseDistance,  // a leader, then two bit periods
    UnknownBiPhase,        // intervals of 2, 3 and 4 half-bit times
    UnknownUnclassified,
};

struct UnknownHint {
    int32_t shape = UnknownTooShort;  // an UnknownShape
    int32_t bits = 0;                 // pulse distance: bit count
    int32_t leaderMicroseconds = 0;   // pulse distance: leader period, 0 for none
    int32_t halfBitMicroseconds = 0;  // bi-phase: half-bit time
};

UnknownHint ClassifyUnknownRun(const UnknownRun& run);
