// irtick-analyze's engine over any byte stream: fed whole, fed in reads of
// fuzzer-chosen sizes, and fed with silence marked between reads, each
// time finished at the end.  Checked:
//   - the events come in stream order and do not overlap; a run of
//     unclaimed bytes holds the stream's own bytes;
//   - fed without silence, every byte is in an event or is the pause after
//     a frame, and the events do not depend on how the stream was split;
//   - every frame fits its protocol (analyze_frame_checks.h).
//
// Input: a control byte (low 4 bits: how many read-size bytes follow; bit
// 4: also feed with silence marks), the read-size bytes (low 7 bits the
// size; bit 7: silence after this read when marking), then the stream.

#include <cstdint>
#include <vector>

#include "analyze_stream.h"
#include "support/fuzz_input.h"
#include "targets/analyze_frame_checks.h"

namespace {

constexpr uint8_t kReadSizeCountMask = 0x0F;
constexpr uint8_t kSilenceRunFlag = 0x10;
constexpr uint8_t kReadSizeMask = 0x7F;
constexpr uint8_t kSilenceAfterReadFlag = 0x80;

int64_t EventStart(const StreamEvent& event)
{
    return event.kind == StreamFrameEvent ? event.frame.start : event.unknown.start;
}

int64_t EventEnd(const StreamEvent& event)
{
    return event.kind == StreamFrameEvent
               ? event.frame.end
               : event.unknown.start + static_cast<int64_t>(event.unknown.bytes.size());
}

// Order, overlap, the unclaimed bytes and every frame; with `covering`,
// also that no byte is missing but the pause after each frame.
void CheckEvents(const std::vector<uint8_t>& stream, const std::vector<StreamEvent>& events,
                 bool covering)
{
    int64_t reached = 0;
    bool afterFrame = false;
    for (const StreamEvent& event : events) {
        const int64_t start = EventStart(event);
        FuzzCheck(start >= reached, "events out of order or overlapping");
        if (covering) {
            FuzzCheck(start == reached || (afterFrame && start == reached + 1),
                      "bytes in no event");
        }
        if (event.kind == StreamFrameEvent) {
            CheckDecodedFrame(stream, event.frame);
        } else {
            FuzzCheck(event.kind == StreamUnknownEvent, "event kind");
            const UnknownRun& run = event.unknown;
            FuzzCheck(!run.bytes.empty() &&
                          start + static_cast<int64_t>(run.bytes.size()) <=
                              static_cast<int64_t>(stream.size()),
                      "unclaimed run outside the stream");
            for (size_t i = 0; i < run.bytes.size(); ++i) {
                FuzzCheck(run.bytes[i] == stream[start + i], "unclaimed bytes not the stream's");
            }
        }
        reached = EventEnd(event);
        afterFrame = event.kind == StreamFrameEvent;
    }
    if (covering) {
        const int64_t size = static_cast<int64_t>(stream.size());
        FuzzCheck(reached == size || (afterFrame && reached + 1 == size),
                  "bytes at the end in no event");
    }
}

bool SameFrame(const DecodedFrame& a, const DecodedFrame& b)
{
    return a.start == b.start && a.end == b.end && a.protocol == b.protocol && a.bits == b.bits &&
           a.data == b.data && a.address == b.address && a.command == b.command &&
           a.repeats == b.repeats && a.toggle == b.toggle && a.errorPercent == b.errorPercent;
}

bool SameEvents(const std::vector<StreamEvent>& a, const std::vector<StreamEvent>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind) return false;
        if (a[i].kind == StreamFrameEvent && !SameFrame(a[i].frame, b[i].frame)) return false;
        if (a[i].kind == StreamUnknownEvent &&
            (a[i].unknown.start != b[i].unknown.start || a[i].unknown.bytes != b[i].unknown.bytes)) {
            return false;
        }
    }
    return true;
}

std::vector<StreamEvent> FeedInReads(const std::vector<uint8_t>& stream,
                                     const std::vector<uint8_t>& readSizes, bool markSilence)
{
    StreamAnalyzer analyzer{};
    std::vector<StreamEvent> events;
    size_t sent = 0;
    size_t emptyReadsInARow = 0;
    for (size_t turn = 0; sent < stream.size(); ++turn) {
        const uint8_t control = readSizes.empty() ? 0 : readSizes[turn % readSizes.size()];
        size_t readSize = readSizes.empty() ? stream.size() : (control & kReadSizeMask);
        // Every size 0 would never end: a whole turn of them reads one byte.
        if (readSize == 0 && ++emptyReadsInARow > readSizes.size()) readSize = 1;
        if (readSize > 0) emptyReadsInARow = 0;
        if (readSize > stream.size() - sent) readSize = stream.size() - sent;
        FeedStreamAnalyzer(&analyzer, stream.data() + sent, readSize, &events);
        sent += readSize;
        if (markSilence && (control & kSilenceAfterReadFlag) != 0) {
            MarkStreamSilence(&analyzer, &events);
        }
    }
    FinishStreamAnalyzer(&analyzer, &events);
    return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input{data, size, 0};
    const uint8_t control = TakeFuzzByte(input);
    std::vector<uint8_t> readSizes;
    for (size_t i = 0; i < (control & kReadSizeCountMask); ++i) {
        readSizes.push_back(TakeFuzzByte(input));
    }
    const std::vector<uint8_t> stream(data + input.used, data + size);

    const std::vector<StreamEvent> whole = FeedInReads(stream, {}, false);
    CheckEvents(stream, whole, true);
    const std::vector<StreamEvent> split = FeedInReads(stream, readSizes, false);
    FuzzCheck(SameEvents(split, whole), "the events depend on how the stream was split");
    if ((control & kSilenceRunFlag) != 0) {
        CheckEvents(stream, FeedInReads(stream, readSizes, true), false);
    }
    return 0;
}
