#pragma once

// What a list box keeps for each line, for the platform's tests: the
// program itself sees lines only as text.

#include "platform/ListBox.h"

#include <cstdint>

namespace platform {

class ListBoxContents {
public:
    enum class LineKind { Record, Text };

    static LineKind KindOf(const ListBox& list, std::int32_t index) {
        return list.lines_[list.Offset(index)] >= 0 ? LineKind::Record : LineKind::Text;
    }
    // The position of a record line; raises for a text line.
    static std::int32_t RecordOf(const ListBox& list, std::int32_t index);
};

} // namespace platform
