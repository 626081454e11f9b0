#include "TestSupport.h"

#include "FileNumbers.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <cstdio>
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

std::string WrittenText(const platform::Form& form, bool& written, std::string_view tipsCaption,
                        const platform::TextWriting& how) {
    std::FILE* file = std::tmpfile();
    written = platform::WriteFormAsText(form, file, tipsCaption, how);
    std::rewind(file);
    std::string text;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        text.append(chunk, n);
    }
    std::fclose(file);
    return text;
}

} // namespace testing_support
