#include "frmQuorvale.h"
#include "modQuorvale.h"

#include <string>

// Where each record's lines are: following a record from one list to
// another, going to a position, and the lists' counts. Everything is
// worked out from the stages' lists when it is asked for.

namespace frmQuorvale {

using namespace modQuorvale;

std::vector<std::int32_t> RecordPlaces;

namespace {

// Every record's place, one after another: the output lists' records, then
// NotPlacedList's, then RejectedList's; every position is in exactly one.
void FindRecordPlaces() {
    RecordPlaces.assign(static_cast<std::size_t>(RecordCount), -1);
    std::int32_t place = 0;
    auto placeAll = [&](const PositionList& positions) {
        for (const std::int32_t position : positions.Items()) {
            RecordPlaces[static_cast<std::size_t>(position)] = place++;
        }
    };
    for (const PositionList& output : OutputLists->Items()) {
        placeAll(output);
    }
    placeAll(*NotPlacedList);
    placeAll(*RejectedList);
}

std::int32_t PlacedCount() {
    return OutputLists->Count() * OutputListRecords;
}

// "1 record", "3 records".
std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

RecordPlace PlaceOf(std::int32_t position) {
    if (RecordPlaces.empty()) {
        FindRecordPlaces(); // when first asked for: most runs never need it
    }
    std::int32_t place = RecordPlaces[static_cast<std::size_t>(position)];
    if (place < PlacedCount()) {
        return {PlaceKind::Output,
                OutputRecordLine(place / OutputListRecords + 1, place % OutputListRecords + 1)};
    }
    place -= PlacedCount();
    if (place < NotPlacedList->Count()) {
        return {PlaceKind::NotPlaced, place};
    }
    return {PlaceKind::Rejected, place - NotPlacedList->Count()};
}

std::int32_t PositionOnLine(PlaceKind kind, std::int32_t index) {
    if (index < 0) {
        return -1;
    }
    switch (kind) {
    case PlaceKind::Input:
        return index < RecordCount ? index : -1;
    case PlaceKind::Output: {
        const OutputLine line = OutputLineAt(index);
        if (line.part != OutputLine::Part::Record || line.list > OutputLists->Count()) {
            return -1;
        }
        return OutputLists->Item(line.list).Item(line.record);
    }
    case PlaceKind::NotPlaced:
        return index < NotPlacedList->Count() ? NotPlacedList->Item(index + 1) : -1;
    case PlaceKind::Rejected:
        return index < RejectedList->Count() ? RejectedList->Item(index + 1) : -1;
    }
    return -1;
}

std::int32_t LineOfPosition(PlaceKind kind, std::int32_t position) {
    if (position < 0 || position >= RecordCount) {
        return -1;
    }
    if (kind == PlaceKind::Input) {
        return position;
    }
    const RecordPlace place = PlaceOf(position);
    return place.kind == kind ? place.line : -1;
}

std::string DescribeCounts(PlaceKind kind) {
    switch (kind) {
    case PlaceKind::Input:
        return Counted(static_cast<std::size_t>(RecordCount), "record", "records") + ", " +
               std::to_string(RejectedList->Count()) + " rejected";
    case PlaceKind::Output: {
        std::size_t full = 0;
        for (const std::int8_t leadSize : OutputLeadSizes) {
            full += leadSize == ListSize ? 1 : 0;
        }
        return Counted(static_cast<std::size_t>(OutputLists->Count()), "output list",
                       "output lists") +
               " of " + std::to_string(ListSize) +
               " records: " + Counted(full, "full group", "full groups") + ", " +
               Counted(OutputLeadSizes.size() - full, "pair", "pairs");
    }
    case PlaceKind::NotPlaced:
        return Counted(static_cast<std::size_t>(NotPlacedList->Count()), "record", "records") +
               " of " + Counted(NotPlacedReasons.size(), "group", "groups");
    case PlaceKind::Rejected: {
        std::size_t outOfRange = 0;
        for (const RejectionReason& reason : RejectedReasons) {
            outOfRange += reason.code == RejectionCode::KeyConflict ? 0 : 1;
        }
        return Counted(RejectedReasons.size(), "record", "records") + ": " +
               std::to_string(outOfRange) + " out of range, " +
               std::to_string(RejectedReasons.size() - outOfRange) + " for their key";
    }
    }
    return "";
}

} // namespace frmQuorvale
