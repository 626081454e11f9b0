#include "modQuorvale.h"
#include "platform/FatalError.h"
#include "platform/Guarantee.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <span>
#include <vector>

// Gives the same output lists and NotPlacedList as scanning the pending
// groups behind every lead, in time linear in the number of groups. Every
// group that leads has all groups before it gone, so the first qualifying
// partner is the earliest remaining group among the buckets that fit:
// buckets keyed by size, first Value1 and the set of Value2, each holding
// its groups in list order. What grouping guarantees gives every group a
// bucket: sizes 1 to 5, Value1 1 to 48, distinct Value2 1 to 7.

namespace modQuorvale {

namespace {

constexpr std::int32_t MaskCount = 1 << (Value2Max - Value2Min + 1);
constexpr std::int32_t Value1Span = Value1Max - Value1Min + 1;

void AppendAll(PositionList& target, const PositionList& source) {
    for (const std::int32_t position : source.Items()) {
        target.Add(position);
    }
}

// What grouping guarantees: one set of facts per pending group, telling its
// size (1 to ListSize), its first member's Value1 (in range) and the set of
// its members' Value2, which are in range and distinct.
[[maybe_unused]] void ExpectPairable() {
    const std::vector<PositionList>& groups = PendingGroups->Items();
    platform::Expect(PendingFacts.size() == groups.size(), "one PendingFacts per pending group");
    for (std::size_t g = 0; g < groups.size(); ++g) {
        std::int32_t set = 0;
        for (const std::int32_t p : groups[g].Items()) {
            platform::Expect(IsInRange(p) && RecordTable.Get(p, Status) == StatusGrouped &&
                                 (set & Value2Bit(RecordTable.Get(p, Value2))) == 0,
                             "a group's members are grouped, in range, of distinct Value2");
            set |= Value2Bit(RecordTable.Get(p, Value2));
        }
        const PendingGroupFacts& f = PendingFacts[g];
        platform::Expect(f.size == groups[g].Count() && f.size >= 1 && f.size <= ListSize &&
                             f.value1 == RecordTable.Get(groups[g].Item(1), Value1) &&
                             f.value2Set == set,
                         "PendingFacts describes its group");
    }
}

// The number of values in each Value2 set. A group's Value2 are distinct,
// so this is also its size.
constexpr auto SetSize = [] {
    std::array<std::int32_t, MaskCount> sizes{};
    for (std::size_t mask = 0; mask < sizes.size(); ++mask) {
        sizes[mask] = std::popcount(static_cast<unsigned>(mask));
    }
    return sizes;
}();

// Buckets by Value2 set (which tells the size) and first Value1, Value1
// innermost and padded by the window on both sides: the buckets a lead may
// draw on then form rows of 2 * PairWindow + 1 neighbours, scanned without
// bounds.
constexpr std::int32_t WindowWidth = 2 * PairWindow + 1;
constexpr std::int32_t PaddedSpan = Value1Span + 2 * PairWindow;

std::size_t BucketOf(std::int32_t set, std::int32_t value1) {
    return static_cast<std::size_t>(set) * PaddedSpan +
           static_cast<std::size_t>(value1 - Value1Min + PairWindow);
}

// For a lead's Value2 set, the sets that share nothing with it, by the
// number of values they hold.
struct DisjointSets {
    static constexpr std::size_t Most = 35; // 3 or 4 of 7 values
    std::array<std::size_t, ListSize> count{};
    std::array<std::array<std::int8_t, Most>, ListSize> sets{};

    std::span<const std::int8_t> Holding(std::int32_t values) const {
        const auto n = static_cast<std::size_t>(values);
        return std::span(sets[n]).first(count[n]);
    }
};

constexpr auto DisjointTable = [] {
    std::array<DisjointSets, MaskCount> table{};
    for (std::size_t lead = 0; lead < table.size(); ++lead) {
        for (std::int32_t mask = 1; mask < MaskCount; ++mask) {
            const auto values = static_cast<std::size_t>(SetSize[static_cast<std::size_t>(mask)]);
            if ((static_cast<std::size_t>(mask) & lead) == 0 && values < ListSize) {
                DisjointSets& d = table[lead];
                d.sets[values][d.count[values]++] = static_cast<std::int8_t>(mask);
            }
        }
    }
    return table;
}();

// The Value2 of each member of a group, in its order.
std::vector<std::int32_t> LeadValue2s(const PositionList& lead) {
    std::vector<std::int32_t> values;
    values.reserve(static_cast<std::size_t>(ListSize));
    for (const std::int32_t position : lead.Items()) {
        values.push_back(RecordTable.Get(position, Value2));
    }
    return values;
}

// The bit of the Value2 that the conflict test finds first between a lead
// and a group of this Value2 set: the lead's first member, in order, whose
// Value2 the set holds.
std::int32_t FirstSharedBit(const std::vector<std::int32_t>& leadValue2s, std::int32_t set) {
    for (const std::int32_t value2 : leadValue2s) {
        if ((set & Value2Bit(value2)) != 0) {
            return Value2Bit(value2);
        }
    }
    return 0;
}

// For each bucket its earliest remaining group, and for each group the next
// one of its bucket. A group leaves only as a lead or a partner, and then it
// is the earliest of its bucket; so removing it just moves that bucket on.
class Buckets {
public:
    static constexpr std::int32_t None = INT32_MAX;

