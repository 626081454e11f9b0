#include "Reference.h"

namespace reference {

using namespace modQuorvale;

namespace {

std::int32_t Field(std::int32_t position, std::int32_t column) {
    return RecordTable.Get(position, column);
}

// Always from the top: a record passed over as a duplicate may seed later.
std::int32_t FindSeed() {
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        if (Field(p, Status) == StatusFree) {
            return p;
        }
    }
    return -1;
}

bool IsDuplicate(const PositionList& group, std::int32_t j) {
    for (std::int32_t k = 1; k <= group.Count(); ++k) {
        const std::int32_t member = group.Item(k);
        if (Field(member, Value1) == Field(j, Value1) &&
            Field(member, Value2) == Field(j, Value2)) {
            return true;
        }
    }
    return false;
}

void Join(PositionList& group, std::int32_t position) {
    group.Add(position);
    RecordTable.Set(position, Status, StatusGrouped);
}

PositionList GrowGroup(std::int32_t seed) {
    PositionList group;
    Join(group, seed);
    // The size limit is tested before every candidate.
    for (std::int32_t j = seed + 1; j <= RecordCount - 1 && group.Count() < ListSize; ++j) {
        if (Field(j, Status) != StatusFree || Field(j, GroupKey) != Field(seed, GroupKey)) {
            continue;
        }
        if (!IsDuplicate(group, j)) {
            Join(group, j);
        }
    }
    return group;
}

} // namespace

void BuildGroups() {
    PendingGroups.emplace();
    for (std::int32_t seed = FindSeed(); seed >= 0; seed = FindSeed()) {
        PendingGroups->Add(GrowGroup(seed));
    }
}

} // namespace reference
