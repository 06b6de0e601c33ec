// The report's dispatch: every event counted for the summary and shown in
// the chosen form; text folding and the --sim script's pending press.

#include "analyze_report.h"

#include "analyze_options.h"
#include "analyze_terminal.h"

namespace {

// Between two presses of the --sim script, so that they replay as two.
constexpr char kSimPressPause[] = "pause:100";

bool IsSameHint(const UnknownHint& a, const UnknownHint& b)
{
    return a.shape == b.shape && a.bits == b.bits && a.leaderMicroseconds == b.leaderMicroseconds &&
           a.halfBitMicroseconds == b.halfBitMicroseconds;
}

bool IsSameFrameShown(const DecodedFrame& a, const DecodedFrame& b)
{
    return a.protocol == b.protocol && a.bits == b.bits && a.data == b.data &&
           a.address == b.address && a.command == b.command && a.toggle == b.toggle &&
           a.repeats == b.repeats;
}

void CountFrame(AnalyzeReport* report, const DecodedFrame& frame)
{
    ++report->frames;
    for (CodeCount& code : report->codes) {
        if (IsSameCode(frame, code)) {
            ++code.count;
            return;
        }
    }
    CodeCount code;
    code.protocol = frame.protocol;
    code.bits = frame.bits;
    code.data = frame.data;
    code.address = frame.address;
    code.command = frame.command;
    code.count = 1;
    report->codes.push_back(code);
}

void CountUnknown(AnalyzeReport* report, const UnknownRun& run)
{
    ++report->unknownRuns;
    const UnknownHint hint = ClassifyUnknownRun(run);
    for (HintCount& counted : report->hints) {
        if (IsSameHint(counted.hint, hint)) {
            ++counted.count;
            return;
        }
    }
    report->hints.push_back({hint, 1});
}

void ShowHeldFrame(AnalyzeReport* report)
{
    if (!report->frameHeld) return;
    PrintTextFrame(report->out, report->heldFrame, report->heldCount);
    report->frameHeld = false;
}

void ShowTextFrame(AnalyzeReport* report, const DecodedFrame& frame)
{
    if (report->live) {
        PrintTextFrame(report->out, frame, 1);
        return;
    }
    if (report->frameHeld && IsSameFrameShown(report->heldFrame, frame)) {
        ++report->heldCount;
        if (frame.errorPercent > report->heldFrame.errorPercent) {
            report->heldFrame.errorPercent = frame.errorPercent;
        }
        return;
    }
    ShowHeldFrame(report);
    report->frameHeld = true;
    report->heldFrame = frame;
    report->heldCount = 1;
}

void WriteSimItem(AnalyzeReport* report)
{
    PendingSimItem& item = report->simItem;
    if (!item.present) return;
    if (report->simItemWritten) std::fprintf(report->out, "%s\n", kSimPressPause);
    // One item per line: the blanks between a raw frame's parts break lines.
    std::string items = FormSimItems(item.frame, item.times);
    for (char& character : items) {
        if (character == ' ') character = '\n';
    }
    std::fprintf(report->out, "%s\n", items.c_str());
    report->simItemWritten = true;
    item.present = false;
}

void AddSimFrame(AnalyzeReport* report, const DecodedFrame& frame)
{
    PendingSimItem& item = report->simItem;
    if (item.present && JoinsSimItem(item, frame)) {
        ++item.times;
        return;
    }
    WriteSimItem(report);
    item.present = true;
    item.frame = frame;
    item.times = 1;
}

void ShowFrame(AnalyzeReport* report, const DecodedFrame& frame)
{
    switch (report->form) {
        case AnalyzeTextForm: ShowTextFrame(report, frame); break;
        case AnalyzeJsonForm: PrintJsonFrame(report->out, frame); break;
        case AnalyzeSimForm: AddSimFrame(report, frame); break;
        default: break;  // the histogram shows bytes, not frames
    }
}

void ShowUnknown(AnalyzeReport* report, const UnknownRun& run)
{
    switch (report->form) {
        case AnalyzeTextForm:
            ShowHeldFrame(report);
            PrintTextUnknown(report->out, run);
            break;
        case AnalyzeJsonForm: PrintJsonUnknown(report->out, run); break;
        default: break;  // the script replays presses only
    }
}

}  // namespace

bool IsSameCode(const DecodedFrame& frame, const CodeCount& code)
{
    return frame.protocol == code.protocol && frame.bits == code.bits && frame.data == code.data &&
           frame.address == code.address && frame.command == code.command;
}

void BeginCaptureReport(AnalyzeReport* report, const std::string& name)
{
    report->frames = 0;
    report->unknownRuns = 0;
    report->codes.clear();
    report->hints.clear();
    report->frameHeld = false;
    for (int64_t& count : report->byteCounts) count = 0;
    if (report->form == AnalyzeTextForm) PrintTextTitle(report->out, name);
}

void CountCaptureBytes(AnalyzeReport* report, const uint8_t* bytes, size_t count)
{
    for (size_t index = 0; index < count; ++index) ++report->byteCounts[bytes[index]];
}

void ReportStreamEvents(AnalyzeReport* report, const std::vector<StreamEvent>& events)
{
    for (const StreamEvent& event : events) {
        if (event.kind == StreamFrameEvent) {
            CountFrame(report, event.frame);
            ShowFrame(report, event.frame);
        } else {
            CountUnknown(report, event.unknown);
            ShowUnknown(report, event.unknown);
        }
    }
    if (report->live) std::fflush(report->out);
}

void EndCaptureReport(AnalyzeReport* report)
{
    switch (report->form) {
        case AnalyzeTextForm:
            ShowHeldFrame(report);
            PrintTextSummary(report->out, *report);
            break;
        case AnalyzeJsonForm: PrintJsonSummary(report->out, *report); break;
        case AnalyzeHistogramForm:
            PrintHistogram(report->out, report->byteCounts, TerminalColumns());
            break;
        default: break;
    }
    std::fflush(report->out);
}

void EndReport(AnalyzeReport* report)
{
    if (report->form == AnalyzeSimForm) WriteSimItem(report);
    std::fflush(report->out);
}
