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
#include <cmath>

#include "analyze_match.h"
#include "stream_report.h"

namespace {

enum SearchStep : int32_t { kStepRoot, kStepUnknown, kStepFrame, kStepRepeat };

constexpr int64_t kSlotCount = 8192;        // a power of two above the window
constexpr int64_t kForcedWindow = 4096;
constexpr int64_t kSettleInterval = 256;    // processed positions between settlings
constexpr int64_t kLongestRetry = 64;       // bytes a held position waits at most
constexpr double kErrorCostPerPercent = 100.0;

SearchSlot& SlotAt(StreamAnalyzer* analyzer, int64_t position) {
    return analyzer->slots[static_cast<size_t>(position & (kSlotCount - 1))];
}

int64_t StreamLength(const StreamAnalyzer* analyzer) {
    return analyzer->pendingStart + static_cast<int64_t>(analyzer->pending.size());
}

bool Cheaper(const SearchEntry& a, const SearchEntry& b) {
    if (a.unknownCost != b.unknownCost) {
        return a.unknownCost < b.unknownCost;
    }
    return a.errorCost < b.errorCost;
}

// Begins the search at `position` with a bare root.
void StartSearchAt(StreamAnalyzer* analyzer, int64_t position) {
    if (analyzer->slots.empty()) {
        analyzer->slots.resize(kSlotCount);
    }
    analyzer->pending.clear();
    analyzer->pendingStart = position;
    analyzer->candidates.clear();
    analyzer->processed = position;
    analyzer->lastCheck = position;
    analyzer->retryAt = position;
    analyzer->rootIndex = 0;
    SlotAt(analyzer, position) = SearchSlot();
    SlotAt(analyzer, position + 1) = SearchSlot();
    SearchSlot& root = SlotAt(analyzer, position);
    root.count = 1;
    root.entries[0].step = kStepRoot;
    analyzer->started = true;
}

void EnsureStarted(StreamAnalyzer* analyzer) {
    if (!analyzer->started) {
        StartSearchAt(analyzer, analyzer->pendingStart);
    }
}

// Offers `entry` to the position: kept if it is the cheapest there with its
// repeat context.  A full slot gives up its most expensive entry.
void Relax(StreamAnalyzer* analyzer, int64_t position, const SearchEntry& entry) {
    SearchSlot& slot = SlotAt(analyzer, position);
    for (int32_t i = 0; i < slot.count; ++i) {
        SearchEntry& held = slot.entries[i];
        if (held.contextProtocol == entry.contextProtocol && held.contextData == entry.contextData) {
            if (Cheaper(entry, held)) {
                held = entry;
            }
            return;
        }
    }
    if (slot.count < kSearchEntriesPerSlot) {
        slot.entries[slot.count++] = entry;
        return;
    }
    int32_t worst = 0;
    for (int32_t i = 1; i < slot.count; ++i) {
        if (Cheaper(slot.entries[worst], slot.entries[i])) {
            worst = i;
        }
    }
    if (Cheaper(entry, slot.entries[worst])) {
        slot.entries[worst] = entry;
    }
}

int64_t StoreCandidate(StreamAnalyzer* analyzer, const SearchCandidate& candidate) {
    analyzer->candidates.push_back(candidate);
    return analyzer->candidateBase + static_cast<int64_t>(analyzer->candidates.size()) - 1;
}

const SearchCandidate& CandidateById(const StreamAnalyzer* analyzer, int64_t id) {
    return analyzer->candidates[static_cast<size_t>(id - analyzer->candidateBase)];
}

int64_t ErrorCost(double errorPercent) {
    return static_cast<int64_t>(std::lround(errorPercent * kErrorCostPerPercent));
}

// Lists the steps of the first unprocessed position and takes them.  False
// when a matcher needs bytes that have not arrived.
bool ProcessPosition(StreamAnalyzer* analyzer, bool complete, std::vector<FrameCandidate>* found) {
    const int64_t position = analyzer->processed;
    const int64_t offset = position - analyzer->pendingStart;
    const MatchInput input = {analyzer->pending.data() + offset,
                              static_cast<int32_t>(std::min<int64_t>(
                                  static_cast<int64_t>(analyzer->pending.size()) - offset, INT32_MAX)),
                              complete, position};
    int32_t matcherCount = 0;
    const ProtocolMatcher* matchers = ListProtocolMatchers(&matcherCount);
    found->clear();
    for (int32_t m = 0; m < matcherCount; ++m) {
        if (matchers[m].matchFrames(input, found) == MatchNeedsMore) {
            return false;
        }
    }
    SearchSlot& slot = SlotAt(analyzer, position);
    int32_t repeatLength[kSearchEntriesPerSlot] = {};
    double repeatError[kSearchEntriesPerSlot] = {};
    for (int32_t i = 0; i < slot.count; ++i) {
        const SearchEntry& entry = slot.entries[i];
        if (entry.contextProtocol < 0) {
            continue;
        }
        const ProtocolMatcher* owner = nullptr;
        for (int32_t m = 0; m < matcherCount; ++m) {
            if (matchers[m].protocol == entry.contextProtocol) {
                owner = &matchers[m];
            }
        }
        DecodedFrame context;
        context.protocol = entry.contextProtocol;
        context.data = entry.contextData;
        if (owner != nullptr && owner->matchRepeat != nullptr &&
            owner->matchRepeat(input, context, &repeatLength[i], &repeatError[i]) == MatchNeedsMore) {
            return false;
        }
    }
    // Everything is settled: store the candidates and take the steps.
    std::vector<int64_t> frameIds;
    const int64_t firstFrameId = analyzer->candidateBase + static_cast<int64_t>(analyzer->candidates.size());
    for (const FrameCandidate& candidate : *found) {
        SearchCandidate stored;
        stored.position = position;
        stored.length = candidate.length;
        stored.frame = candidate.frame;
        StoreCandidate(analyzer, stored);
    }
    for (int32_t i = 0; i < slot.count; ++i) {
        slot.entries[i].repeatAfter = repeatLength[i] > 0 ? 1 : 0;
        const SearchEntry from = slot.entries[i];
        SearchEntry next;
        next.predPosition = position;
        next.predIndex = i;
        next.unknownCost = from.unknownCost + 1;
        next.errorCost = from.errorCost;
        next.step = kStepUnknown;
        Relax(analyzer, position + 1, next);
        for (size_t c = 0; c < found->size(); ++c) {
            const FrameCandidate& candidate = (*found)[c];
            next.unknownCost = from.unknownCost;
            next.errorCost = from.errorCost + ErrorCost(candidate.frame.errorPercent);
            next.step = kStepFrame;
            next.candidate = firstFrameId + static_cast<int64_t>(c);
            next.contextProtocol = -1;
            next.contextData = 0;
            for (int32_t m = 0; m < matcherCount; ++m) {
                if (matchers[m].protocol == candidate.frame.protocol && matchers[m].matchRepeat) {
                    next.contextProtocol = candidate.frame.protocol;
                    next.contextData = candidate.frame.data;
                }
            }
            Relax(analyzer, position + candidate.length + 1, next);
        }
        if (repeatLength[i] > 0) {
            SearchCandidate stored;
            stored.position = position;
            stored.length = repeatLength[i];
            stored.isRepeat = 1;
            stored.frame.errorPercent = repeatError[i];
            next.unknownCost = from.unknownCost;
            next.errorCost = from.errorCost + ErrorCost(repeatError[i]);
            next.step = kStepRepeat;
            next.candidate = StoreCandidate(analyzer, stored);
            next.contextProtocol = from.contextProtocol;
            next.contextData = from.contextData;
            Relax(analyzer, position + repeatLength[i] + 1, next);
        }
    }
    analyzer->processed = position + 1;
    return true;
}

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
        if (!ProcessPosition(analyzer, complete, &found)) {
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

// The segment ends: settles its cheapest complete parse.
void SettleSegment(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events) {
    EnsureStarted(analyzer);
    ProcessPending(analyzer, true, events);
    const int64_t length = StreamLength(analyzer);
    EntryRef best{-1, 0};
    for (int64_t position = length; position <= length + 1; ++position) {
        const SearchSlot& slot = SlotAt(analyzer, position);
        for (int32_t i = 0; i < slot.count; ++i) {
            if (best.position < 0 || Cheaper(slot.entries[i], SlotAt(analyzer, best.position).entries[best.index])) {
                best = EntryRef{position, i};
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
        SlotAt(analyzer, StreamLength(analyzer) + 1) = SearchSlot();
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
