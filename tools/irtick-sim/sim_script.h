// irtick-sim's script: its command line, the infrared bursts that a script
// stands for, and the bytes that a receiver sends for those bursts.
//
// Nothing here waits, opens a device or prints; the player (sim_player.h)
// writes the events out at their times.  The steps:
//   1. ParseSimCommandLine: arguments -> SimCommand (options + items);
//   2. AppendItemBursts / BuildTimeline: items -> burst start times;
//   3. AppendEvents: bursts -> (send time, byte) events.
// They live in sim_command_line.cpp (options, usage), sim_items.cpp (the
// item grammar), sim_number.cpp (numbers), sim_timeline.cpp (bursts per
// item) and sim_bytes.cpp (bytes and jitter).
//
// The receiver measures the time from the start of one burst to the start
// of the next and sends it as one byte at the moment that interval ends,
// that is when the next burst starts: the interval in ticks of 64 us,
// rounded, modulo 256 (its counter is 8 bits wide).  The first burst of a
// run ends no interval and sends nothing; the interval after the last burst
// never ends and sends nothing either.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// One receiver tick.
constexpr int64_t kTickMicroseconds = 64;

enum SimItemKind : int32_t {
    SimNecItem,     // nec:ADDR:CMD[:REPEATS]
    SimSonyItem,    // sony12:CMD:ADDR[:TIMES], sony15:..., sony20:CMD:ADDR:EXT[:TIMES]
    SimPauseItem,   // pause:MS
    SimMicrosItem,  // us:N,N,...
    SimFileItem,    // file:PATH
    SimSamsungItem,   // samsung:ADDR:CMD[:TIMES]
    SimJvcItem,       // jvc:ADDR:CMD[:REPEATS]
    SimLgItem,        // lg:DATA28[:REPEATS]
    SimKaseikyoItem,  // kaseikyo:VENDOR:DATA32
    SimSharpItem,     // sharp:ADDR:CMD
    SimRc5Item,       // rc5:ADDR:CMD[:TOGGLE]
    SimRc6Item,       // rc6:ADDR:CMD[:TOGGLE]
};

// One script item, checked and with its numbers converted.  Only the fields
// of its kind mean anything.
struct SimItem {
    int32_t kind = SimNecItem;   // a SimItemKind
    std::string text;            // the argument as given, for messages
    // NEC: 0..0xFFFF; Sony: 0..0x1F or 0..0xFF; Samsung, JVC, RC6: 0..0xFF;
    // Sharp, RC5: 0..0x1F; Kaseikyo: the vendor, 0..0xFFFF
    uint32_t address = 0;
    // NEC, Samsung, JVC, Sharp, RC6: 0..0xFF; Sony: 0..0x7F; RC5: 0..0x7F
    // (0x40 and up as RC5X)
    uint32_t command = 0;
    uint32_t extended = 0;       // Sony 20-bit: 0..0xFF
    uint32_t data = 0;           // LG: 0..0xFFFFFFF; Kaseikyo: the 32 data bits
    uint32_t toggle = 0;         // RC5, RC6: 0 or 1
    int32_t addressBits = 0;     // Sony: 5 or 8
    int32_t extendedBits = 0;    // Sony: 8 for the 20-bit frame, else 0
    // NEC, JVC, LG: repeat frames after the first; Sony, Samsung: times
    // sent; Kaseikyo 1 and Sharp 2 (the pair): the frames sent
    uint32_t count = 0;
    int64_t pauseMicroseconds = 0;
    std::vector<int64_t> intervalsMicroseconds;  // us: burst-to-burst intervals
    std::vector<uint8_t> recordedBytes;          // file: the bytes, read at parse time
};

struct SimOptions {
    std::string portPath;        // --port; empty: make a pseudo-terminal
    int32_t jitterPercent = 0;   // --jitter
    bool seedGiven = false;      // --seed given; otherwise a random seed
    uint32_t seed = 0;
    bool fast = false;           // --fast: no waiting between bytes
    bool loop = false;           // --loop: the script again and again
};

struct SimCommand {
    SimOptions options;
    std::vector<SimItem> items;
};

