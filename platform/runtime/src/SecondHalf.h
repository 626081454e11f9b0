#pragma once

// The values of a large file's second half, parsed on a second thread while
// the reader takes the first: loading is mostly parsing, and the machine has
// two cores. Only the plain form that nearly every file has is taken ahead,
// one comma, blank, tab or LF before each plain value; anything else ends
// the half's values there, and the reader goes on from that point itself,
// reporting what it finds as always.

#include <atomic>
#include <cstdint>
#include <memory>
#include <pthread.h>
#include <span>

namespace platform {

class SecondHalf {
public:
    // Starts on the regular file open as `descriptor`, of `size` bytes, whose
    // reader stands at `position`: from the first line after the middle of
    // the rest that follows a line ending in a digit. Null where that is
    // not worth it or cannot be had (no such line, memory, a thread).
    static std::unique_ptr<SecondHalf> Start(int descriptor, std::int64_t position,
                                             std::int64_t size);
    // Stops the parse, if it still runs, and waits for it.
    ~SecondHalf();
    SecondHalf(const SecondHalf&) = delete;
    SecondHalf& operator=(const SecondHalf&) = delete;

    // Where the half starts: the byte after the LF that precedes its first
    // value. The reader stands at Split() - 1 when it is about to read that
    // value.
    std::int64_t Split() const { return split_; }
    // Waits for the parse to end. Then: the values in order, how many of
    // their separators were LFs, and where the last one ends.
    void Finish();
    std::span<const std::int32_t> Values() const { return {values_.get(), count_}; }
    std::int64_t LineEnds() const { return lineEnds_; }
    std::int64_t End() const { return end_; }

private:
    SecondHalf(int descriptor, std::int64_t split, std::size_t capacity);
    static void* Run(void* self);
    void Parse() noexcept;

    int descriptor_;
    std::int64_t split_;
    std::size_t capacity_;
    std::unique_ptr<std::int32_t[]> values_;
    std::unique_ptr<char[]> block_;
    std::size_t count_ = 0;
    std::int64_t lineEnds_ = 0;
    std::int64_t end_;
    std::atomic<bool> stop_{false};
    pthread_t thread_{};
    bool running_ = false;
};

} // namespace platform
