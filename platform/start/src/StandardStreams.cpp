#include "StandardStreams.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

// Standard output was closed when the program started; /dev/null stands in
// for it, but what is written there has not reached anyone.
bool standardOutputClosed = false;

// With descriptor 0, 1 or 2 closed, the next file or socket opened would take
// its number: a report meant for standard error would then go into the data
// file or the display connection. /dev/null takes the place instead.
void ReopenClosedStandardStreams() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            standardOutputClosed = standardOutputClosed || fd == 1;
            const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            // open takes the lowest free number, which is fd itself.
            if (opened != fd && opened >= 0) {
                close(opened);
            }
        }
    }
#endif
}

} // namespace

void PrepareStandardStreams() {
    ReopenClosedStandardStreams();
#ifdef SIGXFSZ
    // Past a file-size limit the kernel kills a writer with a core dump;
    // ignored, the write fails with EFBIG and the run reports it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef _WIN32
    // Identical bytes on every platform: no CRLF translation of the lists.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

bool StandardOutputWritten() {
    if (standardOutputClosed) {
        errno = EBADF;
        return false;
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

void ReportWriteFailure(const std::string& program, const char* what) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", program.c_str(), what, std::strerror(errno));
}

} // namespace platform
