#include "analyze_cli_records.h"

std::string Printed(const std::function<void(FILE*)>& print)
{
    FILE* file = std::tmpfile();
    if (file == nullptr) return "(no temporary file)";
    print(file);
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    std::fclose(file);
    return text;
}

DecodedFrame MakeFrame(int32_t protocol, int32_t bits, uint64_t data, int32_t address,
                       int32_t command, int64_t start)
{
    DecodedFrame frame;
    frame.protocol = protocol;
    frame.bits = bits;
    frame.data = data;
    frame.address = address;
    frame.command = command;
    frame.start = start;
    return frame;
}

StreamEvent FrameEvent(const DecodedFrame& frame)
{
    StreamEvent event;
    event.kind = StreamFrameEvent;
    event.frame = frame;
    return event;
}

StreamEvent UnknownEvent(int64_t start, const std::vector<uint8_t>& bytes)
{
    StreamEvent event;
    event.kind = StreamUnknownEvent;
    event.unknown.start = start;
    event.unknown.bytes = bytes;
    return event;
}

std::string Report(int32_t form, const std::vector<StreamEvent>& events, bool live)
{
    return Printed([&](FILE* out) {
        AnalyzeReport report;
        report.form = form;
        report.out = out;
        report.live = live;
        BeginCaptureReport(&report, "capture.bin");
        ReportStreamEvents(&report, events);
        EndCaptureReport(&report);
        EndReport(&report);
    });
}