enum SimParseResult : int32_t {
    SimParseRun = 0,   // options and at least one item
    SimParseHelp = 1,  // --help: print kSimUsage, nothing else
    SimParseBad = 2,   // *message names the bad argument
};

// The text that --help prints.
extern const char kSimUsage[];

// Reads argv[1 .. argc).  Options and items may come in any order; a later
// option overrides an earlier one.  file: items are read here, so that an
// unreadable file is a bad item before anything is sent.  On SimParseBad,
// *message (without the program name or a line break) names the argument.
int32_t ParseSimCommandLine(int argc, const char* const* argv, SimCommand* command,
                            std::string* message);

// Converts a whole decimal or 0x-hex number no greater than `largest`.
// No sign, no blanks, nothing after the digits.
bool ParseSimNumber(const std::string& text, uint64_t largest, uint64_t* value);

// A burst start.  A burst that ends a recorded interval (file:) carries the
// byte that was recorded for it instead of having it measured.
constexpr int32_t kMeasuredBurst = -1;

struct Burst {
    int64_t startMicroseconds;
    int32_t recordedByte;  // 0..255, or kMeasuredBurst
};

struct Timeline {
    std::vector<Burst> bursts;
    int64_t endMicroseconds;  // where the next item may begin
};

// Appends the bursts of one item that begins at `startMicroseconds` and
// sets *endMicroseconds to the earliest start of the next item:
//   nec    leader at the start, 32 bits, the stop burst; a repeat frame
//          every 108 ms after it; ends 108 ms after the last leader;
//   sony   the frame TIMES times, 45 ms apart; ends 45 ms after the last;
//   samsung, jvc, lg, kaseikyo, sharp, rc5, rc6
//          the frame (timings in sim_frames.cpp and sim_biphase.cpp),
//          then a held button's frames: samsung TIMES whole frames, jvc
//          REPEATS frames without leader, lg REPEATS NEC-style repeat
//          frames, sharp the inverted second frame 40 ms after the first;
//          each ends one frame period after its last frame start (samsung
//          and lg 108 ms, jvc 55 ms, kaseikyo 130 ms, sharp 40 ms, rc5
//          113.778 ms, rc6 107 ms);
//   pause  no bursts; ends MS later;
//   us     a burst at the start and one after each interval; ends at the last;
//   file   a burst at the start and one after each recorded byte's time;
//          ends at the last.
// A measured burst at the same time as the burst before it in `bursts` is
// that same burst and is not added again.
void AppendItemBursts(const SimItem& item, int64_t startMicroseconds, std::vector<Burst>* bursts,
                      int64_t* endMicroseconds);

// All items one after the other from `startMicroseconds`.
Timeline BuildTimeline(const std::vector<SimItem>& items, int64_t startMicroseconds);

// The byte that a receiver sends for an interval: ticks rounded, mod 256.
uint8_t IntervalByte(int64_t intervalMicroseconds);

struct SendEvent {
    int64_t sendMicroseconds;  // on the run's clock; 0 = the first burst
    uint8_t value;
};

// The last burst that AppendEvents saw, carried from one item (and one pass
// of a looped script) to the next, so that the interval that ends at an
// item's first burst is measured from the previous item's last one.
struct EventCursor {
    bool hasPreviousBurst = false;
    int64_t previousNominalMicroseconds = 0;  // on the timeline
    int64_t previousSentMicroseconds = 0;     // after jitter
};

// Turns bursts into events.  With jitterPercent > 0 every measured interval
// is drawn at random within +-jitterPercent of its length (from *random);
// the send times follow the varied intervals.  A recorded byte keeps its
// value and its time.  With jitterPercent 0 *random is not used.
void AppendEvents(const std::vector<Burst>& bursts, int32_t jitterPercent, std::mt19937* random,
                  EventCursor* cursor, std::vector<SendEvent>* events);

// Where a point of the timeline falls on the send clock: shifted by as
// much as the jitter has shifted the last burst.
int64_t SentTimeOf(const EventCursor& cursor, int64_t nominalMicroseconds);
