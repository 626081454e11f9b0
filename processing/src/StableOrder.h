#pragma once

// Helpers shared by the stages: a stable, linear-time ordering of positions
// by a 32-bit key, and a Fenwick tree for counting and slot searches.

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace modQuorvale::detail {

// Maps signed order onto unsigned order.
inline std::uint32_t OrderKey(std::int32_t value) {
    return static_cast<std::uint32_t>(value) ^ 0x80000000u;
}

// Reorders `positions` stably by keyOf(element), an unsigned 32-bit value:
// least significant digit first, 11 bits per pass. A pass in which every key
// has the same digit is skipped, which makes small values cheap. Elements
// that carry their own fields keep the passes free of random table reads.
template <typename T, typename KeyOf> void StableSortBy(std::vector<T>& positions, KeyOf keyOf) {
    constexpr unsigned DigitBits = 11;
    constexpr std::uint32_t DigitMask = (1u << DigitBits) - 1;
    const std::size_t count = positions.size();
    // Below this a comparison sort beats the passes' fixed cost.
    constexpr std::size_t SmallCount = 256;
    if (count < SmallCount) {
        std::stable_sort(positions.begin(), positions.end(),
                         [&](const T& a, const T& b) { return keyOf(a) < keyOf(b); });
        return;
    }
    // Keys are taken afresh in every pass rather than kept beside the
    // elements: at a million records that spares two arrays of keys. The
    // digit counts of all passes come from one walk.
    constexpr unsigned Passes = (32 + DigitBits - 1) / DigitBits;
    std::vector<std::array<std::size_t, DigitMask + 2>> starts(Passes);
    for (const T& element : positions) {
        const std::uint32_t key = keyOf(element);
        for (unsigned pass = 0; pass < Passes; ++pass) {
            ++starts[pass][((key >> (pass * DigitBits)) & DigitMask) + 1];
        }
    }
    std::vector<T> scratch;
    for (unsigned pass = 0; pass < Passes; ++pass) {
        auto& start = starts[pass];
        bool oneDigit = false;
        for (const std::size_t digitCount : start) {
            oneDigit = oneDigit || digitCount == count;
        }
        if (oneDigit) {
            continue;
        }
        for (std::size_t d = 1; d < start.size(); ++d) {
            start[d] += start[d - 1];
        }
        scratch.resize(count);
        const unsigned shift = pass * DigitBits;
        for (const T& element : positions) {
            scratch[start[(keyOf(element) >> shift) & DigitMask]++] = element;
        }
        positions.swap(scratch);
    }
}

// Counts over slots 0..size-1.
class FenwickTree {
public:
    explicit FenwickTree(std::size_t size) : tree_(size + 1, 0) {}

    // Every slot holding 1, built in linear time.
    static FenwickTree AllOnes(std::size_t size) {
        FenwickTree tree(size);
        for (std::size_t i = 1; i <= size; ++i) {
            tree.tree_[i] = static_cast<std::int32_t>(i & (~i + 1));
        }
        return tree;
    }

    void Add(std::size_t slot, std::int32_t delta) {
        for (std::size_t i = slot + 1; i < tree_.size(); i += i & (~i + 1)) {
            tree_[i] += delta;
        }
    }

    // The sum over slots 0..end-1.
    std::int32_t PrefixSum(std::size_t end) const {
        std::int32_t sum = 0;
        for (std::size_t i = end; i > 0; i -= i & (~i + 1)) {
            sum += tree_[i];
        }
        return sum;
    }

    // The slot at which the prefix sum first reaches rank (1-based); the
    // counts must be 0 or 1.
    std::size_t FindRank(std::int32_t rank) const {
        std::size_t at = 0;
        std::size_t step = 1;
        while (step * 2 < tree_.size()) {
            step *= 2;
        }
        for (; step > 0; step /= 2) {
            if (at + step < tree_.size() && tree_[at + step] < rank) {
                at += step;
                rank -= tree_[at];
            }
        }
        return at;
    }

private:
    std::vector<std::int32_t> tree_;
};

} // namespace modQuorvale::detail
