#include "GroupFacts.h"
#include "Reasons.h"
#include "modQuorvale.h"
#include "platform/Checked.h"
#include "platform/FatalError.h"

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

// Gives the same output lists and NotPlacedList as scanning the pending
// groups behind every lead, in time linear in the number of groups. Every
// group that leads has all groups before it gone, so the first qualifying
// partner is the earliest remaining group among the buckets that fit:
// buckets keyed by size, first Value1 and the set of Value2, each holding
// its groups in list order. That needs what validation guarantees (Value1
// 1 to 48, Value2 1 to 7, sizes 1 to 5); state that breaks it is paired by
// the scan itself.

namespace modQuorvale {

namespace {

constexpr std::int32_t MaskCount = 1 << (Value2Max - Value2Min + 1);
constexpr std::int32_t Value1Span = Value1Max - Value1Min + 1;

std::int32_t Field(std::int32_t position, std::int32_t column) {
    return RecordTable.Get(position, column);
}

void AppendAll(PositionList& target, const PositionList& source) {
    for (const std::int32_t position : source.Items()) {
        target.Add(position);
    }
}

void EmitPair(const PositionList& lead, const PositionList* partner) {
    PositionList output;
    output.Reserve(static_cast<std::size_t>(ListSize));
    AppendAll(output, lead);
    if (partner != nullptr) {
        AppendAll(output, *partner);
    }
    OutputLists->Add(std::move(output));
}

// Values in a Value2 set, from a table: without a popcount instruction in
// the baseline target, std::popcount is a library call.
std::int32_t ValueCount(std::int32_t mask) {
    static constexpr auto counts = [] {
        std::array<std::int8_t, MaskCount> table{};
        for (std::size_t m = 1; m < table.size(); ++m) {
            table[m] = static_cast<std::int8_t>(table[m >> 1] + (m & 1));
        }
        return table;
    }();
    return counts[static_cast<std::size_t>(mask)];
}

using detail::GroupFacts;

// A group's facts from the table, for groups that grouping did not hand
// over. Groups of five are never partners: their Value2 set is not needed.
GroupFacts ReadFacts(const PositionList& group) {
    GroupFacts f{0, group.Count(), 0, 0};
    if (f.size < 1 || f.size >= ListSize) {
        return f;
    }
    f.firstMember = group.Item(1);
    f.value1 = Field(f.firstMember, Value1);
    for (const std::int32_t position : group.Items()) {
        const std::int32_t bit = detail::Value2Bit(Field(position, Value2));
        f.value2Set = bit == detail::OutsideSet ? bit : f.value2Set | bit;
        if (bit == detail::OutsideSet) {
            break;
        }
    }
    return f;
}

bool FactsMatch(const std::vector<PositionList>& groups, const std::vector<GroupFacts>& facts) {
    if (facts.size() != groups.size()) {
        return false;
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (facts[g].size != groups[g].Count() || facts[g].size < 1 ||
            facts[g].firstMember != groups[g].Item(1)) {
            return false;
        }
    }
    return true;
}

// The facts of every group: those that grouping handed over, unless the
// groups have been made or changed since.
std::vector<GroupFacts> FactsOf(const std::vector<PositionList>& groups) {
    std::vector<GroupFacts> facts = std::move(detail::PendingFacts);
    detail::PendingFacts = {};
    if (!FactsMatch(groups, facts)) {
        facts.clear();
        facts.reserve(groups.size());
        for (const PositionList& group : groups) {
            facts.push_back(ReadFacts(group));
        }
    }
    return facts;
}

// Whether the buckets cover every group; `exactMasks` tells whether each
// set has as many values as its group has members.
bool BucketsCover(const std::vector<GroupFacts>& facts, bool& exactMasks) {
    exactMasks = true;
    for (const GroupFacts& f : facts) {
        if (f.size < 1 || f.size > ListSize) {
            return false;
        }
        if (f.size < ListSize) {
            if (f.value1 < Value1Min || f.value1 > Value1Max || f.value2Set == detail::OutsideSet) {
                return false;
            }
            exactMasks = exactMasks && ValueCount(f.value2Set) == f.size;
        }
    }
    return true;
}

// Buckets by size, Value2 set and first Value1, Value1 innermost and padded
// by the window on both sides: the buckets a lead may draw on then form
// rows of 2 * PairWindow + 1 neighbours, scanned without bounds.
constexpr std::int32_t WindowWidth = 2 * PairWindow + 1;
constexpr std::int32_t PaddedSpan = Value1Span + 2 * PairWindow;

// One row of buckets per group size and Value2 set.
std::size_t SetOf(std::int32_t size, std::int32_t mask) {
    return static_cast<std::size_t>(size - 1) * MaskCount + static_cast<std::size_t>(mask);
}

std::size_t BucketOf(std::int32_t size, std::int32_t value1, std::int32_t mask) {
    return SetOf(size, mask) * PaddedSpan +
           static_cast<std::size_t>(value1 - Value1Min + PairWindow);
}

// For each Value2 set, the sets that share nothing with it; with exact
// masks only those with as many values as the need.
std::vector<std::vector<std::int32_t>> DisjointMasks(std::int32_t lead, bool exact) {
    std::vector<std::vector<std::int32_t>> byNeed(ListSize);
    for (std::int32_t mask = 1; mask < MaskCount; ++mask) {
        if ((mask & lead) != 0) {
            continue;
        }
        for (std::int32_t need = 1; need < ListSize; ++need) {
            if (!exact || ValueCount(mask) == need) {
                byNeed[static_cast<std::size_t>(need)].push_back(mask);
            }
        }
    }
    return byNeed;
}

// The Value2 of each member of a group, in its order.
std::vector<std::int32_t> LeadValue2s(const PositionList& lead) {
    std::vector<std::int32_t> values;
    values.reserve(static_cast<std::size_t>(ListSize));
    for (const std::int32_t position : lead.Items()) {
        values.push_back(Field(position, Value2));
    }
    return values;
}

// For each bucket its earliest remaining group, and for each group the next
// one of its bucket. A group leaves only as a lead or a partner, and then it
// is the earliest of its bucket; so removing it just moves that bucket on.
class Buckets {
public:
    static constexpr std::int32_t None = INT32_MAX;

