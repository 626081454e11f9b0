#include "platform/Memory.h"

#include "SequentialFile.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__linux__) && defined(__GLIBC__)
#include <fstream>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#if defined(__linux__) && defined(__GLIBC__)

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool OwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
constexpr bool OwnAllocator = true;
#else
constexpr bool OwnAllocator = false;
#endif
#else
constexpr bool OwnAllocator = false;
#endif

// Below about 500,000 records (8 MiB of file), rounding the heap up to
// 2 MiB pages costs more memory, in proportion, than it saves time: at
// 200,000 records 19 MB against 13 MB for 0.02 s. A stream's size is
// unknown, so it may be large.
constexpr off_t LargeInput = off_t{8} << 20;

bool InputMayFillLargePages(const std::string& dataPath) {
    struct stat status {};
    const int result = dataPath == SequentialFile::StandardInputName
                           ? fstat(0, &status)
                           : stat(dataPath.c_str(), &status);
    return result == 0 && (!S_ISREG(status.st_mode) || status.st_size >= LargeInput);
}

constexpr const char* TunablesVariable = "GLIBC_TUNABLES";
constexpr const char* LargePagesTunable = "glibc.malloc.hugetlb";

// In "always" mode every large region gets them anyway; in "never", none.
bool KernelGivesLargePagesOnRequest() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    return std::getline(mode, line) && line.find("[madvise]") != std::string::npos;
}

// The tunables with large pages added to what the user set; glibc reads
// them only as a process starts. A run whose tunables name large pages
// already, as the restarted one's do, is left alone: false.
bool WithLargePages(const std::string& current, std::string& tunables) {
    if (current.find(LargePagesTunable) != std::string::npos) {
        return false;
    }
    tunables = current + (current.empty() ? "" : ":") + LargePagesTunable + "=1";
    return true;
}

} // namespace

void UseLargePages(const std::string& dataPath, char** argv) {
    if (OwnAllocator || !InputMayFillLargePages(dataPath)) {
        return;
    }
    const char* set = std::getenv(TunablesVariable);
    const std::string current = set != nullptr ? set : "";
    std::string tunables;
    if (!WithLargePages(current, tunables) || !KernelGivesLargePagesOnRequest() ||
        setenv(TunablesVariable, tunables.c_str(), 1) != 0) {
        return;
    }
    execv("/proc/self/exe", argv);
    // Still here: the run goes on as it is, with the environment it had.
    if (set != nullptr) {
        setenv(TunablesVariable, current.c_str(), 1);
    } else {
        unsetenv(TunablesVariable);
    }
}

void ReturnFreedMemory() {
    malloc_trim(0);
}

#else

void UseLargePages(const std::string&, char**) {}

void ReturnFreedMemory() {}

#endif

} // namespace platform
