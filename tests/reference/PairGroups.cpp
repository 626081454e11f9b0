#include "Reference.h"
#include "platform/Checked.h"

namespace reference {

using namespace modQuorvale;

namespace {

std::int32_t Field(std::int32_t position, std::int32_t column) {
    return RecordTable.Get(position, column);
}

bool IsWithinWindow(const PositionList& lead, const PositionList& candidate) {
    const double d =
        platform::CheckedSub(Field(candidate.Item(1), Value1), Field(lead.Item(1), Value1));
    return d >= -double{PairWindow} && d <= double{PairWindow};
}

bool SharesValue2(const PositionList& lead, const PositionList& candidate) {
    for (std::int32_t a = 1; a <= lead.Count(); ++a) {
        for (std::int32_t b = 1; b <= candidate.Count(); ++b) {
            if (Field(lead.Item(a), Value2) == Field(candidate.Item(b), Value2)) {
                return true;
            }
        }
    }
    return false;
}

// The index of the first group behind the lead that completes it, or 0.
std::int32_t FindPartner(const PositionList& lead, std::int32_t need) {
    for (std::int32_t index = 2; index <= PendingGroups->Count(); ++index) {
        const PositionList& candidate = PendingGroups->Item(index);
        if (candidate.Count() == need && IsWithinWindow(lead, candidate) &&
            !SharesValue2(lead, candidate)) {
            return index;
        }
    }
    return 0;
}

// The Value2 of the first equal pair that the conflict test meets.
std::int32_t FirstSharedValue2(const PositionList& lead, const PositionList& candidate) {
    for (std::int32_t a = 1; a <= lead.Count(); ++a) {
        for (std::int32_t b = 1; b <= candidate.Count(); ++b) {
            if (Field(lead.Item(a), Value2) == Field(candidate.Item(b), Value2)) {
                return Field(lead.Item(a), Value2);
            }
        }
    }
    return 0;
}

// Every group behind the lead of the needed size, by the first test it fails.
void RecordWhyNotPlaced(const PositionList& lead, std::int32_t need) {
    if (lead.Count() == 0) {
        return;
    }
    NotPlacedReason reason{NotPlacedList->Count() + 1, lead.Count(), 0, 0, 0};
    for (std::int32_t index = 2; index <= PendingGroups->Count(); ++index) {
        const PositionList& candidate = PendingGroups->Item(index);
        if (candidate.Count() != need) {
            continue;
        }
        if (!IsWithinWindow(lead, candidate)) {
            ++reason.outsideWindow;
        } else {
            ++reason.sharingValue2;
            reason.sharedValues |= 1 << (FirstSharedValue2(lead, candidate) - Value2Min);
        }
    }
    NotPlacedReasons.push_back(reason);
}

void AppendAll(PositionList& target, const PositionList& source) {
    for (std::int32_t k = 1; k <= source.Count(); ++k) {
        target.Add(source.Item(k));
    }
}

void PairLead() {
    const PositionList& lead = PendingGroups->Item(1);
    const std::int32_t need = ListSize - lead.Count();
    if (need == 0) {
        if (KeepReasons) {
            OutputLeadSizes.push_back(static_cast<std::int8_t>(lead.Count()));
        }
        OutputLists->Add(lead);
        PendingGroups->Remove(1);
        return;
    }
    const std::int32_t partnerIndex = FindPartner(lead, need);
    if (partnerIndex == 0) {
        if (KeepReasons) {
            RecordWhyNotPlaced(lead, need);
        }
        AppendAll(*NotPlacedList, lead);
        PendingGroups->Remove(1);
        return;
    }
    if (KeepReasons) {
        OutputLeadSizes.push_back(static_cast<std::int8_t>(lead.Count()));
    }
    PositionList output = lead;
    AppendAll(output, PendingGroups->Item(partnerIndex));
    OutputLists->Add(std::move(output));
    // The partner first, so that index 1 still holds the lead.
    PendingGroups->Remove(partnerIndex);
    PendingGroups->Remove(1);
}

} // namespace

void PairGroups() {
    while (PendingGroups->Count() > 0) {
        PairLead();
    }
    PendingGroups.reset();
}

} // namespace reference
