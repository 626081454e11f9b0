#include "Reference.h"

#include <vector>

namespace reference {

using namespace modQuorvale;

namespace {

std::int32_t Field(std::int32_t position, std::int32_t column) {
    return RecordTable.Get(position, column);
}

void Reject(std::int32_t position) {
    RecordTable.Set(position, Status, StatusRejected);
    RejectedList->Add(position);
}

// The first later free record of the same key with another Value1, or -1.
// Out-of-range records count: they have not been visited yet and are still
// free.
std::int32_t FindConflictAfter(std::int32_t i) {
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t j = i + 1; j <= lastPosition; ++j) {
        if (Field(j, Status) == StatusFree && Field(j, GroupKey) == Field(i, GroupKey) &&
            Field(j, Value1) != Field(i, Value1)) {
            return j;
        }
    }
    return -1;
}

// Record i found record j in conflict. Each of the two names the other; the
// rest of the key names j.
void RejectKey(std::int32_t i, std::int32_t j) {
    const std::int32_t key = Field(i, GroupKey);
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t k = 0; k <= lastPosition; ++k) {
        if (Field(k, Status) == StatusFree && Field(k, GroupKey) == key) {
            Reject(k);
            if (KeepReasons) {
                const std::int32_t other = k == j ? i : j;
                const std::int32_t self = k == j ? j : i;
                RejectedReasons.push_back({RejectionCode::KeyConflict, key, Field(self, Value1),
                                           Field(other, Value1), other});
            }
        }
    }
}

void RejectOutOfRange(std::int32_t i) {
    Reject(i);
    if (KeepReasons) {
        const std::int32_t value1 = Field(i, Value1);
        if (value1 < Value1Min || value1 > Value1Max) {
            RejectedReasons.push_back({RejectionCode::Value1OutOfRange, value1, 0, 0, 0});
        } else {
            RejectedReasons.push_back({RejectionCode::Value2OutOfRange, Field(i, Value2), 0, 0, 0});
        }
    }
}

void ValidateRecords() {
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t i = 0; i <= lastPosition; ++i) {
        if (Field(i, Status) != StatusFree) {
            continue;
        }
        if (!IsInRange(i)) {
            RejectOutOfRange(i);
        } else if (const std::int32_t j = FindConflictAfter(i); j >= 0) {
            RejectKey(i, j);
        }
    }
}

void ExchangeRows(std::int32_t i, std::int32_t j, std::vector<std::int32_t>& identity) {
    std::int32_t buffer[FieldCount];
    for (std::int32_t column = 0; column < FieldCount; ++column) {
        buffer[column] = Field(i, column);
    }
    for (std::int32_t column = 0; column < FieldCount; ++column) {
        RecordTable.Set(i, column, Field(j, column));
    }
    for (std::int32_t column = 0; column < FieldCount; ++column) {
        RecordTable.Set(j, column, buffer[column]);
    }
    std::swap(identity[static_cast<std::size_t>(i)], identity[static_cast<std::size_t>(j)]);
}

// Exchange sort by Value2; unstable for equal values. RejectedList follows its
// records: each row carries the position it had before the sort, and the
// entries are translated once at the end instead of at every exchange.
void SortByValue2() {
    std::vector<std::int32_t> identity(static_cast<std::size_t>(RecordCount));
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        identity[static_cast<std::size_t>(p)] = p;
    }
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t i = 0; i <= lastPosition - 1; ++i) {
        for (std::int32_t j = i + 1; j <= lastPosition; ++j) {
            if (Field(j, Value2) < Field(i, Value2)) {
                ExchangeRows(i, j, identity);
            }
        }
    }
    std::vector<std::int32_t> finalPosition(identity.size());
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        finalPosition[static_cast<std::size_t>(identity[static_cast<std::size_t>(p)])] = p;
    }
    for (std::int32_t k = 1; k <= RejectedList->Count(); ++k) {
        std::int32_t& entry = RejectedList->Item(k);
        entry = finalPosition[static_cast<std::size_t>(entry)];
    }
    for (RejectionReason& reason : RejectedReasons) {
        if (reason.code == RejectionCode::KeyConflict) {
            reason.otherRecord = finalPosition[static_cast<std::size_t>(reason.otherRecord)];
        }
    }
}

} // namespace

bool IsInRange(std::int32_t position) {
    const std::int32_t value1 = Field(position, Value1);
    const std::int32_t value2 = Field(position, Value2);
    return value1 >= Value1Min && value1 <= Value1Max && value2 >= Value2Min && value2 <= Value2Max;
}

void ValidateAndSort() {
    OutputLists.emplace();
    NotPlacedList.emplace();
    RejectedList.emplace();
    RejectedReasons.clear();
    NotPlacedReasons.clear();
    OutputLeadSizes.clear();
    ValidateRecords();
    SortByValue2();
}

} // namespace reference
