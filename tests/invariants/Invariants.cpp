#include "Invariants.h"

#include "modQuorvale.h"

#include <set>
#include <vector>

namespace testing_support {

using namespace modQuorvale;

namespace {

std::int32_t Field(std::int32_t p, std::int32_t column) {
    return RecordTable.Get(p, column);
}

std::string CheckSorted() {
    for (std::int32_t p = 1; p < RecordCount; ++p) {
        if (Field(p - 1, Value2) > Field(p, Value2)) {
            return "Value2 decreases at position " + std::to_string(p);
        }
    }
    return "";
}

std::string CheckOutputList(const PositionList& list, std::int32_t index) {
    const std::string name = "output list " + std::to_string(index);
    if (list.Count() != ListSize) {
        return name + " holds " + std::to_string(list.Count()) + " records";
    }
    std::set<std::int32_t> values;
    for (std::int32_t k = 1; k <= list.Count(); ++k) {
        values.insert(Field(list.Item(k), Value2));
    }
    if (values.size() != static_cast<std::size_t>(ListSize)) {
        return name + " repeats a Value2";
    }
    return "";
}

// Every record once in exactly one of output, not placed and rejected.
std::string CheckPlacedOnce() {
    std::vector<int> seen(static_cast<std::size_t>(RecordCount), 0);
    auto count = [&](const PositionList& list) {
        for (const std::int32_t p : list.Items()) {
            ++seen.at(static_cast<std::size_t>(p));
        }
    };
    for (const auto& list : OutputLists->Items()) {
        count(list);
    }
    count(*NotPlacedList);
    count(*RejectedList);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (seen[static_cast<std::size_t>(p)] != 1) {
            return "position " + std::to_string(p) + " is shown " +
                   std::to_string(seen[static_cast<std::size_t>(p)]) + " times";
        }
    }
    return "";
}

std::string CheckRejected() {
    std::set<std::int32_t> rejected(RejectedList->Items().begin(), RejectedList->Items().end());
    if (rejected.size() != RejectedList->Items().size()) {
        return "RejectedList repeats a position";
    }
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        const bool isRejected = Field(p, Status) == StatusRejected;
        if (isRejected != rejected.contains(p)) {
            return "position " + std::to_string(p) + " has Status " +
                   std::to_string(Field(p, Status)) + " but RejectedList disagrees";
        }
        if (!isRejected && Field(p, Status) != StatusGrouped) {
            return "position " + std::to_string(p) + " was left ungrouped";
        }
    }
    return "";
}

// Groups share a key; an output list is one group or a lead and its partner,
// so its records carry one key, or two with the lead's key first.
std::string CheckKeys() {
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        const PositionList& list = OutputLists->Item(k);
        std::vector<std::int32_t> keys;
        for (const std::int32_t p : list.Items()) {
            if (keys.empty() || keys.back() != Field(p, GroupKey)) {
                keys.push_back(Field(p, GroupKey));
            }
        }
        if (keys.size() > 2) {
            return "output list " + std::to_string(k) + " mixes group keys";
        }
    }
    return "";
}

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

std::string CheckRejection(std::int32_t index) {
    const RejectionReason& r = RejectedReasons[static_cast<std::size_t>(index) - 1];
    const std::int32_t p = RejectedList->Item(index);
    const std::string name = "reason " + std::to_string(index) + " of RejectedList";
    switch (r.code) {
    case RejectionCode::Value1OutOfRange:
        return Field(p, Value1) == r.value && !InRange(r.value, Value1Min, Value1Max)
                   ? ""
                   : name + " names the wrong Value1";
    case RejectionCode::Value2OutOfRange:
        return InRange(Field(p, Value1), Value1Min, Value1Max) && Field(p, Value2) == r.value &&
                       !InRange(r.value, Value2Min, Value2Max)
                   ? ""
                   : name + " names the wrong Value2";
    case RejectionCode::KeyConflict:
        if (Field(p, GroupKey) != r.value || r.value1 == r.otherValue1 ||
            !InRange(r.otherRecord, 0, RecordCount - 1) || r.otherRecord == p ||
            Field(r.otherRecord, GroupKey) != r.value ||
            Field(r.otherRecord, Value1) != r.otherValue1 ||
            Field(r.otherRecord, Status) != StatusRejected) {
            return name + " names no conflict of its key";
        }
        return "";
    }
    return name + " has no known code";
}

// A not-placed group's reason covers its records; the values it says the
// later groups share are the group's own.
std::string CheckNotPlaced(const NotPlacedReason& r, std::int32_t expectedFirst) {
    const std::string name = "reason of the not-placed group at " + std::to_string(r.firstItem);
    if (r.firstItem != expectedFirst || r.size < 1 || r.size >= ListSize ||
        r.firstItem + r.size - 1 > NotPlacedList->Count()) {
        return name + " does not match NotPlacedList";
    }
    if (r.outsideWindow < 0 || r.sharingValue2 < 0 ||
        (r.sharingValue2 > 0) != (r.sharedValues != 0)) {
        return name + " has impossible counts";
    }
    std::int32_t own = 0;
    for (std::int32_t k = r.firstItem; k < r.firstItem + r.size; ++k) {
        own |= 1 << (Field(NotPlacedList->Item(k), Value2) - Value2Min);
    }
    return (r.sharedValues & ~own) == 0 ? "" : name + " shares values the group does not hold";
}

std::string CheckReasons() {
    if (RejectedReasons.size() != RejectedList->Items().size()) {
        return "not one reason per rejected record";
    }
    for (std::int32_t i = 1; i <= RejectedList->Count(); ++i) {
        if (std::string problem = CheckRejection(i); !problem.empty()) {
            return problem;
        }
    }
    std::int32_t next = 1;
    for (const NotPlacedReason& reason : NotPlacedReasons) {
        if (std::string problem = CheckNotPlaced(reason, next); !problem.empty()) {
            return problem;
        }
        next += reason.size;
    }
    return next == NotPlacedList->Count() + 1 ? "" : "not-placed records without a reason";
}

} // namespace

std::string CheckRunInvariants() {
    if (PendingGroups.has_value()) {
        return "PendingGroups was not released";
    }
    for (const auto& check : {CheckSorted, CheckPlacedOnce, CheckRejected, CheckKeys}) {
        if (std::string problem = check(); !problem.empty()) {
            return problem;
        }
    }
    if (KeepReasons) {
        if (std::string problem = CheckReasons(); !problem.empty()) {
            return problem;
        }
    }
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        if (std::string problem = CheckOutputList(OutputLists->Item(k), k); !problem.empty()) {
            return problem;
        }
    }
    return "";
}

} // namespace testing_support
