// Bytes as a small loaded record table for the fast and the reference
// stages: after every stage both must leave the same module state, or raise
// the same fatal error.
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
// Past the stages' own small-table paths, and no further: the reference is
// quadratic. The differential tests cover larger tables.
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

std::vector<Record> DecodeTable(const std::uint8_t* data, std::size_t size) {
    std::vector<Record> table;
    const std::size_t count = std::min(size / BytesPerRecord, MaxRecords);
    for (std::size_t r = 0; r < count; ++r) {
        const std::uint8_t* bytes = data + r * BytesPerRecord;
        table.push_back({Decode(bytes[0], Value1Min, Value1Max),
                         Decode(bytes[1], Value2Min, Value2Max), bytes[2] & 0x1F,
                         static_cast<std::int32_t>(r)});
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string difference = testing_support::CompareStages(DecodeTable(data, size));
    if (!difference.empty()) {
        std::fprintf(stderr, "fast and reference stages differ: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
