#include "modQuorvale.h"

#include "GroupFacts.h"

namespace modQuorvale {

std::int32_t RecordCount = 0;
platform::IntTable RecordTable;
std::optional<ListOfLists> OutputLists;
std::optional<PositionList> NotPlacedList;
std::optional<PositionList> RejectedList;
std::optional<ListOfLists> PendingGroups;
bool KeepReasons = false;
std::vector<RejectionReason> RejectedReasons;
std::vector<NotPlacedReason> NotPlacedReasons;

namespace detail {
std::vector<GroupFacts> PendingFacts;
} // namespace detail

} // namespace modQuorvale
