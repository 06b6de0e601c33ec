// How long a read of 16 bytes takes under the receiver's time-outs: with
// nothing arriving (the total time-out), after a short burst (the gap
// time-out behind its last byte) and with more than 16 bytes waiting (at
// once).  The port is a pseudo-terminal opened through the real serial
// layer; the benchmark plays the receiver on the master side.

#include "read_contract_bench.h"

#include <termios.h>

#include <atomic>
#include <string>
#include <thread>

#include "bench_port.h"
#include "bench_samples.h"
#include "deadline.h"
#include "pty_harness.h"

namespace {

constexpr int kSamples = 20;
constexpr DWORD kReadSize = 16;

// The burst: five bytes a millisecond apart, the first a while after the
// read has begun so that the read is surely waiting when it arrives.
constexpr int kBurstBytes = 5;
constexpr int kBurstLeadMs = 10;
constexpr int kBurstSpacingMs = 1;
constexpr unsigned char kBurstValue = 35;

// More than one read's worth waiting before the read.
constexpr int kWaitingBytes = 20;
constexpr int kWaitingTimeoutMs = 2000;

struct ContractPort {
    bool tried = false;
    PtyPair pty;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

ContractPort contractPort;

// Opens the port on first use; false (and the benchmark skipped) if that
// failed.
bool EnsureContractPort(benchmark::State& state)
{
    if (!contractPort.tried) {
        contractPort.tried = true;
        if (OpenPtyPair(&contractPort.pty) == 0) {
            contractPort.handle = OpenBenchPort(contractPort.pty.slavePath);
        }
    }
    if (contractPort.handle == INVALID_HANDLE_VALUE) {
        state.SkipWithError("no pseudo-terminal port");
        return false;
    }
    return true;
}

// Throws away whatever earlier samples left in the port's input.
void EmptyPortInput()
{
    tcflush(contractPort.pty.slave, TCIFLUSH);
}

DWORD ReadSixteen()
{
    unsigned char buffer[kReadSize];
    DWORD count = 0;
    if (!ReadFile(contractPort.handle, buffer, kReadSize, &count, nullptr)) count = 0;
    return count;
}

void MeasureIdleRead(benchmark::State& state)
{
    if (!EnsureContractPort(state)) return;
    for (auto _ : state) {
        EmptyPortInput();
        const long long start = MonotonicNanoseconds();
        const DWORD count = ReadSixteen();
        const long long end = MonotonicNanoseconds();
        if (count != 0) {
            state.SkipWithError("an idle read returned bytes");
            break;
        }
        state.SetIterationTime(SecondsBetween(start, end));
    }
}

// From the write of the burst's last byte to the return of the read.
void MeasureBurstEndToReturn(benchmark::State& state)
{
    if (!EnsureContractPort(state)) return;
    for (auto _ : state) {
        EmptyPortInput();
        std::atomic<long long> lastByteAt{0};
        std::thread receiver([&lastByteAt] {
            SleepMilliseconds(kBurstLeadMs);
            for (int index = 0; index < kBurstBytes; ++index) {
                if (index > 0) SleepMilliseconds(kBurstSpacingMs);
                WriteAll(contractPort.pty.master, std::string(1, static_cast<char>(kBurstValue)));
            }
            lastByteAt = MonotonicNanoseconds();
        });
        const DWORD count = ReadSixteen();
        const long long returnedAt = MonotonicNanoseconds();
        receiver.join();
        if (count != kBurstBytes) {
            state.SkipWithError("the read did not return the burst's five bytes");
            break;
        }
        state.SetIterationTime(SecondsBetween(lastByteAt, returnedAt));
    }
}

void MeasureWaitingRead(benchmark::State& state)
{
    if (!EnsureContractPort(state)) return;
    const PtyPair& pty = contractPort.pty;
    for (auto _ : state) {
        EmptyPortInput();
        WriteAll(pty.master, std::string(kWaitingBytes, static_cast<char>(kBurstValue)));
        // What is written to the master reaches the slave's queue a moment
        // later; the read is timed only once all of it waits there.
        if (!WaitFor(
                nullptr, [&pty] { return BytesWaiting(pty.slave) >= kWaitingBytes; },
                kWaitingTimeoutMs)) {
            state.SkipWithError("the bytes never reached the port");
            break;
        }
        const long long start = MonotonicNanoseconds();
        const DWORD count = ReadSixteen();
        const long long end = MonotonicNanoseconds();
        if (count != kReadSize) {
            state.SkipWithError("the read did not return 16 bytes");
            break;
        }
        state.SetIterationTime(SecondsBetween(start, end));
    }
}

}  // namespace

void RegisterReadContractBenchmarks()
{
    SampleEvents(benchmark::RegisterBenchmark("ReadContract/IdleRead", MeasureIdleRead), kSamples,
                 benchmark::kMillisecond);
    SampleEvents(
        benchmark::RegisterBenchmark("ReadContract/BurstEndToReturn", MeasureBurstEndToReturn),
        kSamples, benchmark::kMillisecond);
    SampleEvents(benchmark::RegisterBenchmark("ReadContract/SixteenWaiting", MeasureWaitingRead),
                 kSamples, benchmark::kMicrosecond);
}

void CloseReadContractPort()
{
    if (contractPort.handle != INVALID_HANDLE_VALUE) CloseHandle(contractPort.handle);
    contractPort.handle = INVALID_HANDLE_VALUE;
    ClosePtyPair(&contractPort.pty);
}
