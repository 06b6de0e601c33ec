// The choice among the readings of the stream, and its streaming.
//
// Every byte is either part of a frame (a frame takes the pause byte after
// it as well, which is reported nowhere), part of a repeat of the frame
// before it, or unclaimed.  The engine looks for the parse of the stream that
// leaves the fewest bytes unclaimed and, among those, has the smallest sum
// of frame errors: a shortest path over the stream positions, where each
// position's steps are "one byte unclaimed" and every candidate that the
// matchers list there.  This is the only place where readings compete: a
// leader that NEC, JVC and LG all accept, a Sony frame that may be 12, 15 or
// 20 bits, an RC5 frame whose last bit may be the pause: each is a step, and
// what follows decides which steps lie on the cheapest path.
//
// A position whose steps are listed is "processed"; a matcher that needs
// bytes not yet arrived holds processing there.  Each entry of a position
// remembers the step it was reached by, so the cheapest parses form a tree
// rooted at the settled point.  Every parse of the whole stream passes
// through an entry at or beyond the first unprocessed position (the live
// entries); where all their parses run through one entry, the parse up to it
// can no longer change, and it is reported.  Equal costs are broken by the
// order of the steps (earlier position first, then the order of the
// protocol table), which does not depend on how the bytes were split into
// calls.
//
// Bounds: a step is at most a Kaseikyo frame long, so the live entries lie
// within about 50 bytes of the first unprocessed position.  Should the live
// parses fail to meet for kForcedWindow bytes (no real traffic does that),
// the cheapest is taken as far as half the window, so memory stays bounded;
// this happens at the same byte however the stream was split.
#include <algorithm>

#include "stream_report.h"
#include "stream_steps.h"

