#include "modQuorvale.h"

namespace modQuorvale {

std::int32_t RecordCount = 0;
platform::IntTable RecordTable;
std::optional<ListOfLists> OutputLists;
std::optional<PositionList> NotPlacedList;
std::optional<PositionList> RejectedList;
std::optional<ListOfLists> PendingGroups;
std::vector<PendingGroupFacts> PendingFacts;
bool KeepReasons = false;
std::vector<RejectionReason> RejectedReasons;
std::vector<NotPlacedReason> NotPlacedReasons;
std::vector<std::int8_t> OutputLeadSizes;

void ResetModule() {
    RecordCount = 0;
    RecordTable = {};
    OutputLists.reset();
    NotPlacedList.reset();
    RejectedList.reset();
    PendingGroups.reset();
    PendingFacts = {};
    KeepReasons = false;
    RejectedReasons = {};
    NotPlacedReasons = {};
    OutputLeadSizes = {};
}

} // namespace modQuorvale
