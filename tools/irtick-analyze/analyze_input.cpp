#include "analyze_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "analyze_terminal.h"

const char kStandardInputName[] = "-";

namespace {

constexpr uint8_t kCarriageReturn = 13;
constexpr uint8_t kLineFeed = 10;
constexpr size_t kReadChunkSize = 64 * 1024;
constexpr char kStandardInputTitle[] = "standard input";

}  // namespace

void UndoCrlf(CrlfUndo* undo, const uint8_t* bytes, size_t count, std::vector<uint8_t>* out)
{
    for (size_t index = 0; index < count; ++index) {
        const uint8_t byte = bytes[index];
        if (undo->returnHeld) {
            undo->returnHeld = false;
            // 13 10 was a 10; a 13 before anything else was a 13.
            if (byte == kLineFeed) {
                out->push_back(kLineFeed);
                continue;
            }
            out->push_back(kCarriageReturn);
        }
        if (byte == kCarriageReturn) {
            undo->returnHeld = true;
        } else {
            out->push_back(byte);
        }
    }
}

void FinishCrlf(CrlfUndo* undo, std::vector<uint8_t>* out)
{
    if (undo->returnHeld) out->push_back(kCarriageReturn);
    undo->returnHeld = false;
}

void AnalyzeBytes(StreamAnalyzer* analyzer, AnalyzeReport* report, const uint8_t* bytes,
                  size_t count, std::vector<StreamEvent>* events)
{
    CountCaptureBytes(report, bytes, count);
    events->clear();
    FeedStreamAnalyzer(analyzer, bytes, count, events);
    ReportStreamEvents(report, *events);
}

int AnalyzeCapture(const std::string& name, bool undoCrlf, AnalyzeReport* report,
                   std::string* message)
{
    const bool standardInput = name == kStandardInputName;
    FILE* file = nullptr;
    if (standardInput) {
        SetStandardInputBinary();
        file = stdin;
    } else {
        file = std::fopen(name.c_str(), "rb");
        if (file == nullptr) {
            *message = name + ": " + std::strerror(errno);
            return -1;
        }
    }

    BeginCaptureReport(report, standardInput ? kStandardInputTitle : name);
    StreamAnalyzer analyzer{};
    CrlfUndo undo;
    std::vector<uint8_t> chunk(kReadChunkSize);
    std::vector<uint8_t> undone;
    std::vector<StreamEvent> events;
    int result = 0;
    for (;;) {
        const size_t count = std::fread(chunk.data(), 1, chunk.size(), file);
        if (count == 0) {
            if (std::ferror(file)) {
                *message = (standardInput ? std::string(kStandardInputTitle) : name) + ": " +
                           std::strerror(errno);
                result = -1;
            }
            break;
        }
        if (!undoCrlf) {
            AnalyzeBytes(&analyzer, report, chunk.data(), count, &events);
            continue;
        }
        undone.clear();
        UndoCrlf(&undo, chunk.data(), count, &undone);
        AnalyzeBytes(&analyzer, report, undone.data(), undone.size(), &events);
    }
    if (!standardInput) std::fclose(file);
    if (result != 0) return result;

    undone.clear();
    if (undoCrlf) FinishCrlf(&undo, &undone);
    AnalyzeBytes(&analyzer, report, undone.data(), undone.size(), &events);
    events.clear();
    FinishStreamAnalyzer(&analyzer, &events);
    ReportStreamEvents(report, events);
    EndCaptureReport(report);
    return 0;
}
