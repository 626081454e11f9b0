// The runtime's numbered files: which file each number reads, and the
// names that the command line redirects.

#include "FileNumbers.h"

#include "SequentialFile.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <map>
#include <memory>
#include <string>

namespace platform {

namespace {

std::map<int, std::unique_ptr<SequentialFile>>& OpenFiles() {
    static std::map<int, std::unique_ptr<SequentialFile>> files;
    return files;
}

std::map<std::string, std::string>& Redirections() {
    static std::map<std::string, std::string> redirections;
    return redirections;
}

std::string& LastOpened() {
    static std::string name;
    return name;
}

// The file last looked up: a load reads millions of values from one file.
int lastNumber = 0;
SequentialFile* lastFile = nullptr;

void ForgetLastFile() {
    lastFile = nullptr;
}

SequentialFile& FileAt(int fileNumber) {
    if (lastFile != nullptr && lastNumber == fileNumber) {
        return *lastFile;
    }
    const auto found = OpenFiles().find(fileNumber);
    if (found == OpenFiles().end()) {
        Raise("file number " + std::to_string(fileNumber) + " is not open");
    }
    lastNumber = fileNumber;
    lastFile = found->second.get();
    return *lastFile;
}

} // namespace

void RedirectFile(std::string name, std::string path) {
    Redirections()[std::move(name)] = std::move(path);
}

void OpenForInput(std::string_view name, int fileNumber) {
    if (OpenFiles().contains(fileNumber)) {
        Raise("file number " + std::to_string(fileNumber) + " is already open");
    }
    std::string path(name);
    if (const auto found = Redirections().find(path); found != Redirections().end()) {
        path = found->second;
    }
    auto file = std::make_unique<SequentialFile>(std::move(path));
    LastOpened() = file->ShownPath();
    OpenFiles()[fileNumber] = std::move(file);
}

std::int32_t InputValue(int fileNumber) {
    return FileAt(fileNumber).ReadValue();
}

void InputValues(int fileNumber, std::span<std::int32_t> values) {
    FileAt(fileNumber).ReadValues(values);
}

const std::string& LastOpenedName() {
    return LastOpened();
}

void ExpectValues(int fileNumber, std::int64_t total) {
    FileAt(fileNumber).ExpectValues(total);
}

const std::string& FilePath(int fileNumber) {
    return FileAt(fileNumber).ShownPath();
}

std::int64_t FileSize(int fileNumber) {
    return FileAt(fileNumber).RegularFileSize();
}

void CloseFile(int fileNumber) {
    ForgetLastFile();
    OpenFiles().erase(fileNumber);
}

void CloseAllFiles() {
    ForgetLastFile();
    OpenFiles().clear();
}

} // namespace platform
