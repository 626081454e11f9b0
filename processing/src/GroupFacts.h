#pragma once

// What pairing needs to know of each pending group. Grouping has these
// values at hand as it builds the groups; handing them over spares pairing
// a read of every member's scattered table row.

#include "modQuorvale.h"

#include <cstdint>
#include <vector>

namespace modQuorvale::detail {

// A Value2 set with a value outside Value2Min to Value2Max.
inline constexpr std::int32_t OutsideSet = -1;

struct GroupFacts {
    std::int32_t firstMember; // the position, to tell whose facts these are
    std::int32_t size;
    std::int32_t value1;    // of the first member
    std::int32_t value2Set; // bit v - Value2Min for each member's Value2 v, or OutsideSet
};

// One per group of PendingGroups, in its order; set by BuildGroups and
// released by PairGroups. Pairing trusts them only while they still match
// the groups' sizes and first members.
extern std::vector<GroupFacts> PendingFacts;

inline std::int32_t Value2Bit(std::int32_t value2) {
    return value2 >= Value2Min && value2 <= Value2Max ? 1 << (value2 - Value2Min) : OutsideSet;
}

} // namespace modQuorvale::detail