namespace {

constexpr int64_t kForcedWindow = 4096;
constexpr int64_t kSettleInterval = 256;    // processed positions between settlings
constexpr int64_t kLongestRetry = 64;       // bytes a held position waits at most

struct EntryRef {
    int64_t position;
    int32_t index;
};

bool SameEntry(EntryRef a, EntryRef b) { return a.position == b.position && a.index == b.index; }

EntryRef PredOf(StreamAnalyzer* analyzer, EntryRef ref) {
    const SearchEntry& entry = SlotAt(analyzer, ref.position).entries[ref.index];
    return EntryRef{entry.predPosition, entry.predIndex};
}

bool IsRoot(const StreamAnalyzer* analyzer, EntryRef ref) {
    return ref.position == analyzer->pendingStart && ref.index == analyzer->rootIndex;
}

// Reports the steps from the root to `target` and makes `target` the root.
void SettleTo(StreamAnalyzer* analyzer, EntryRef target, std::vector<StreamEvent>* events) {
    std::vector<EntryRef> path;
    for (EntryRef at = target; !IsRoot(analyzer, at); at = PredOf(analyzer, at)) {
        path.push_back(at);
    }
    for (size_t i = path.size(); i-- > 0;) {
        const SearchEntry& entry = SlotAt(analyzer, path[i].position).entries[path[i].index];
        if (entry.step == kStepUnknown) {
            const int64_t at = entry.predPosition;
            ReportUnknownByte(analyzer, at, analyzer->pending[static_cast<size_t>(at - analyzer->pendingStart)],
                              events);
        } else if (entry.step == kStepFrame) {
            ReportFrame(analyzer, CandidateById(analyzer, entry.candidate).frame, events);
        } else if (entry.step == kStepRepeat) {
            const SearchCandidate& repeat = CandidateById(analyzer, entry.candidate);
            ReportRepeat(analyzer, repeat.position + repeat.length, repeat.frame.errorPercent);
        }
    }
    // Only at the end of a segment does the target lie past the last byte
    // (a frame whose pause has not come).
    const int64_t drop = std::min<int64_t>(target.position - analyzer->pendingStart,
                                           static_cast<int64_t>(analyzer->pending.size()));
    analyzer->pending.erase(analyzer->pending.begin(), analyzer->pending.begin() + drop);
    analyzer->pendingStart = target.position;
    analyzer->rootIndex = target.index;
    size_t keep = 0;
    while (keep < analyzer->candidates.size() && analyzer->candidates[keep].position < target.position) {
        ++keep;
    }
    analyzer->candidates.erase(analyzer->candidates.begin(), analyzer->candidates.begin() + keep);
    analyzer->candidateBase += static_cast<int64_t>(keep);
    // The open frame is complete once no repeat can follow the new root.
    const SearchEntry& root = SlotAt(analyzer, target.position).entries[target.index];
    if (root.contextProtocol < 0 || (target.position < analyzer->processed && root.repeatAfter == 0)) {
        CloseOpenFrame(analyzer, events);
    }
}

// The live entries: those at the first unprocessed position and beyond.
std::vector<EntryRef> ListLiveEntries(StreamAnalyzer* analyzer) {
    std::vector<EntryRef> live;
    for (int64_t position = analyzer->processed; position <= StreamLength(analyzer) + 1; ++position) {
        const SearchSlot& slot = SlotAt(analyzer, position);
        for (int32_t i = 0; i < slot.count; ++i) {
            live.push_back(EntryRef{position, i});
        }
    }
    return live;
}

// The latest entry that every live parse runs through: the frontier of
// chains steps back from its latest entry until one entry is left.
EntryRef FindCommonEntry(StreamAnalyzer* analyzer, const std::vector<EntryRef>& live) {
    std::vector<EntryRef> frontier;
    for (EntryRef ref : live) {
        if (IsRoot(analyzer, ref)) {
            return ref;  // the root itself has steps to take yet
        }
        const EntryRef pred = PredOf(analyzer, ref);
        if (std::none_of(frontier.begin(), frontier.end(), [&](EntryRef f) { return SameEntry(f, pred); })) {
            frontier.push_back(pred);
        }
    }
    while (frontier.size() > 1) {
        size_t latest = 0;
        for (size_t i = 1; i < frontier.size(); ++i) {
            const EntryRef a = frontier[i];
            const EntryRef b = frontier[latest];
            if (a.position > b.position || (a.position == b.position && a.index > b.index)) {
                latest = i;
            }
        }
        const EntryRef pred = PredOf(analyzer, frontier[latest]);
        frontier.erase(frontier.begin() + static_cast<std::ptrdiff_t>(latest));
        if (std::none_of(frontier.begin(), frontier.end(), [&](EntryRef f) { return SameEntry(f, pred); })) {
            frontier.push_back(pred);
        }
    }
    return frontier[0];
}

void SettleCommonPart(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    analyzer->lastCheck = analyzer->processed;
    const std::vector<EntryRef> live = ListLiveEntries(analyzer);
    if (live.empty()) {
        return;
    }
    const EntryRef common = FindCommonEntry(analyzer, live);
    if (!IsRoot(analyzer, common)) {
        SettleTo(analyzer, common, events);
    }
}

bool Descends(StreamAnalyzer* analyzer, EntryRef ref, EntryRef ancestor) {
    while (ref.position > ancestor.position) {
        ref = PredOf(analyzer, ref);
    }
    return SameEntry(ref, ancestor);
}

// The live parses have not met within the window: takes the cheapest one
// up to half the window and drops the live entries that do not follow it.
void ForceSettle(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    const std::vector<EntryRef> live = ListLiveEntries(analyzer);
    EntryRef best = live[0];
    for (EntryRef ref : live) {
        if (Cheaper(SlotAt(analyzer, ref.position).entries[ref.index],
                    SlotAt(analyzer, best.position).entries[best.index])) {
            best = ref;
        }
    }
    const int64_t limit = analyzer->processed - kForcedWindow / 2;
    EntryRef target = best;
    while (target.position > limit) {
        target = PredOf(analyzer, target);
    }
    if (IsRoot(analyzer, target)) {
        return;
    }
    for (int64_t position = analyzer->processed; position <= StreamLength(analyzer) + 1; ++position) {
        SearchSlot& slot = SlotAt(analyzer, position);
        int32_t kept = 0;
        for (int32_t i = 0; i < slot.count; ++i) {
            if (Descends(analyzer, EntryRef{position, i}, target)) {
                slot.entries[kept++] = slot.entries[i];
            }
        }
        slot.count = kept;
    }
    SettleTo(analyzer, target, events);
}

// Processes every position whose steps can be listed.
void ProcessPending(StreamAnalyzer* analyzer, bool complete, std::vector<StreamEvent>* events) {
    std::vector<FrameCandidate> found;
    while (analyzer->processed < StreamLength(analyzer)) {
        if (!TakePositionSteps(analyzer, complete, &found)) {
            const int64_t waiting = StreamLength(analyzer) - analyzer->processed;
            analyzer->retryAt = StreamLength(analyzer) + std::min<int64_t>(std::max<int64_t>(waiting, 1), kLongestRetry);
            return;
        }
        if (analyzer->processed - analyzer->lastCheck >= kSettleInterval) {
            SettleCommonPart(analyzer, events);
        }
        if (analyzer->processed - analyzer->pendingStart >= kForcedWindow) {
            SettleCommonPart(analyzer, events);
            if (analyzer->processed - analyzer->pendingStart >= kForcedWindow) {
                ForceSettle(analyzer, events);
            }
        }
    }
}

// A complete parse of a segment as it ends, costed for the end.  The last
// byte ends with a burst start, and after it none came: a parse whose last
// frame (or repeat) takes that byte as its pause leaves that burst to
// nothing, as an unclaimed byte would.  It counts as one, so that a frame
// whose own last interval is that byte (a bi-phase frame whose last bit
// starts a burst) wins over a reading of the same bytes that ends one
// interval earlier (its last bit merged into the burst before).
SearchEntry EntryAtSegmentEnd(StreamAnalyzer* analyzer, EntryRef ref) {
    SearchEntry entry = SlotAt(analyzer, ref.position).entries[ref.index];
    if (ref.position == StreamLength(analyzer) && (entry.step == kStepFrame || entry.step == kStepRepeat)) {
        ++entry.unknownCost;
    }
    return entry;
}

// The segment ends: settles its cheapest complete parse.
void SettleSegment(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    EnsureStarted(analyzer);
    ProcessPending(analyzer, true, events);
    const int64_t length = StreamLength(analyzer);
    EntryRef best{-1, 0};
    for (int64_t position = length; position <= length + 1; ++position) {
        const SearchSlot& slot = SlotAt(analyzer, position);
        for (int32_t i = 0; i < slot.count; ++i) {
            const EntryRef ref{position, i};
            if (best.position < 0 ||
                Cheaper(EntryAtSegmentEnd(analyzer, ref), EntryAtSegmentEnd(analyzer, best))) {
                best = ref;
            }
        }
    }
    if (best.position >= 0 && !IsRoot(analyzer, best)) {
        SettleTo(analyzer, best, events);
    }
    FlushReports(analyzer, events);
    StartSearchAt(analyzer, length);
}

}  // namespace

void FeedStreamAnalyzer(StreamAnalyzer* analyzer, const uint8_t* bytes, size_t count,
                        std::vector<StreamEvent>* events) {
    EnsureStarted(analyzer);
    for (size_t i = 0; i < count; ++i) {
        if (analyzer->skipNextByte) {
            // The interval that ends the silence: a pause, reported nowhere.
            analyzer->skipNextByte = false;
            StartSearchAt(analyzer, StreamLength(analyzer) + 1);
            continue;
        }
        analyzer->pending.push_back(bytes[i]);
        SlotAt(analyzer, StreamLength(analyzer) + 1).count = 0;
        if (StreamLength(analyzer) >= analyzer->retryAt) {
            ProcessPending(analyzer, false, events);
        }
    }
    ProcessPending(analyzer, false, events);
    SettleCommonPart(analyzer, events);
}

void MarkStreamSilence(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    const bool anyByte = StreamLength(analyzer) > 0;
    SettleSegment(analyzer, events);
    analyzer->skipNextByte = anyByte;
}

void FinishStreamAnalyzer(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    SettleSegment(analyzer, events);
    analyzer->skipNextByte = false;
}
