#pragma once

#include <string>

namespace platform {

// Makes the standard streams safe to use before anything else is opened: a
// closed descriptor 0, 1 or 2 gets /dev/null in its place, and on Windows
// standard output takes its bytes as they are, without CRLF translation. A
// write past a file-size limit fails like any other instead of killing the
// process.
void PrepareStandardStreams();

// Whether everything written to standard output so far has reached it.
bool StandardOutputWritten();

// "<program>: cannot write <what>: <cause>" on standard error, the cause
// taken from errno.
void ReportWriteFailure(const std::string& program, const char* what);

} // namespace platform
