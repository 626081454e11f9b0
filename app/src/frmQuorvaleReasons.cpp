#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

#include <algorithm>
#include <string>
#include <vector>

// The reasons that the stages keep, in words. Made only for a line that is
// shown.

namespace frmQuorvale {

using namespace modQuorvale;

namespace {

// Joins numbers and texts: Text() << "Value1 " << 49.
class Text {
public:
    Text& operator<<(std::string_view piece) {
        text_ += piece;
        return *this;
    }
    Text& operator<<(std::int32_t number) {
        platform::AppendDecimal(text_, number);
        return *this;
    }
    std::string Done() { return std::move(text_); }

private:
    std::string text_;
};

std::string DescribeRange(std::string_view field, std::int32_t value, std::int32_t low,
                          std::int32_t high) {
    return (Text() << field << " " << value << " is outside " << low << " to " << high).Done();
}

// "3", "2 or 3", "2, 3 or 5".
std::string ListValues(std::int32_t values) {
    std::vector<std::string> names;
    for (std::int32_t v = Value2Min; v <= Value2Max; ++v) {
        if ((values & Value2Bit(v)) != 0) {
            names.push_back(std::to_string(v));
        }
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list += i == 0 ? "" : i + 1 == names.size() ? " or " : ", ";
        list += names[i];
    }
    return list;
}

// "1 outside Value1 6 to 18, 1 shares Value2 3", leaving out a count of 0;
// for a single group "it lies outside ..." or "it shares ...".
std::string DescribeFailures(const NotPlacedReason& reason, std::int32_t leadValue1) {
    const bool single = reason.outsideWindow + reason.sharingValue2 == 1;
    Text text;
    if (reason.outsideWindow > 0) {
        if (single) {
            text << "it lies";
        } else {
            text << reason.outsideWindow;
        }
        text << " outside Value1 " << leadValue1 - PairWindow << " to " << leadValue1 + PairWindow;
    }
    if (reason.sharingValue2 > 0) {
        if (single) {
            text << "it shares";
        } else {
            text << (reason.outsideWindow > 0 ? ", " : "") << reason.sharingValue2
                 << (reason.sharingValue2 == 1 ? " shares" : " share");
        }
        text << " Value2 " << ListValues(reason.sharedValues);
    }
    return text.Done();
}

} // namespace

std::string DescribeRejection(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= RejectedReasons.size()) {
        return "";
    }
    const RejectionReason& reason = RejectedReasons[static_cast<std::size_t>(index)];
    switch (reason.code) {
    case RejectionCode::Value1OutOfRange:
        return DescribeRange("Value1", reason.value, Value1Min, Value1Max);
    case RejectionCode::Value2OutOfRange:
        return DescribeRange("Value2", reason.value, Value2Min, Value2Max);
    case RejectionCode::KeyConflict:
        return (Text() << "GroupKey " << reason.value << " is used with Value1 " << reason.value1
                       << " and " << reason.otherValue1 << " (record "
                       << RecordName(reason.otherRecord) << ")")
            .Done();
    }
    return "";
}

std::string DescribeNotPlaced(std::int32_t index) {
    if (index < 0 || index >= NotPlacedList->Count()) {
        return "";
    }
    // The group whose records begin at or before the line's item of NotPlacedList.
    const auto after = std::upper_bound(
        NotPlacedReasons.begin(), NotPlacedReasons.end(), index + 1,
        [](std::int32_t item, const NotPlacedReason& reason) { return item < reason.firstItem; });
    if (after == NotPlacedReasons.begin()) {
        return "";
    }
    const NotPlacedReason& reason = *(after - 1);
    const std::int32_t first = NotPlacedList->Item(reason.firstItem);
    const std::int32_t need = ListSize - reason.size;
    Text text;
    text << "its group " << RecordName(first) << " of " << reason.size << " needed a group of "
         << need << ": ";
    const std::int32_t candidates = reason.outsideWindow + reason.sharingValue2;
    if (candidates == 0) {
        text << "no later group of " << need;
    } else if (candidates == 1) {
        text << "the one later group of " << need << " did not qualify ("
             << DescribeFailures(reason, RecordTable.Get(first, Value1)) << ")";
    } else {
        text << "none of the " << candidates << " later groups of " << need << " qualified ("
             << DescribeFailures(reason, RecordTable.Get(first, Value1)) << ")";
    }
    return text.Done();
}

std::string DescribeInput(std::int32_t index) {
    // lstInput's line i shows the record at position i.
    const std::int32_t position = index;
    if (!KeepReasons || position < 0 || position >= RecordCount) {
        return "";
    }
    const RecordPlace place = PlaceOf(position);
    switch (place.kind) {
    case PlaceKind::Output: {
        const OutputLine line = OutputLineAt(place.line);
        return (Text() << "placed in Output List " << line.list << ", line " << line.record).Done();
    }
    case PlaceKind::NotPlaced:
        return "not placed because " + DescribeNotPlaced(place.line);
    default:
        return "rejected because " + DescribeRejection(place.line);
    }
}

std::string DescribeOutput(std::int32_t index) {
    if (!KeepReasons || index < 0) {
        return "";
    }
    const OutputLine line = OutputLineAt(index);
    if (line.part != OutputLine::Part::Record ||
        line.list > static_cast<std::int32_t>(OutputLeadSizes.size())) {
        return "";
    }
    const std::int32_t leadSize = OutputLeadSizes[static_cast<std::size_t>(line.list) - 1];
    if (leadSize == ListSize) {
        return (Text() << "a full group of " << ListSize).Done();
    }
    const PositionList& output = OutputLists->Item(line.list);
    const std::int32_t lead = output.Item(1);
    const std::int32_t partner = output.Item(leadSize + 1);
    return (Text() << "group " << RecordName(lead) << " of " << leadSize << ", completed by group "
                   << RecordName(partner) << " of " << ListSize - leadSize << " (Value1 "
                   << RecordTable.Get(lead, Value1) << " and " << RecordTable.Get(partner, Value1)
                   << ")")
        .Done();
}

} // namespace frmQuorvale