    // With `counting`, each bucket also keeps its number of groups, for the
    // reasons of groups left unplaced.
    Buckets(const std::vector<PendingGroupFacts>& facts, bool counting)
        : facts_(facts), earliest_(BucketCount, None), nextInBucket_(facts.size(), None) {
        if (counting) {
            inBucket_.assign(BucketCount, 0);
        }
        for (std::size_t g = facts.size(); g-- > 0;) {
            if (facts[g].size < ListSize) {
                const std::size_t bucket = BucketOf(facts[g].value2Set, facts[g].value1);
                std::int32_t& first = earliest_[bucket];
                nextInBucket_[g] = first;
                first = static_cast<std::int32_t>(g);
                ++groupsOfSet_[static_cast<std::size_t>(facts[g].value2Set)];
                if (counting) {
                    ++inBucket_[bucket];
                }
            }
        }
    }

    // The earliest group of that Value2 set whose Value1 lies within the
    // window around value1.
    std::int32_t EarliestNear(std::int32_t set, std::int32_t value1) const {
        if (groupsOfSet_[static_cast<std::size_t>(set)] == 0) {
            return None; // the usual case for most sets
        }
        const std::int32_t* row = earliest_.data() + BucketOf(set, value1 - PairWindow);
        std::int32_t earliest = None;
        for (std::int32_t i = 0; i < WindowWidth; ++i) {
            earliest = std::min(earliest, row[i]);
        }
        return earliest;
    }

    void Remove(std::size_t g) {
        const PendingGroupFacts& f = facts_[g];
        if (f.size < ListSize) {
            const std::size_t bucket = BucketOf(f.value2Set, f.value1);
            earliest_[bucket] = nextInBucket_[g];
            --groupsOfSet_[static_cast<std::size_t>(f.value2Set)];
            if (!inBucket_.empty()) {
                --inBucket_[bucket];
            }
        }
    }

    // Why no remaining group completes a lead that found no partner: the
    // groups of the size it needs, outside its window or else (none being
    // disjoint) sharing a Value2. Needs `counting`.
    NotPlacedReason WhyNoPartner(const PendingGroupFacts& lead,
                                 const PositionList& leadGroup) const {
        const std::int32_t need = ListSize - lead.size;
        NotPlacedReason reason{0, lead.size, 0, 0, 0};
        std::array<std::int32_t, MaskCount> sharingSets;
        std::size_t sharingCount = 0;
        for (std::int32_t mask = 0; mask < MaskCount; ++mask) {
            const std::int32_t ofSet = groupsOfSet_[static_cast<std::size_t>(mask)];
            if (ofSet == 0 || SetSize[static_cast<std::size_t>(mask)] != need) {
                continue;
            }
            const std::int32_t* row = inBucket_.data() + BucketOf(mask, lead.value1 - PairWindow);
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
                reason.sharedValues |= FirstSharedBit(leadValue2s, sharingSets[k]);
            }
        }
        return reason;
    }

private:
    static constexpr std::size_t BucketCount = std::size_t{MaskCount} * PaddedSpan;

    const std::vector<PendingGroupFacts>& facts_;
    std::vector<std::int32_t> earliest_;
    std::vector<std::int32_t> nextInBucket_;
    std::vector<std::int32_t> inBucket_; // empty unless counting
    // Remaining groups per Value2 set, whatever their Value1.
    std::array<std::int32_t, MaskCount> groupsOfSet_{};
};

// Before the group's records are appended.
void RecordNotPlaced(NotPlacedReason reason) {
    reason.firstItem = NotPlacedList->Count() + 1;
    NotPlacedReasons.push_back(reason);
}

void RecordLead(std::int32_t size) {
    if (KeepReasons) {
        OutputLeadSizes.push_back(static_cast<std::int8_t>(size));
    }
}

void PairByBuckets(ListOfLists& pending, const std::vector<PendingGroupFacts>& facts) {
    Buckets buckets(facts, KeepReasons);
    std::vector<char> gone(facts.size(), 0);
    OutputLists->Reserve(OutputLists->Items().size() + facts.size());
    if (KeepReasons) {
        OutputLeadSizes.reserve(facts.size()); // a byte per group, never grown
    }
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
        const PendingGroupFacts& lead = facts[g];
        const std::int32_t need = ListSize - lead.size;
        if (need == 0) {
            RecordLead(lead.size);
            OutputLists->Add(std::move(group(g)));
            continue;
        }
        std::int32_t partner = Buckets::None;
        for (const std::int32_t mask :
             DisjointTable[static_cast<std::size_t>(lead.value2Set)].Holding(need)) {
            partner = std::min(partner, buckets.EarliestNear(mask, lead.value1));
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
        RecordLead(lead.size);
        OutputLists->Add(std::move(output));
    }
}

} // namespace

void PairGroups() {
    const platform::Building building("pairing " + std::to_string(PendingGroups->Count()) +
                                      " groups");
    if constexpr (platform::CheckGuarantees) {
        ExpectPairable();
    }
    PairByBuckets(*PendingGroups, PendingFacts);
    PendingGroups.reset();
    PendingFacts = {};
}

} // namespace modQuorvale
