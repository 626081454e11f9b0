// Bytes as Data.txt through the whole run to the four lists. Every input
// must end in the fatal error or in lists that keep the run's promises:
// every record shown once in lstInput and once more in exactly one other
// list; output lists of five records with distinct Value2, each a lead
// group and its partner (one GroupKey apiece); the table sorted by Value2;
// lstErrors exactly the rejected records.
#include "MemoryFile.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

using namespace modQuorvale;

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::int32_t Field(std::int32_t position, std::int32_t column) {
    return RecordTable.Get(position, column);
}

// Positions [0, split) and [split, 5) each share one GroupKey.
bool IsLeadAndPartner(const PositionList& list) {
    for (std::int32_t split = 1; split <= ListSize; ++split) {
        bool ok = true;
        for (std::int32_t i = 2; i <= ListSize && ok; ++i) {
            if (i != split + 1) {
                ok = Field(list.Item(i), GroupKey) == Field(list.Item(i - 1), GroupKey);
            }
        }
        if (ok) {
            return true;
        }
    }
    return false;
}

void CheckOutputList(const PositionList& list, std::vector<int>& shown) {
    Require(list.Count() == ListSize, "output list of five");
    std::set<std::int32_t> value2s;
    for (std::int32_t i = 1; i <= list.Count(); ++i) {
        const std::int32_t p = list.Item(i);
        Require(Field(p, Status) == StatusGrouped, "output record is grouped");
        value2s.insert(Field(p, Value2));
        ++shown.at(static_cast<std::size_t>(p));
    }
    Require(value2s.size() == static_cast<std::size_t>(ListSize), "distinct Value2");
    Require(IsLeadAndPartner(list), "one GroupKey per group");
}

void CheckRun(const platform::Form& form) {
    const auto records = static_cast<std::size_t>(RecordCount);
    Require(RecordCount >= 0, "record count");
    for (std::int32_t p = 1; p < RecordCount; ++p) {
        Require(Field(p - 1, Value2) <= Field(p, Value2), "sorted by Value2");
    }
    const platform::ListBox& input = form.ListBoxNamed("lstInput");
    Require(input.ListCount() == RecordCount, "lstInput holds every record");
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        Require(input.List(p) == frmQuorvale::FormatRecordLine(p), "lstInput line");
    }

    std::vector<int> shown(records, 0);
    for (const PositionList& list : OutputLists->Items()) {
        CheckOutputList(list, shown);
    }
    for (const std::int32_t p : NotPlacedList->Items()) {
        Require(Field(p, Status) == StatusGrouped, "not placed record is grouped");
        ++shown.at(static_cast<std::size_t>(p));
    }
    std::size_t rejected = 0;
    for (const std::int32_t p : RejectedList->Items()) {
        Require(Field(p, Status) == StatusRejected, "rejected record has its status");
        ++shown.at(static_cast<std::size_t>(p));
    }
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        rejected += Field(p, Status) == StatusRejected ? 1 : 0;
        Require(shown[static_cast<std::size_t>(p)] == 1, "record in exactly one result list");
    }
    Require(rejected == RejectedList->Items().size(), "every rejected record listed");
    Require(PendingGroups == std::nullopt, "pending groups released");

    const auto outputCount = static_cast<std::int32_t>(OutputLists->Items().size());
    Require(form.ListBoxNamed("lstOutput").ListCount() == outputCount * (ListSize + 2),
            "lstOutput lines");
    Require(form.ListBoxNamed("lstNotPlaced").ListCount() == NotPlacedList->Count(),
            "lstNotPlaced lines");
    Require(form.ListBoxNamed("lstErrors").ListCount() == RejectedList->Count(), "lstErrors lines");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::RedirectFile(DataFileName, fuzz::MemoryFilePath(data, size));
    platform::Form form(frmQuorvale::Layout());
    try {
        frmQuorvale::Form_Load(form);
    } catch (const platform::FatalError&) {
        // What the start routine does after a failed run.
        platform::CloseAllFiles();
        return 0;
    }
    CheckRun(form);
    return 0;
}
