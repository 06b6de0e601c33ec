// A test-side source of receiver bytes: burst-start times, built from each
// protocol's published timings, turned into the receiver's intervals (ticks
// of 64 us, rounded, modulo 256).  Independent of the engine and of the
// simulator.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

struct IrSignal {
    std::vector<double> starts;  // burst starts in us
    double jitter = 0;           // each interval inside a frame scaled by 1 +- up to this
    std::mt19937 random{1};
};

// A frame whose first burst starts at `at`: one burst, then one more after
// each period (the last of them the closing burst, or for Sony the last
// bit's burst).  Periods are jittered, the time to `at` is not.
void AddFrame(IrSignal* signal, double at, const std::vector<double>& periods);
// A pause: the next burst starts exactly `ticks` ticks after the last one.
double AfterTicks(const IrSignal& signal, int32_t ticks);
double LastStart(const IrSignal& signal);
// The receiver's bytes.
std::vector<uint8_t> SignalBytes(const IrSignal& signal);

// Periods of the protocols' frames (us), LSB or MSB first as each sends.
std::vector<double> NecPeriods(uint32_t data32);
std::vector<double> NecRepeatPeriods();
std::vector<double> SamsungPeriods(uint32_t data32);
std::vector<double> JvcPeriods(uint32_t address, uint32_t command, bool leader);
std::vector<double> LgPeriods(uint32_t data28);
std::vector<double> KaseikyoPeriods(uint64_t data48);
std::vector<double> SharpPeriods(uint32_t bits15);
std::vector<double> SonyPeriods(uint32_t code, int32_t length);
// Bi-phase frames: the burst starts relative to the frame's start (the
// start of its first half-bit, for RC6 of its leader).
std::vector<double> Rc5Offsets(uint32_t bits14);
std::vector<double> Rc6Offsets(uint32_t address, uint32_t command, uint32_t toggle);
// Adds a bi-phase frame starting at `at` (its first half-bit or leader).
void AddOffsets(IrSignal* signal, double at, const std::vector<double>& offsets);

// The NEC payload of address and command, inverted bytes included.
uint32_t NecData(uint32_t address, uint32_t command);
