#pragma once
// The reader takes a path, so each fuzz input goes into one anonymous
// in-memory file that is rewritten per input: no disk traffic, no cleanup.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The path of a file holding exactly these bytes; valid until the next call.
const std::string& MemoryFilePath(const std::uint8_t* data, std::size_t size);

} // namespace fuzz
