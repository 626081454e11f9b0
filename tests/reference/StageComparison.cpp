#include "StageComparison.h"

#include "Reference.h"
#include "platform/FatalError.h"

#include <array>
#include <sstream>

namespace testing_support {

using namespace modQuorvale;

void SetTable(const std::vector<Record>& records) {
    RecordCount = static_cast<std::int32_t>(records.size());
    RecordTable.Create(RecordCount, FieldCount);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        const Record& record = records[static_cast<std::size_t>(p)];
        RecordTable.Set(p, Value1, record.value1);
        RecordTable.Set(p, Value2, record.value2);
        RecordTable.Set(p, GroupKey, record.groupKey);
        RecordTable.Set(p, Spare, record.spare);
        RecordTable.Set(p, Status, record.status);
    }
}

std::vector<Record> TableRows() {
    std::vector<Record> rows;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        rows.push_back({RecordTable.Get(p, Value1), RecordTable.Get(p, Value2),
                        RecordTable.Get(p, GroupKey), RecordTable.Get(p, Spare),
                        RecordTable.Get(p, Status)});
    }
    return rows;
}

std::vector<std::int32_t> Positions(const PositionList& list) {
    return {list.Items().begin(), list.Items().end()};
}

Lists Positions(const ListOfLists& lists) {
    Lists result;
    for (const auto& list : lists.Items()) {
        result.push_back(Positions(list));
    }
    return result;
}

namespace {

template <typename List, typename Out>
std::optional<Out> Snapshot(const std::optional<List>& list) {
    return list ? std::optional<Out>(Positions(*list)) : std::nullopt;
}

std::string Describe(const std::optional<std::vector<std::int32_t>>& list) {
    if (!list) {
        return "(none)";
    }
    std::ostringstream out;
    for (const std::int32_t p : *list) {
        out << p << ' ';
    }
    return out.str();
}

std::string Describe(const std::vector<std::int8_t>& sizes) {
    return Describe(std::optional(std::vector<std::int32_t>(sizes.begin(), sizes.end())));
}

std::string Describe(const std::optional<Lists>& lists) {
    if (!lists) {
        return "(none)";
    }
    std::ostringstream out;
    for (const auto& list : *lists) {
        out << '(' << Describe(std::optional(list)) << ')';
    }
    return out.str();
}

std::string Describe(const std::string& text) {
    return '"' + text + '"';
}

std::string Describe(const std::vector<RejectionReason>& reasons) {
    std::ostringstream out;
    for (const RejectionReason& r : reasons) {
        out << '(' << static_cast<int>(r.code) << ' ' << r.value << ' ' << r.value1 << ' '
            << r.otherValue1 << ' ' << r.otherRecord << ')';
    }
    return out.str();
}

std::string Describe(const std::vector<NotPlacedReason>& reasons) {
    std::ostringstream out;
    for (const NotPlacedReason& r : reasons) {
        out << '(' << r.firstItem << ' ' << r.size << ' ' << r.outsideWindow << ' '
            << r.sharingValue2 << ' ' << r.sharedValues << ')';
    }
    return out.str();
}

template <typename T>
void Compare(std::ostringstream& out, const char* name, const T& expected, const T& actual) {
    if (out.tellp() == 0 && expected != actual) {
        out << name << ": expected " << Describe(expected) << " got " << Describe(actual);
    }
}

// Runs a stage the way the start routine would see it: a fatal error ends
// it, and its message becomes part of the state.
State RunStage(void (*stage)()) {
    std::string failure;
    try {
        stage();
    } catch (const platform::FatalError& error) {
        failure = error.what();
    }
    State state = Capture();
    state.failure = failure;
    return state;
}

using Stages = std::array<void (*)(), 3>;
constexpr const char* StageNames[] = {"ValidateAndSort", "BuildGroups", "PairGroups"};
constexpr Stages ReferenceStages = {reference::ValidateAndSort, reference::BuildGroups,
                                    reference::PairGroups};
constexpr Stages FastStages = {ValidateAndSort, BuildGroups, PairGroups};

} // namespace

