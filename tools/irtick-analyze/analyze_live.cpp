#include "analyze_live.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analyze_input.h"
#include "analyze_terminal.h"
#include "app/console.h"
#include "app/monitor_loop.h"  // kReadBufferSize: irtick's read size and time-outs
#include "link/receiver_port.h"

namespace {

constexpr int kStatusDone = 0;
constexpr int kStatusSaveFailed = 1;
constexpr int kStatusCannotOpen = 2;
constexpr char kProgramName[] = "irtick-analyze";

// The received bytes, appended to the --save file.
struct SaveFile {
    FILE* file = nullptr;
    std::string path;
    bool failed = false;
};

int OpenSaveFile(const std::string& path, SaveFile* save)
{
    save->path = path;
    if (path.empty()) return 0;
    save->file = std::fopen(path.c_str(), "ab");
    if (save->file != nullptr) return 0;
    std::fprintf(stderr, "%s: %s: %s\n", kProgramName, path.c_str(), std::strerror(errno));
    return -1;
}

// Written out at once: whatever ends the run later, these bytes are in the
// file.  The first failure is reported; the run goes on.
void SaveBytes(SaveFile* save, const uint8_t* bytes, size_t count)
{
    if (save->file == nullptr || count == 0 || save->failed) return;
    if (std::fwrite(bytes, 1, count, save->file) == count && std::fflush(save->file) == 0) return;
    std::fprintf(stderr, "%s: %s: %s\n", kProgramName, save->path.c_str(), std::strerror(errno));
    save->failed = true;
}

void CloseSaveFile(SaveFile* save)
{
    if (save->file == nullptr) return;
    if (std::fclose(save->file) != 0 && !save->failed) {
        std::fprintf(stderr, "%s: %s: %s\n", kProgramName, save->path.c_str(), std::strerror(errno));
        save->failed = true;
    }
    save->file = nullptr;
}

// Reads until a key or Ctrl+C.  A read that gives nothing means a silent
// line (an idle read lasts a little over 100 ms, longer than any interval
// inside a frame).
void ReadUntilStopped(StreamAnalyzer* analyzer, AnalyzeReport* report, SaveFile* save)
{
    uint8_t buffer[kReadBufferSize];
    std::vector<StreamEvent> events;
    while (!WasInterrupted()) {
        DWORD count = 0;
        // A failed read counts as a read of no bytes, as in irtick.
        if (!ReadFile(receiverPort, buffer, kReadBufferSize, &count, nullptr)) count = 0;
        if (count > kReadBufferSize) count = kReadBufferSize;
        if (count > 0) {
            SaveBytes(save, buffer, count);
            AnalyzeBytes(analyzer, report, buffer, count, &events);
        } else {
            events.clear();
            MarkStreamSilence(analyzer, &events);
            ReportStreamEvents(report, events);
        }
        if (IsKeyWaiting()) {
            ReadKey();  // any key ends the run
            return;
        }
    }
}

}  // namespace

int RunLiveAnalysis(const AnalyzeOptions& options, AnalyzeReport* report)
{
    SaveFile save;
    if (OpenSaveFile(options.savePath, &save) != 0) return kStatusCannotOpen;

    // As irtick: the keyboard is ready before the port is opened, so keys
    // typed during the power-up pause are neither echoed nor lost.
    PrepareConsole();
    // After PrepareConsole, whose SIGINT handler it replaces for the run
    // (see analyze_terminal_posix.cpp), and before the power-up pause, so
    // that a Ctrl+C during the pause also powers the receiver down.
    CatchInterrupt();
    if (OpenReceiverPort(options.portName.c_str()) != 0) {
        ReleaseInterrupt();
        RestoreConsole();
        CloseSaveFile(&save);
        return kStatusCannotOpen;
    }
    std::fprintf(stderr, "%s: reading %s; any key or Ctrl+C ends the run\n", kProgramName,
                 options.portName.c_str());

    report->live = true;
    BeginCaptureReport(report, options.portName);
    std::fflush(report->out);
    StreamAnalyzer analyzer{};
    ReadUntilStopped(&analyzer, report, &save);
    CloseReceiverPort();

    std::vector<StreamEvent> events;
    FinishStreamAnalyzer(&analyzer, &events);
    ReportStreamEvents(report, events);
    EndCaptureReport(report);
    EndReport(report);
    ReleaseInterrupt();
    RestoreConsole();
    CloseSaveFile(&save);
    return save.failed ? kStatusSaveFailed : kStatusDone;
}
