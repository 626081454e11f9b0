#include "StageComparison.h"

#include "Reference.h"
#include "platform/FatalError.h"

#include <iterator>
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
    return list.Items();
}

Lists Positions(const ListOfLists& lists) {
    Lists result;
    for (const auto& list : lists.Items()) {
        result.push_back(list.Items());
    }
    return result;
}

namespace {

template <typename List, typename Out>
std::optional<Out> Snapshot(const std::optional<List>& list) {
    return list ? std::optional<Out>(Positions(*list)) : std::nullopt;
}

PositionList MakeList(const std::vector<std::int32_t>& positions) {
    PositionList list;
    for (const std::int32_t p : positions) {
        list.Add(p);
    }
    return list;
}

ListOfLists MakeList(const Lists& lists) {
    ListOfLists result;
    for (const auto& list : lists) {
        result.Add(MakeList(list));
    }
    return result;
}

template <typename List, typename Source>
void RestoreList(std::optional<List>& target, const std::optional<Source>& source) {
    target = source ? std::optional<List>(MakeList(*source)) : std::nullopt;
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

struct Stage {
    const char* name;
    void (*reference)();
    void (*fast)();
};

const Stage Stages[] = {
    {"ValidateAndSort", reference::ValidateAndSort, ValidateAndSort},
    {"BuildGroups", reference::BuildGroups, BuildGroups},
    {"PairGroups", reference::PairGroups, PairGroups},
};

} // namespace

State Capture() {
    return {TableRows(),
            Snapshot<ListOfLists, Lists>(OutputLists),
            Snapshot<PositionList, std::vector<std::int32_t>>(NotPlacedList),
            Snapshot<PositionList, std::vector<std::int32_t>>(RejectedList),
            Snapshot<ListOfLists, Lists>(PendingGroups),
            {},
            RejectedReasons,
            NotPlacedReasons};
}

void Restore(const State& state) {
    SetTable(state.rows);
    RestoreList(OutputLists, state.outputLists);
    RestoreList(NotPlacedList, state.notPlaced);
    RestoreList(RejectedList, state.rejected);
    RestoreList(PendingGroups, state.pendingGroups);
    RejectedReasons = state.rejectedReasons;
    NotPlacedReasons = state.notPlacedReasons;
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
    return out.str();
}

namespace {

// The fast stage without reasons: the same state as with them, and no
// reason added.
std::string CompareWithoutReasons(void (*fast)(), const State& before, State expected) {
    KeepReasons = false;
    Restore(before);
    const State actual = RunStage(fast);
    KeepReasons = true;
    if (actual.rejectedReasons.size() > before.rejectedReasons.size() ||
        actual.notPlacedReasons.size() > before.notPlacedReasons.size()) {
        return "reasons kept though not asked for";
    }
    expected.rejectedReasons = actual.rejectedReasons;
    expected.notPlacedReasons = actual.notPlacedReasons;
    return Difference(expected, actual);
}

std::string CompareStagesKeepingReasons(std::size_t firstStage, State before) {
    for (std::size_t s = firstStage; s < std::size(Stages); ++s) {
        Restore(before);
        const State expected = RunStage(Stages[s].reference);
        Restore(before);
        const State actual = RunStage(Stages[s].fast);
        std::string difference = Difference(expected, actual);
        if (difference.empty()) {
            difference = CompareWithoutReasons(Stages[s].fast, before, expected);
        }
        if (!difference.empty()) {
            return std::string("after ") + Stages[s].name + ": " + difference;
        }
        if (!expected.failure.empty()) {
            // The run ends here, as it would in the program.
            break;
        }
        before = expected;
    }
    return "";
}

} // namespace

std::string CompareStages(const std::vector<Record>& table, std::size_t firstStage) {
    Restore({table, {}, {}, {}, {}, {}});
    if (firstStage > 0) {
        OutputLists.emplace();
        NotPlacedList.emplace();
        RejectedList.emplace();
    }
    KeepReasons = true;
    const std::string difference = CompareStagesKeepingReasons(firstStage, Capture());
    KeepReasons = false;
    return difference;
}

} // namespace testing_support
