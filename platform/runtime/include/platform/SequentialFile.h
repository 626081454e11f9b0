#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// The runtime's numbered files: the program opens a name as a file number
// and reads values from that number. What a value may look like, and how a
// file that holds something else is reported, the reader says
// (src/SequentialFile.h).
void OpenForInput(std::string_view name, int fileNumber);
// The name that opens standard input.
inline constexpr std::string_view StandardInputName = "-";
std::int32_t InputValue(int fileNumber);
// The next values.size() values, in order, as that many InputValue calls.
void InputValues(int fileNumber, std::span<std::int32_t> values);
void ExpectValues(int fileNumber, std::int64_t total);
// The path actually read for an open file number, as error reports show it.
const std::string& FilePath(int fileNumber);
// The size in bytes of an open regular file; 0 for a stream, whose size is
// not known.
std::int64_t FileSize(int fileNumber);
void CloseFile(int fileNumber);
// The file last opened for input, as reports show it; "" before any.
const std::string& LastOpenedName();

// Makes later opens of `name` read `path` instead; how the command line
// points the program at another data file without the program knowing.
void RedirectFile(std::string name, std::string path);

} // namespace platform
