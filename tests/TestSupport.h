#pragma once

#include "modQuorvale.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A scratch directory, removed again when the test ends.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::filesystem::path Write(std::string_view name, std::string_view content) const;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs LoadRecords on the given file content.
void LoadFromText(std::string_view content);

// The message of the fatal error that LoadRecords raises on this content, or
// "" if it loads.
std::string LoadError(std::string_view content);

struct Record {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t groupKey;
    std::int32_t spare = 0;
    std::int32_t status = modQuorvale::StatusFree;
    friend bool operator==(const Record&, const Record&) = default;
};

// Puts these rows into RecordTable, as if just loaded.
void SetTable(const std::vector<Record>& records);
std::vector<Record> TableRows();
std::vector<std::int32_t> Positions(const modQuorvale::PositionList& list);
std::vector<std::vector<std::int32_t>> Positions(const modQuorvale::ListOfLists& lists);

} // namespace testing_support
