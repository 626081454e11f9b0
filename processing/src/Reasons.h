#pragma once

// Recording why records are rejected or left unplaced, for the stages that
// decide it. Only called while KeepReasons is set.

#include "modQuorvale.h"

#include <cstdint>

namespace modQuorvale::detail {

// The field that failed the range test, Value1 first as IsInRange tests it.
inline void RecordRangeRejection(std::int32_t value1, std::int32_t value2) {
    const bool value1Failed = !Value1InRange(value1);
    RejectedReasons.push_back(
        {value1Failed ? RejectionCode::Value1OutOfRange : RejectionCode::Value2OutOfRange,
         value1Failed ? value1 : value2, 0, 0, 0});
}

// A record of a key rejected because its first in-range record `first`
// found a later one, `conflict`, with another Value1. Records are named by
// their positions before the sort; RenumberReasons makes them final.
struct KeyConflict {
    std::int32_t key;
    std::int32_t first;
    std::int32_t firstValue1;
    std::int32_t conflict;
    std::int32_t conflictValue1;
};

inline void RecordKeyRejection(const KeyConflict& c, std::int32_t position) {
    if (position == c.conflict) {
        RejectedReasons.push_back(
            {RejectionCode::KeyConflict, c.key, c.conflictValue1, c.firstValue1, c.first});
    } else {
        RejectedReasons.push_back(
            {RejectionCode::KeyConflict, c.key, c.firstValue1, c.conflictValue1, c.conflict});
    }
}

// After the sort: the records that the reasons name, at their final
// positions.
template <typename FinalPosition> void RenumberReasons(FinalPosition finalPosition) {
    for (RejectionReason& reason : RejectedReasons) {
        if (reason.code == RejectionCode::KeyConflict) {
            reason.otherRecord = finalPosition(reason.otherRecord);
        }
    }
}

} // namespace modQuorvale::detail
