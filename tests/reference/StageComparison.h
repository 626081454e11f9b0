#pragma once

// Runs the fast and the reference stages side by side, each on its own
// state from the same loaded table, and compares everything they leave
// behind after every stage. Shared by the differential tests and the fuzz
// targets.

#include "modQuorvale.h"

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

// Puts these rows into RecordTable.
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
    std::vector<std::int8_t> outputLeadSizes = {};
};

State Capture();

// The first field that differs, in words; "" when the states are equal.
std::string Difference(const State& expected, const State& actual);

// Runs ValidateAndSort, BuildGroups and PairGroups on this table as
// LoadRecords leaves it, every record free: the reference stages and the
// fast ones, both keeping reasons, and the fast ones once more without,
// which must then leave the same state and keep none. Each run starts from
// a reset module. Returns "" when the states after every stage agree, else
// the first difference, named by its stage.
std::string CompareStages(const std::vector<Record>& loaded);

} // namespace testing_support
