// Bytes as a small record table for the fast and the reference stages: after
// every stage both must leave the same module state, or raise the same
// fatal error.
#include "StageComparison.h"
#include "modQuorvale.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace modQuorvale;
using testing_support::Record;

namespace {

constexpr std::size_t BytesPerRecord = 3;
// Past the reference's quadratic comfort, and past the stages' own
// small-table paths.
constexpr std::size_t MaxRecords = 400;

// Mostly values just inside and around [low, high]; now and then an extreme.
std::int32_t Decode(std::uint8_t byte, std::int32_t low, std::int32_t high) {
    static const std::int32_t Extremes[] = {INT32_MIN, INT32_MIN + 1, -1000,         -1,
                                            0,         1000,          INT32_MAX - 1, INT32_MAX};
    if (byte >= 0xF8) {
        return Extremes[byte - 0xF8];
    }
    return low - 1 + byte % (high - low + 3);
}

struct Input {
    std::vector<Record> table;
    std::size_t firstStage = 0;
};

// The first byte picks the mode: bit 0 starts at BuildGroups on a table that
// validation would never leave (statuses from the data, keys used with
// several Value1). (Tables large enough for the stages' two-thread paths
// would make the quadratic reference far too slow for fuzzing; the
// differential tests cover those.)
Input DecodeInput(const std::uint8_t* data, std::size_t size) {
    Input input;
    if (size == 0) {
        return input;
    }
    const std::uint8_t mode = data[0];
    input.firstStage = (mode & 1) != 0 ? 1 : 0;
    ++data;
    --size;
    const std::size_t count = std::min(size / BytesPerRecord, MaxRecords);
    for (std::size_t r = 0; r < count; ++r) {
        const std::uint8_t* bytes = data + r * BytesPerRecord;
        Record record{Decode(bytes[0], Value1Min, Value1Max),
                      Decode(bytes[1], Value2Min, Value2Max), bytes[2] & 0x1F};
        if (input.firstStage > 0 && (bytes[2] & 0x80) != 0) {
            record.status = StatusRejected;
        }
        input.table.push_back(record);
    }
    for (std::size_t r = 0; r < input.table.size(); ++r) {
        input.table[r].spare = static_cast<std::int32_t>(r);
    }
    return input;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Input input = DecodeInput(data, size);
    const std::string difference = testing_support::CompareStages(input.table, input.firstStage);
    if (!difference.empty()) {
        std::fprintf(stderr, "fast and reference stages differ: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