State Capture() {
    return {TableRows(),
            Snapshot<ListOfLists, Lists>(OutputLists),
            Snapshot<PositionList, std::vector<std::int32_t>>(NotPlacedList),
            Snapshot<PositionList, std::vector<std::int32_t>>(RejectedList),
            Snapshot<ListOfLists, Lists>(PendingGroups),
            {},
            RejectedReasons,
            NotPlacedReasons,
            OutputLeadSizes};
}

std::string Difference(const State& expected, const State& actual) {
    std::ostringstream out;
    Compare(out, "fatal error", expected.failure, actual.failure);
    if (!expected.failure.empty()) {
        // A fatal error ends the run: what it leaves half-done is never seen.
        return out.str();
    }
    for (std::size_t p = 0; out.tellp() == 0 && p < expected.rows.size() && p < actual.rows.size();
         ++p) {
        const Record& e = expected.rows[p];
        const Record& a = actual.rows[p];
        if (!(e == a)) {
            out << "row " << p << ": expected " << e.value1 << ',' << e.value2 << ',' << e.groupKey
                << ',' << e.spare << ',' << e.status << " got " << a.value1 << ',' << a.value2
                << ',' << a.groupKey << ',' << a.spare << ',' << a.status;
        }
    }
    if (out.tellp() == 0 && expected.rows.size() != actual.rows.size()) {
        out << "row count differs";
    }
    Compare(out, "RejectedList", expected.rejected, actual.rejected);
    Compare(out, "PendingGroups", expected.pendingGroups, actual.pendingGroups);
    Compare(out, "OutputLists", expected.outputLists, actual.outputLists);
    Compare(out, "NotPlacedList", expected.notPlaced, actual.notPlaced);
    Compare(out, "RejectedReasons", expected.rejectedReasons, actual.rejectedReasons);
    Compare(out, "NotPlacedReasons", expected.notPlacedReasons, actual.notPlacedReasons);
    Compare(out, "OutputLeadSizes", expected.outputLeadSizes, actual.outputLeadSizes);
    return out.str();
}

namespace {

// The state after each stage of one run from the loaded table, up to the
// stage that raises a fatal error if one does.
std::vector<State> Run(const Stages& stages, const std::vector<Record>& loaded, bool keepReasons) {
    ResetModule();
    SetTable(loaded);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        RecordTable.Set(p, Status, StatusFree);
    }
    KeepReasons = keepReasons;
    std::vector<State> after;
    for (const auto stage : stages) {
        after.push_back(RunStage(stage));
        if (!after.back().failure.empty()) {
            break;
        }
    }
    ResetModule();
    return after;
}

// The run without reasons: the same state as with them, and no reason kept.
std::string DifferenceWithoutReasons(State expected, const State& actual) {
    if (!actual.rejectedReasons.empty() || !actual.notPlacedReasons.empty() ||
        !actual.outputLeadSizes.empty()) {
        return "reasons kept though not asked for";
    }
    expected.rejectedReasons.clear();
    expected.notPlacedReasons.clear();
    expected.outputLeadSizes.clear();
    return Difference(expected, actual);
}

} // namespace

std::string CompareStages(const std::vector<Record>& loaded) {
    const std::vector<State> expected = Run(ReferenceStages, loaded, true);
    const std::vector<State> actual = Run(FastStages, loaded, true);
    const std::vector<State> withoutReasons = Run(FastStages, loaded, false);
    // A run that ends early ends with a fatal error, which differs at its stage.
    for (std::size_t s = 0; s < expected.size() && s < actual.size() && s < withoutReasons.size();
         ++s) {
        std::string difference = Difference(expected[s], actual[s]);
        if (difference.empty()) {
            difference = DifferenceWithoutReasons(expected[s], withoutReasons[s]);
        }
        if (!difference.empty()) {
            return std::string("after ") + StageNames[s] + ": " + difference;
        }
    }
    return "";
}

} // namespace testing_support