    // The bucket heads live on between runs, all None, so that a small run
    // does not pay for clearing every bucket; the destructor restores that.
    // With `counting`, each bucket also keeps its number of groups, for the
    // reasons of groups left unplaced.
    Buckets(const std::vector<GroupFacts>& facts, bool counting)
        : facts_(facts), earliest_(Heads()), nextInBucket_(facts.size(), None) {
        if (counting) {
            inBucket_.assign(BucketCount, 0);
        }
        for (std::size_t g = facts.size(); g-- > 0;) {
            if (facts[g].size < ListSize) {
                const std::size_t bucket =
                    BucketOf(facts[g].size, facts[g].value1, facts[g].value2Set);
                std::int32_t& first = earliest_[bucket];
                nextInBucket_[g] = first;
                first = static_cast<std::int32_t>(g);
                ++groupsOfSet_[SetOf(facts[g].size, facts[g].value2Set)];
                if (counting) {
                    ++inBucket_[bucket];
                }
            }
        }
    }

    ~Buckets() {
        for (const GroupFacts& f : facts_) {
            if (f.size < ListSize) {
                earliest_[BucketOf(f.size, f.value1, f.value2Set)] = None;
            }
        }
    }
    Buckets(const Buckets&) = delete;
    Buckets& operator=(const Buckets&) = delete;

    // The earliest group of that size and Value2 set whose Value1 lies
    // within the window around value1.
    std::int32_t EarliestNear(std::int32_t size, std::int32_t value1, std::int32_t mask) const {
        if (groupsOfSet_[SetOf(size, mask)] == 0) {
            return None; // the usual case for most sets
        }
        const std::int32_t* row = earliest_.data() + BucketOf(size, value1 - PairWindow, mask);
        std::int32_t earliest = None;
        for (std::int32_t i = 0; i < WindowWidth; ++i) {
            earliest = std::min(earliest, row[i]);
        }
        return earliest;
    }

    void Remove(std::size_t g) {
        const GroupFacts& f = facts_[g];
        if (f.size < ListSize) {
            const std::size_t bucket = BucketOf(f.size, f.value1, f.value2Set);
            earliest_[bucket] = nextInBucket_[g];
            --groupsOfSet_[SetOf(f.size, f.value2Set)];
            if (!inBucket_.empty()) {
                --inBucket_[bucket];
            }
        }
    }

