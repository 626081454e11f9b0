#include "MemoryFile.h"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

namespace {

int OpenMemoryFile() {
    const int fd = memfd_create("fuzz-input", 0);
    if (fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    return fd;
}

} // namespace

const std::string& MemoryFilePath(const std::uint8_t* data, std::size_t size) {
    static const int fd = OpenMemoryFile();
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (ftruncate(fd, 0) != 0) {
        std::abort();
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) {
            std::abort();
        }
        written += static_cast<std::size_t>(n);
    }
    return path;
}

} // namespace fuzz
