#include "WindowEngine.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <system_error>

// The Qt engine and the libraries it draws in (a dozen megabytes of them)
// are loaded only when a window is wanted.

namespace platform {

namespace {

constexpr char EngineFile[] = "libquorvale-window.so";
constexpr char EngineEntry[] = "QuorvaleRunFormWindow";
using EngineRun = int (*)(const ProjectDescription&, int, char**);

// Beside the executable in a build tree; under the library folder when
// installed.
std::filesystem::path FindEngine() {
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    for (const std::filesystem::path& place :
         {folder / EngineFile, folder / QUORVALE_INSTALLED_ENGINE_DIR / EngineFile}) {
        if (std::filesystem::exists(place, error)) {
            return place;
        }
    }
    return EngineFile; // left to the dynamic loader's search
}

} // namespace

int RunFormWindow(const ProjectDescription& project, int argc, char** argv) {
    void* engine = dlopen(FindEngine().c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto run =
        engine == nullptr ? nullptr : reinterpret_cast<EngineRun>(dlsym(engine, EngineEntry));
    if (run == nullptr) {
        const char* why = dlerror();
        std::fprintf(stderr,
                     "%s: cannot load the window engine: %s\n"
                     "Use '%s --text' to print the lists instead.\n",
                     project.name.c_str(), why != nullptr ? why : EngineFile, project.name.c_str());
        return 1;
    }
    return run(project, argc, argv);
}

} // namespace platform
