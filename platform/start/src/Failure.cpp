#include "Failure.h"

#include "WindowEngine.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"
#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

namespace platform {

namespace {

// The path made absolute and tidied, or "" if that can't be done; never
// throws but for memory.
std::string AbsolutePath(const std::string& path) {
#ifdef _WIN32
    const std::unique_ptr<char, decltype(&std::free)> full(_fullpath(nullptr, path.c_str(), 0),
                                                           &std::free);
    return full ? std::string(full.get()) : std::string();
#else
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? std::string() : absolute.lexically_normal().string();
#endif
}

} // namespace

std::string FailureMessage(const std::exception& error, const std::string& file) {
    const std::string building = TakeBuildingWhenFailed();
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
                             dynamic_cast<const std::length_error*>(&error) != nullptr;
    if (!outOfMemory) {
        return error.what();
    }
    // Which file, and what it was building: "Data.txt: out of memory while
    // loading 3000000 records".
    std::string message;
    if (!file.empty()) {
        message += file + ": ";
    }
    message += "out of memory";
    if (!building.empty()) {
        message += " while " + building;
    }
    return message;
}

std::string DialogMessage(const std::string& message, const std::string& dataPath) {
    if (dataPath.empty() || dataPath == StandardInputName) {
        return message;
    }
    // Reports name the file first, followed by ':' or ','.
    const std::string shown = ShownName(dataPath);
    if (!message.starts_with(shown) || message.size() == shown.size() ||
        (message[shown.size()] != ':' && message[shown.size()] != ',')) {
        return message;
    }
    const std::string absolute = AbsolutePath(dataPath);
    return absolute.empty() ? message : ShownName(absolute) + message.substr(shown.size());
}

void ReportFailure(const std::string& programName, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), message.c_str());
    std::fflush(stderr);
}

void ReportNoWindow(const std::string& programName, const std::string& reason) {
    std::fputs(NoWindowReport(programName, EscapeText(reason)).c_str(), stderr);
    std::fflush(stderr);
}

} // namespace platform
