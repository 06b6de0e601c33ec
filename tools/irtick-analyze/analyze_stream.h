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
// NEC gives 2 address digits: a 16-bit NEC address (above 0xFF) is the
// program's to widen to 4.  LG and Kaseikyo have neither (0 digits).
struct ProtocolInfo {
    const char* name;        // as in the JSON output: "NEC", "Samsung32", ...
    int32_t addressDigits;   // hexadecimal digits of the address in the text output
    int32_t commandDigits;   // hexadecimal digits of the command in the text output
};

const ProtocolInfo& DescribeProtocol(int32_t protocol);

// An address, command or toggle that the frame does not have.
constexpr int32_t kNoValue = -1;

// `start` is the byte of the leader's interval; for the leader-less
// protocols the byte of the first bit interval: Sharp's first bit (of the
// first frame of the pair), and for RC5, whose first burst is
// the middle of the first start bit, the interval from that burst to the
// next, i.e. the first byte after the pause.  `end` leaves out the pause
// byte after the frame (Sony: the byte that holds the unmeasured last bit).
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

// The engine's working records (the search over the parses of the pending
// bytes); the program leaves them alone.
constexpr int32_t kSearchEntriesPerSlot = 4;

// One way of reaching a stream position: the cheapest parse found so far of
// the bytes from the settled point up to it, by its last step.
struct SearchEntry {
    int64_t unknownCost = 0;       // bytes that parse leaves unclaimed
    int64_t errorCost = 0;         // sum of its frames' errors, in 0.01 %
    int64_t predPosition = -1;     // where the last step started, -1 for the root
    int64_t candidate = -1;        // the step's frame or repeat (SearchCandidate id)
    uint64_t contextData = 0;      // data of the frame that a repeat may follow
    int32_t predIndex = 0;         // entry index at predPosition
    int32_t step = 0;              // how the last step went (unknown byte, frame, repeat)
    int32_t contextProtocol = -1;  // protocol whose repeats may follow, -1 none
    int32_t repeatAfter = 0;       // once processed: 1 if a repeat step leaves it
};

struct SearchSlot {
    int32_t count = 0;
    SearchEntry entries[kSearchEntriesPerSlot];
};

// A frame or repeat found at a stream position.
struct SearchCandidate {
    int64_t position = 0;
    int32_t length = 0;            // bytes, the pause after it excluded
    int32_t isRepeat = 0;
    DecodedFrame frame;            // for a repeat: errorPercent only
};

// One capture's analysis.  A value-initialised record starts a fresh one.
struct StreamAnalyzer {
    std::vector<uint8_t> pending;  // bytes not yet settled
    int64_t pendingStart = 0;      // stream index of pending[0]
    // The search: slots[position % size] for the positions pendingStart ..
    // end of the stream + 1; the root is entry rootIndex at pendingStart.
    std::vector<SearchSlot> slots;
    std::vector<SearchCandidate> candidates;  // ids candidateBase ...
    int64_t candidateBase = 0;
    int64_t processed = 0;         // positions below it have taken their steps
    int64_t lastCheck = 0;         // processed at the last settling
    int64_t retryAt = 0;           // stream length at which a held position is tried again
    int32_t rootIndex = 0;
    bool started = false;          // the root entry exists
    bool skipNextByte = false;     // after silence: the next byte is a pause
    // Settled but not yet reported: a frame still taking repeats, or a run of
    // unclaimed bytes still growing.
    bool frameOpen = false;
    DecodedFrame openFrame;
    bool unknownOpen = false;
    UnknownRun openUnknown;
};

// Takes the next bytes of the stream and appends what they settle.  A frame
// is reported once the step after it is settled and is no repeat of it (the
// next frame's leader, unclaimed bytes, silence or the end); a run of
// unclaimed bytes once a frame follows it.  The events do not depend on how
// the stream is split into calls.
void FeedStreamAnalyzer(StreamAnalyzer* analyzer, const uint8_t* bytes, size_t count,
                        std::vector<StreamEvent>* events);

// Live use: the line has been silent for longer than any interval inside a
// frame (a read that returned nothing).  What is pending ends here, and the
// next byte measures a pause, whatever its value (unless no byte has come
// yet: then the next byte may be a frame's first).  Call it on a read that
// returned nothing, so that the last press shows without waiting.
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
