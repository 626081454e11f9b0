// Raw bytes into the value reader: it must return values or raise the
// fatal error, never crash, hang or read without end.
#include "MemoryFile.h"
#include "SequentialFile.h"
#include "platform/FatalError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = fuzz::MemoryFilePath(data, size);
    try {
        platform::SequentialFile file(path);
        // A value takes at least one byte, so more reads than bytes must
        // have failed long before.
        for (std::size_t i = 0; i <= size; ++i) {
            file.ReadValue();
        }
        std::abort();
    } catch (const platform::FatalError& error) {
        // The report always names the file it was reading.
        if (std::string(error.what()).find(path) == std::string::npos) {
            std::abort();
        }
    }
    return 0;
}
