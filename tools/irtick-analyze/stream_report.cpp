// Events from the settled parse, in stream order.
#include "stream_report.h"

#include <algorithm>

namespace {

void ReportOpenFrame(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    if (!analyzer->frameOpen) {
        return;
    }
    StreamEvent event;
    event.kind = StreamFrameEvent;
    event.frame = analyzer->openFrame;
    events->push_back(event);
    analyzer->frameOpen = false;
}

void ReportOpenUnknown(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    if (!analyzer->unknownOpen) {
        return;
    }
    StreamEvent event;
    event.kind = StreamUnknownEvent;
    event.unknown = analyzer->openUnknown;
    events->push_back(event);
    analyzer->openUnknown.bytes.clear();
    analyzer->unknownOpen = false;
}

}  // namespace

void ReportUnknownByte(StreamAnalyzer* analyzer, int64_t position, uint8_t byte,
                       std::vector<StreamEvent>* events) {
    ReportOpenFrame(analyzer, events);
    if (!analyzer->unknownOpen) {
        analyzer->unknownOpen = true;
        analyzer->openUnknown.start = position;
        analyzer->openUnknown.bytes.clear();
    }
    analyzer->openUnknown.bytes.push_back(byte);
}

void ReportFrame(StreamAnalyzer* analyzer, const DecodedFrame& frame, std::vector<StreamEvent>* events) {
    ReportOpenFrame(analyzer, events);
    ReportOpenUnknown(analyzer, events);
    analyzer->openFrame = frame;
    analyzer->frameOpen = true;
}

void ReportRepeat(StreamAnalyzer* analyzer, int64_t end, double errorPercent) {
    // A repeat step only ever follows its frame's step, so the frame is open.
    if (!analyzer->frameOpen) {
        return;
    }
    analyzer->openFrame.repeats++;
    analyzer->openFrame.end = end;
    analyzer->openFrame.errorPercent = std::max(analyzer->openFrame.errorPercent, errorPercent);
}

void CloseOpenFrame(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    ReportOpenFrame(analyzer, events);
}

void FlushReports(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    ReportOpenFrame(analyzer, events);
    ReportOpenUnknown(analyzer, events);
}
