#pragma once

// Runs the fast stages and the reference stages from the same module state
// and compares everything they leave behind, stage by stage. Shared by the
// differential tests and the differential fuzz target.

#include "modQuorvale.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct Record {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t groupKey;
    std::int32_t spare = 0;
    std::int32_t status = modQuorvale::StatusFree;
    friend bool operator==(const Record&, const Record&) = default;
};

// Puts these rows into RecordTable, as if just loaded.
void SetTable(const std::vector<Record>& records);
std::vector<Record> TableRows();
std::vector<std::int32_t> Positions(const modQuorvale::PositionList& list);
std::vector<std::vector<std::int32_t>> Positions(const modQuorvale::ListOfLists& lists);

using Lists = std::vector<std::vector<std::int32_t>>;

// The whole module state, and the fatal error's message if a stage raised one.
struct State {
    std::vector<Record> rows;
    std::optional<Lists> outputLists;
    std::optional<std::vector<std::int32_t>> notPlaced;
    std::optional<std::vector<std::int32_t>> rejected;
    std::optional<Lists> pendingGroups;
    std::string failure;
    std::vector<modQuorvale::RejectionReason> rejectedReasons = {};
    std::vector<modQuorvale::NotPlacedReason> notPlacedReasons = {};
};

State Capture();
void Restore(const State& state);

// The first field that differs, in words; "" when the states are equal.
std::string Difference(const State& expected, const State& actual);

// Runs every stage from `firstStage` on (0: ValidateAndSort, 1: BuildGroups,
// 2: PairGroups) both ways, each from the reference's state after the stage
// before, so that a fault shows at its own stage. Both keep their reasons;
// the fast stage runs once more without, and must then leave the same state
// and keep none. From stage 1 on the table stands for validated state and the
// three result lists exist. Returns "" when all agree.
std::string CompareStages(const std::vector<Record>& table, std::size_t firstStage = 0);

} // namespace testing_support