    // Why no remaining group completes a lead that found no partner: the
    // groups of the size it needs, outside its window or else (none being
    // disjoint) sharing a Value2. Needs `counting`.
    NotPlacedReason WhyNoPartner(const GroupFacts& lead, const PositionList& leadGroup) const {
        const std::int32_t need = ListSize - lead.size;
        NotPlacedReason reason{0, lead.size, 0, 0, 0};
        std::array<std::int32_t, MaskCount> sharingSets;
        std::size_t sharingCount = 0;
        for (std::int32_t mask = 0; mask < MaskCount; ++mask) {
            const std::int32_t ofSet = groupsOfSet_[SetOf(need, mask)];
            if (ofSet == 0) {
                continue;
            }
            const std::int32_t* row =
                inBucket_.data() + BucketOf(need, lead.value1 - PairWindow, mask);
            std::int32_t near = 0;
            for (std::int32_t i = 0; i < WindowWidth; ++i) {
                near += row[i];
            }
            reason.outsideWindow += ofSet - near;
            reason.sharingValue2 += near;
            if (near > 0) {
                sharingSets[sharingCount++] = mask;
            }
        }
        // Which value the conflict test meets first depends on the order of
        // the lead's members: read their rows, but only when it matters.
        if (sharingCount > 0) {
            const std::vector<std::int32_t> leadValue2s = LeadValue2s(leadGroup);
            for (std::size_t k = 0; k < sharingCount; ++k) {
                reason.sharedValues |=
                    detail::FirstSharedBit(leadValue2s, [&](std::int32_t value2) {
                        return (sharingSets[k] & (1 << (value2 - Value2Min))) != 0;
                    });
            }
        }
        return reason;
    }

private:
    static constexpr std::size_t BucketCount =
        static_cast<std::size_t>(ListSize - 1) * MaskCount * PaddedSpan;

    static std::vector<std::int32_t>& Heads() {
        static std::vector<std::int32_t> heads(BucketCount, None);
        return heads;
    }

