#include "TestSupport.h"

#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <fstream>
#include <random>

namespace testing_support {

namespace fs = std::filesystem;
using namespace modQuorvale;

ScratchDir::ScratchDir() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("quorvale-test-" + std::to_string(seed()));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path ScratchDir::Write(std::string_view name, std::string_view content) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    return file;
}

void LoadFromText(std::string_view content) {
    const ScratchDir dir;
    platform::CloseAllFiles();
    platform::RedirectFile(DataFileName, dir.Write(DataFileName, content).string());
    LoadRecords();
}

std::string LoadError(std::string_view content) {
    try {
        LoadFromText(content);
    } catch (const platform::FatalError& error) {
        return error.what();
    }
    return "";
}

void SetTable(const std::vector<Record>& records) {
    RecordCount = static_cast<std::int32_t>(records.size());
    RecordTable.Create(RecordCount, FieldCount);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        const Record& record = records[static_cast<std::size_t>(p)];
        RecordTable.Set(p, Value1, record.value1);
        RecordTable.Set(p, Value2, record.value2);
        RecordTable.Set(p, GroupKey, record.groupKey);
        RecordTable.Set(p, Spare, record.spare);
        RecordTable.Set(p, Status, record.status);
    }
}

std::vector<Record> TableRows() {
    std::vector<Record> rows;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        rows.push_back({RecordTable.Get(p, Value1), RecordTable.Get(p, Value2),
                        RecordTable.Get(p, GroupKey), RecordTable.Get(p, Spare),
                        RecordTable.Get(p, Status)});
    }
    return rows;
}

std::vector<std::int32_t> Positions(const PositionList& list) {
    return list.Items();
}

std::vector<std::vector<std::int32_t>> Positions(const ListOfLists& lists) {
    std::vector<std::vector<std::int32_t>> result;
    for (const auto& list : lists.Items()) {
        result.push_back(list.Items());
    }
    return result;
}

} // namespace testing_support
