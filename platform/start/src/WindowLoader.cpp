#include "WindowEngine.h"

#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

// The Qt engine and the libraries it draws in (a dozen megabytes of them)
// are loaded only when a window is wanted.

namespace platform {

namespace {

constexpr char EngineFile[] = "libquorvale-window.so";

struct EngineSearch {
    std::optional<std::filesystem::path> found;
    std::string failure; // why nothing was found
};

// Beside the program in a build tree; under the library folder when
// installed. Never the working directory or the loader's search path: a
// module found there could be anyone's.
EngineSearch FindEngine() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.is_absolute()) {
        return {std::nullopt, "cannot find the program's own folder: " + error.message()};
    }
    const std::filesystem::path beside = program.parent_path() / EngineFile;
    const std::filesystem::path installed =
        (program.parent_path() / QUORVALE_INSTALLED_ENGINE_DIR / EngineFile).lexically_normal();
    for (const std::filesystem::path& place : {beside, installed}) {
        if (std::filesystem::exists(place, error)) {
            return {place, {}};
        }
    }
    return {std::nullopt, "the window module is missing: neither " + beside.string() + " nor " +
                              installed.string() + " exists"};
}

std::string LoaderError() {
    const char* why = dlerror();
    return why != nullptr ? why : "the window module cannot be loaded";
}

// The engine's entry point, or nullptr with the reason in `failure`.
WindowEngineEntryPoint LoadEngine(std::string& failure) {
    const EngineSearch search = FindEngine();
    if (!search.found) {
        failure = search.failure;
        return nullptr;
    }
    // Never closed: the engine's code runs until the process ends.
    void* engine = dlopen(search.found->c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry =
        engine != nullptr
            ? reinterpret_cast<WindowEngineEntryPoint>(dlsym(engine, WindowEngineEntry))
            : nullptr;
    if (entry == nullptr) {
        failure = LoaderError();
    }
    return entry;
}

} // namespace

std::unique_ptr<WindowEngine> CreateWindowEngine(const EngineHost& host, std::string& failure) {
    const WindowEngineEntryPoint entry = LoadEngine(failure);
    return std::unique_ptr<WindowEngine>(entry != nullptr ? entry(host) : nullptr);
}

} // namespace platform
