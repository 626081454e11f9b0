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
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        if (std::string problem = CheckOutputList(OutputLists->Item(k), k); !problem.empty()) {
            return problem;
        }
    }
    return "";
}

} // namespace testing_support
