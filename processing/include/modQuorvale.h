#pragma once

// The record module: the record table, the lists that the stages hand to
// each other, and the four stages, run once each in this order:
// LoadRecords, ValidateAndSort, BuildGroups, PairGroups.

#include "platform/Collection.h"
#include "platform/IntTable.h"

#include <cstdint>
#include <optional>

namespace modQuorvale {

using PositionList = platform::Collection<std::int32_t>;
using ListOfLists = platform::Collection<PositionList>;

// The largest group and the exact size of every output list.
inline constexpr std::int32_t ListSize = 5;
// The largest Value1 distance between a lead group and its partner.
inline constexpr std::int32_t PairWindow = 6;

inline constexpr std::int32_t StatusFree = 0;
inline constexpr std::int32_t StatusGrouped = -1;
inline constexpr std::int32_t StatusRejected = -3;

// Columns of RecordTable.
inline constexpr std::int32_t Value1 = 0;
inline constexpr std::int32_t Value2 = 1;
inline constexpr std::int32_t GroupKey = 2;
inline constexpr std::int32_t Spare = 3;
inline constexpr std::int32_t Status = 4;
inline constexpr std::int32_t FieldCount = 5;

inline constexpr std::int32_t Value1Min = 1;
inline constexpr std::int32_t Value1Max = 48;
inline constexpr std::int32_t Value2Min = 1;
inline constexpr std::int32_t Value2Max = 7;

inline constexpr char DataFileName[] = "Data.txt";
inline constexpr int DataFileNumber = 1;

extern std::int32_t RecordCount;
extern platform::IntTable RecordTable;

// Created by ValidateAndSort and kept until the process ends.
extern std::optional<ListOfLists> OutputLists;
extern std::optional<PositionList> NotPlacedList;
extern std::optional<PositionList> RejectedList;
// Created by BuildGroups, emptied and released by PairGroups.
extern std::optional<ListOfLists> PendingGroups;

void LoadRecords();
bool IsInRange(std::int32_t position);
void ValidateAndSort();
void BuildGroups();
void PairGroups();

} // namespace modQuorvale
