#pragma once

// How the start routine reports what ends a run.

#include <exception>
#include <string>

namespace platform {

// The message for an error that ended the run: its own words, or for memory
// that ran out, the file it was working on, unless "", and what was being
// built ("Data.txt: out of memory while loading 3000000 records").
std::string FailureMessage(const std::exception& error, const std::string& file);

// The failure dialog's words for `message`: the same, but naming the data
// file by its absolute path where the message names it as given, since a
// window shows no working directory. Escaped as reports are.
std::string DialogMessage(const std::string& message, const std::string& dataPath);

// "<program>: <message>" on standard error.
void ReportFailure(const std::string& programName, const std::string& message);

// Says on standard error that no window could be opened, and why.
void ReportNoWindow(const std::string& programName, const std::string& reason);

} // namespace platform
