#pragma once

#include "StageComparison.h"
#include "TextMode.h"
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

// What text mode writes of the form, read back from a temporary file;
// `written` is what the writer answered.
std::string WrittenText(const platform::Form& form, bool& written,
                        std::string_view tipsCaption = {}, const platform::TextWriting& how = {});

} // namespace testing_support