    const std::vector<GroupFacts>& facts_;
    std::vector<std::int32_t>& earliest_;
    std::vector<std::int32_t> nextInBucket_;
    std::vector<std::int32_t> inBucket_; // empty unless counting
    // Remaining groups per size and Value2 set, whatever their Value1.
    std::array<std::int32_t, static_cast<std::size_t>(ListSize - 1) * MaskCount> groupsOfSet_{};
};

using MaskTable = std::array<std::vector<std::vector<std::int32_t>>, MaskCount>;

const MaskTable& DisjointMaskTable(bool exact) {
    static const auto table = [] {
        std::array<MaskTable, 2> byExactness;
        for (std::int32_t mask = 0; mask < MaskCount; ++mask) {
            for (const bool e : {false, true}) {
                byExactness[e ? 1 : 0][static_cast<std::size_t>(mask)] = DisjointMasks(mask, e);
            }
        }
        return byExactness;
    }();
    return table[exact ? 1 : 0];
}

// Before the group's records are appended. A group without records (never
// built by grouping) leaves no line to explain.
void RecordNotPlaced(NotPlacedReason reason) {
    if (reason.size > 0) {
        reason.firstItem = NotPlacedList->Count() + 1;
        NotPlacedReasons.push_back(reason);
    }
}

void PairByBuckets(ListOfLists& pending, const std::vector<GroupFacts>& facts, bool exactMasks) {
    Buckets buckets(facts, KeepReasons);
    const auto& disjoint = DisjointMaskTable(exactMasks);
    std::vector<char> gone(facts.size(), 0);
    OutputLists->Reserve(OutputLists->Items().size() + facts.size());
    // Groups are moved out: the pending list is released afterwards anyway.
    auto group = [&](std::size_t g) -> PositionList& {
        return pending.Item(static_cast<std::int32_t>(g + 1));
    };
    for (std::size_t g = 0; g < facts.size(); ++g) {
        if (gone[g]) {
            continue;
        }
        gone[g] = 1;
        buckets.Remove(g);
        const GroupFacts& lead = facts[g];
        const std::int32_t need = ListSize - lead.size;
        if (need == 0) {
            OutputLists->Add(std::move(group(g)));
            continue;
        }
        std::int32_t partner = Buckets::None;
        for (const std::int32_t mask :
             disjoint[static_cast<std::size_t>(lead.value2Set)][static_cast<std::size_t>(need)]) {
            partner = std::min(partner, buckets.EarliestNear(need, lead.value1, mask));
        }
        if (partner == Buckets::None) {
            if (KeepReasons) {
                RecordNotPlaced(buckets.WhyNoPartner(lead, group(g)));
            }
            AppendAll(*NotPlacedList, group(g));
            continue;
        }
        const auto p = static_cast<std::size_t>(partner);
        gone[p] = 1;
        buckets.Remove(p);
        PositionList output = std::move(group(g));
        // Free when the group was built with room for five, as it usually is.
        output.Reserve(static_cast<std::size_t>(ListSize));
        AppendAll(output, group(p));
        OutputLists->Add(std::move(output));
    }
}

// The scan as first written, for state outside what the buckets cover.
bool WithinWindow(const PositionList& lead, const PositionList& candidate) {
    const double d =
        platform::CheckedSub(Field(candidate.Item(1), Value1), Field(lead.Item(1), Value1));
    return d >= -double{PairWindow} && d <= double{PairWindow};
}

bool SharesValue2(const PositionList& lead, const PositionList& candidate) {
    for (const std::int32_t a : lead.Items()) {
        for (const std::int32_t b : candidate.Items()) {
            if (Field(a, Value2) == Field(b, Value2)) {
                return true;
            }
        }
    }
    return false;
}

// Each remaining group behind the lead of the size it needs, by the first
// test it fails.
NotPlacedReason WhyNoPartner(const std::vector<PositionList>& groups, const std::vector<char>& gone,
                             std::size_t lead) {
    const PositionList& leadGroup = groups[lead];
    const std::int32_t need = ListSize - leadGroup.Count();
    NotPlacedReason reason{0, leadGroup.Count(), 0, 0, 0};
    const std::vector<std::int32_t> leadValue2s = LeadValue2s(leadGroup);
    for (std::size_t c = lead + 1; c < groups.size(); ++c) {
        const PositionList& candidate = groups[c];
        if (gone[c] || candidate.Count() != need) {
            continue;
        }
        if (!WithinWindow(leadGroup, candidate)) {
            ++reason.outsideWindow;
            continue;
        }
        ++reason.sharingValue2;
        reason.sharedValues |= detail::FirstSharedBit(leadValue2s, [&](std::int32_t value2) {
            const auto& items = candidate.Items();
            return std::any_of(items.begin(), items.end(),
                               [&](std::int32_t b) { return Field(b, Value2) == value2; });
        });
    }
    return reason;
}

void PairByScan(const std::vector<PositionList>& groups) {
    std::vector<char> gone(groups.size(), 0);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (gone[g]) {
            continue;
        }
        gone[g] = 1;
        const PositionList& lead = groups[g];
        const std::int32_t need = ListSize - lead.Count();
        if (need == 0) {
            EmitPair(lead, nullptr);
            continue;
        }
        std::size_t partner = g + 1;
        while (partner < groups.size() &&
               (gone[partner] || groups[partner].Count() != need ||
                !WithinWindow(lead, groups[partner]) || SharesValue2(lead, groups[partner]))) {
            ++partner;
        }
        if (partner < groups.size()) {
            gone[partner] = 1;
            EmitPair(lead, &groups[partner]);
        } else {
            if (KeepReasons) {
                RecordNotPlaced(WhyNoPartner(groups, gone, g));
            }
            AppendAll(*NotPlacedList, lead);
        }
    }
}

} // namespace

void PairGroups() {
    const platform::Building building("pairing " + std::to_string(PendingGroups->Count()) +
                                      " groups");
    const std::vector<PositionList>& groups = PendingGroups->Items();
    const std::vector<GroupFacts> facts = FactsOf(groups);
    bool exactMasks = true;
    if (BucketsCover(facts, exactMasks)) {
        PairByBuckets(*PendingGroups, facts, exactMasks);
    } else {
        PairByScan(groups);
    }
    PendingGroups.reset();
}

} // namespace modQuorvale
