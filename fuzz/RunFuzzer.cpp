// Bytes as Data.txt through the whole run to the four lists. Every input
// must end in the fatal error, or leave state that keeps the run's promises
// and lists that show exactly that state; and the fast and the reference
// stages must agree on the loaded table after every stage.
#include "FileNumbers.h"
#include "Invariants.h"
#include "MemoryFile.h"
#include "StageComparison.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace modQuorvale;

namespace {

void Require(bool condition, const std::string& what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
        std::abort();
    }
}

void CheckLines(const platform::Form& form) {
    const platform::ListBox& input = form.ListBoxNamed("lstInput");
    Require(input.ListCount() == RecordCount, "lstInput holds every record");
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        Require(input.List(p) == frmQuorvale::FormatRecordLine(p), "lstInput line");
    }
    // Each output list is a heading, five records and a blank line.
    const auto outputCount = static_cast<std::int32_t>(OutputLists->Items().size());
    Require(form.ListBoxNamed("lstOutput").ListCount() == outputCount * (ListSize + 2),
            "lstOutput lines");
    Require(form.ListBoxNamed("lstNotPlaced").ListCount() == NotPlacedList->Count(),
            "lstNotPlaced lines");
    Require(form.ListBoxNamed("lstErrors").ListCount() == RejectedList->Count(), "lstErrors lines");
    // Shown tips: a reason for every not-placed and rejected record.
    for (const char* name : {"lstNotPlaced", "lstErrors"}) {
        const platform::ListBox& list = form.ListBoxNamed(name);
        Require(list.HasTips() == form.ShowsTips(), std::string(name) + " tips");
        for (std::int32_t i = 0; form.ShowsTips() && i < list.ListCount(); ++i) {
            Require(!list.Tip(i).empty(), std::string(name) + " line without a reason");
        }
    }
}

// The file loaded once more, through both kinds of stage side by side.
void CompareWithReference() {
    LoadRecords();
    const std::string difference = testing_support::CompareStages(testing_support::TableRows());
    Require(difference.empty(), "fast and reference stages differ: " + difference);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResetModule();
    platform::RedirectFile(DataFileName, fuzz::MemoryFilePath(data, size));
    // Every other input as in the window or with --why, keeping reasons.
    platform::Form form(frmQuorvale::Layout(), size % 2 == 1);
    try {
        frmQuorvale::Form_Load(form);
    } catch (const platform::FatalError&) {
        // What the start routine does after a failed run.
        platform::CloseAllFiles();
        return 0;
    }
    const std::string problem = testing_support::CheckRunInvariants();
    Require(problem.empty(), problem);
    CheckLines(form);
    CompareWithReference();
    return 0;
}
