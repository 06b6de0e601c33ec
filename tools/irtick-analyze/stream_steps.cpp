// The steps of the parse search (see stream_search.cpp): what each
// position offers, and keeping the cheapest way of reaching each position.
#include "stream_steps.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr double kErrorCostPerPercent = 100.0;

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

int64_t ErrorCost(double errorPercent) {
    return static_cast<int64_t>(std::lround(errorPercent * kErrorCostPerPercent));
}

// For each byte value, the matchers (bit m for matcher m) that can begin a
// frame with it.  A matcher that has settled on "no frame" from one byte
// stays so whatever follows, so asking each with that byte alone is exact.
const uint32_t* ListFirstByteMatchers() {
    static const std::vector<uint32_t> table = [] {
        std::vector<uint32_t> built(256, 0);
        int32_t count = 0;
        const ProtocolMatcher* matchers = ListProtocolMatchers(&count);
        std::vector<FrameCandidate> found;
        for (int32_t value = 0; value < 256; ++value) {
            const uint8_t byte = static_cast<uint8_t>(value);
            const MatchInput input = {&byte, 1, false, 0};
            for (int32_t m = 0; m < count; ++m) {
                found.clear();
                if (matchers[m].matchFrames(input, &found) == MatchNeedsMore || !found.empty()) {
                    built[static_cast<size_t>(value)] |= 1u << m;
                }
            }
        }
        return built;
    }();
    return table.data();
}

}  // namespace

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

const SearchCandidate& CandidateById(const StreamAnalyzer* analyzer, int64_t id) {
    return analyzer->candidates[static_cast<size_t>(id - analyzer->candidateBase)];
}

bool TakePositionSteps(StreamAnalyzer* analyzer, bool complete, std::vector<FrameCandidate>* found) {
    const int64_t position = analyzer->processed;
    const int64_t offset = position - analyzer->pendingStart;
    const MatchInput input = {analyzer->pending.data() + offset,
                              static_cast<int32_t>(std::min<int64_t>(
                                  static_cast<int64_t>(analyzer->pending.size()) - offset, INT32_MAX)),
                              complete, position};
    int32_t matcherCount = 0;
    const ProtocolMatcher* matchers = ListProtocolMatchers(&matcherCount);
    found->clear();
    const uint32_t possible = ListFirstByteMatchers()[input.bytes[0]];
    for (int32_t m = 0; m < matcherCount; ++m) {
        if ((possible & (1u << m)) != 0 && matchers[m].matchFrames(input, found) == MatchNeedsMore) {
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
