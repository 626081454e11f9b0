#pragma once

// The record module: the record table, everything that the stages hand to
// each other, and the four stages, run once each in this order:
// LoadRecords, ValidateAndSort, BuildGroups, PairGroups.

#include "platform/Collection.h"
#include "platform/IntTable.h"

#include <cstdint>
#include <optional>
#include <vector>

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

// The bit of a Value2 (in range) in a set of them, as PendingGroupFacts and
// NotPlacedReason keep sets: bit v - Value2Min for v.
inline constexpr std::int32_t Value2Bit(std::int32_t value2) {
    return 1 << (value2 - Value2Min);
}

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

// What pairing needs to know of a pending group. Grouping has these values
// at hand as it builds the group; handing them over spares pairing a read
// of every member's scattered row.
struct PendingGroupFacts {
    std::int32_t size;
    std::int32_t value1;    // of the first member
    std::int32_t value2Set; // the Value2Bit of each member's Value2
};
// One per group of PendingGroups, in its order: created by BuildGroups and
// released by PairGroups together with PendingGroups.
extern std::vector<PendingGroupFacts> PendingFacts;

// Why a record was rejected or left unplaced, kept only when KeepReasons is
// set before ValidateAndSort: a code and a few numbers each, put into words
// only when shown.
extern bool KeepReasons;

enum class RejectionCode : std::int32_t { Value1OutOfRange, Value2OutOfRange, KeyConflict };

struct RejectionReason {
    RejectionCode code;
    // Out of range: the field's value. Key conflict: the GroupKey.
    std::int32_t value;
    // Key conflict: the key is used with value1 and otherValue1, the latter
    // by the record at otherRecord (a final position). Of the two records
    // whose Value1 differ, each names the other; the rest of the key names
    // the later one, which the first in-range record of the key found.
    std::int32_t value1;
    std::int32_t otherValue1;
    std::int32_t otherRecord;
    friend bool operator==(const RejectionReason&, const RejectionReason&) = default;
};

// Why a group went to NotPlacedList, for all of its records. The later
// groups of the size it needed each failed one test, counted by the first
// that failed: the window, else a shared Value2. So none qualified, and
// "none of that size was left" when both counts are 0.
struct NotPlacedReason {
    std::int32_t firstItem; // index in NotPlacedList of the group's first record
    std::int32_t size;
    std::int32_t outsideWindow;
    std::int32_t sharingValue2;
    // The Value2 that each of those groups was first found to share, as its
    // Value2Bit.
    std::int32_t sharedValues;
    friend bool operator==(const NotPlacedReason&, const NotPlacedReason&) = default;
};

// Created empty by ValidateAndSort. One per entry of RejectedList, in its
// order; one per group that PairGroups sends to NotPlacedList, in its order.
extern std::vector<RejectionReason> RejectedReasons;
extern std::vector<NotPlacedReason> NotPlacedReasons;

// Which groups made each output list, kept with the reasons: one per entry
// of OutputLists, in its order, the size of its lead group (a byte, as
// there may be a fifth as many lists as records). Its first that
// many records are the lead's, the rest its partner's; ListSize for a full
// group alone. Created empty by ValidateAndSort, filled by PairGroups.
extern std::vector<std::int8_t> OutputLeadSizes;

// The range test of validation: Value1 from Value1Min to Value1Max and
// Value2 from Value2Min to Value2Max. On a record's values, or on the record
// at a position through the table's bound test.
inline bool Value1InRange(std::int32_t value1) {
    return value1 >= Value1Min && value1 <= Value1Max;
}
inline bool ValuesInRange(std::int32_t value1, std::int32_t value2) {
    return Value1InRange(value1) && value2 >= Value2Min && value2 <= Value2Max;
}
inline bool IsInRange(std::int32_t position) {
    return ValuesInRange(RecordTable.Get(position, Value1), RecordTable.Get(position, Value2));
}

// Each stage relies on what the ones before it guarantee, and does not test
// it again; debug and sanitizer builds check it (QUORVALE_CHECK_INVARIANTS):
// - after LoadRecords, every record is free;
// - after ValidateAndSort, every free record is in range, and the free
//   records of a GroupKey share one Value1;
// - after BuildGroups, every pending group holds 1 to ListSize records, all
//   grouped, with distinct Value2, and PendingFacts describes each group.
void LoadRecords();
void ValidateAndSort();
void BuildGroups();
void PairGroups();

// Puts every piece of module state back as it is before a run: no table, no
// lists, no reasons, and KeepReasons cleared.
void ResetModule();

} // namespace modQuorvale
