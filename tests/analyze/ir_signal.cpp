#include "ir_signal.h"

#include <cmath>
#include <utility>

namespace {

const double kTick = 64.0;

void AddPulseBits(std::vector<double>* periods, uint64_t value, int32_t count, bool msbFirst,
                  double zero, double one) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t bit = msbFirst ? count - 1 - i : i;
        periods->push_back(((value >> bit) & 1u) != 0 ? one : zero);
    }
}

// Mark/space cells in us to burst starts: a burst starts where a mark
// follows a space (or at a leading mark).
std::vector<double> BurstStarts(const std::vector<std::pair<bool, double>>& cells) {
    std::vector<double> starts;
    double time = 0;
    bool previousMark = false;
    for (const auto& cell : cells) {
        if (cell.first && !previousMark) {
            starts.push_back(time);
        }
        previousMark = cell.first;
        time += cell.second;
    }
    return starts;
}

}  // namespace

void AddFrame(IrSignal* signal, double at, const std::vector<double>& periods) {
    std::uniform_real_distribution<double> spread(-signal->jitter, signal->jitter);
    double time = at;
    signal->starts.push_back(time);
    for (double period : periods) {
        time += period * (1.0 + spread(signal->random));
        signal->starts.push_back(time);
    }
}

void AddOffsets(IrSignal* signal, double at, const std::vector<double>& offsets) {
    std::vector<double> periods;
    for (size_t i = 1; i < offsets.size(); ++i) {
        periods.push_back(offsets[i] - offsets[i - 1]);
    }
    AddFrame(signal, at + offsets[0], periods);
}

double AfterTicks(const IrSignal& signal, int32_t ticks) { return LastStart(signal) + ticks * kTick; }

double LastStart(const IrSignal& signal) { return signal.starts.empty() ? 0 : signal.starts.back(); }

std::vector<uint8_t> SignalBytes(const IrSignal& signal) {
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i < signal.starts.size(); ++i) {
        const long ticks = std::lround((signal.starts[i] - signal.starts[i - 1]) / kTick);
        bytes.push_back(static_cast<uint8_t>(ticks & 0xFF));
    }
    return bytes;
}

uint32_t NecData(uint32_t address, uint32_t command) {
    return (address & 0xFF) | ((~address & 0xFF) << 8) | ((command & 0xFF) << 16) |
           ((~command & 0xFF) << 24);
}

std::vector<double> NecPeriods(uint32_t data32) {
    std::vector<double> periods{9000 + 4500};
    AddPulseBits(&periods, data32, 32, false, 1125, 2250);
    return periods;
}

std::vector<double> NecRepeatPeriods() { return {9000 + 2250}; }

std::vector<double> SamsungPeriods(uint32_t data32) {
    std::vector<double> periods{4500 + 4500};
    AddPulseBits(&periods, data32, 32, false, 1120, 2250);
    return periods;
}

std::vector<double> JvcPeriods(uint32_t address, uint32_t command, bool leader) {
    std::vector<double> periods;
    if (leader) {
        periods.push_back(8400 + 4200);
    }
    AddPulseBits(&periods, (address & 0xFF) | ((command & 0xFF) << 8), 16, false, 1050, 2100);
    return periods;
}

std::vector<double> LgPeriods(uint32_t data28) {
    std::vector<double> periods{9000 + 4500};
    AddPulseBits(&periods, data28, 28, true, 1120, 2250);
    return periods;
}

std::vector<double> KaseikyoPeriods(uint64_t data48) {
    const double t = 432;
    std::vector<double> periods{8 * t + 4 * t};
    AddPulseBits(&periods, data48, 48, false, 2 * t, 4 * t);
    return periods;
}

std::vector<double> SharpPeriods(uint32_t bits15) {
    std::vector<double> periods;
    AddPulseBits(&periods, bits15, 15, false, 1000, 2000);
    return periods;
}

std::vector<double> SonyPeriods(uint32_t code, int32_t length) {
    std::vector<double> periods{2400 + 600};
    // The last bit's burst ends the list: its interval runs into the pause.
    AddPulseBits(&periods, code, length - 1, false, 1200, 1800);
    return periods;
}

std::vector<double> Rc5Offsets(uint32_t bits14) {
    const double t = 889;
    std::vector<std::pair<bool, double>> cells;
    for (int32_t bit = 13; bit >= 0; --bit) {
        const bool one = ((bits14 >> bit) & 1u) != 0;
        // A one is space then mark, a zero mark then space.
        cells.push_back({!one, t});
        cells.push_back({one, t});
    }
    return BurstStarts(cells);
}

std::vector<double> Rc6Offsets(uint32_t address, uint32_t command, uint32_t toggle) {
    const double t = 444.444;
    std::vector<std::pair<bool, double>> cells{{true, 6 * t}, {false, 2 * t}};
    // start bit 1, mode 000, toggle (double width), address, command; a one
    // is mark then space.
    const uint32_t value = (1u << 20) | ((toggle & 1u) << 16) | ((address & 0xFF) << 8) | (command & 0xFF);
    for (int32_t bit = 20; bit >= 0; --bit) {
        const bool one = ((value >> bit) & 1u) != 0;
        const double width = bit == 16 ? 2 * t : t;
        cells.push_back({one, width});
        cells.push_back({!one, width});
    }
    return BurstStarts(cells);
}
