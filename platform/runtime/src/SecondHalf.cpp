#include "SecondHalf.h"

#include "DigitParsing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace platform {

namespace {

constexpr std::size_t BlockSize = 1 << 16;
// A plain value and its separator fit in this many bytes; with fewer left,
// the block is topped up first.
constexpr std::size_t ValueRoom = 64;
// Where the middle's line starts is looked for within this many bytes.
constexpr std::size_t LineSearch = 4096;

#ifndef _WIN32

// Reads at an offset without moving the file's own position, which the
// reader on the first thread goes on using. 0 at the end or on an error: a
// read error ends the half's values, and the reader meets it again itself.
std::size_t ReadAt(int descriptor, char* into, std::size_t room, std::int64_t offset) {
    for (;;) {
        const ssize_t count = pread(descriptor, into, room, offset);
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

// What the bytes from `from` on tell: the byte after the first LF that
// follows a digit (0 if there is none), and how many values a byte holds,
// by the separators among them.
struct Sample {
    std::int64_t lineStart = 0;
    double valuesPerByte = 0;
};

Sample SampleAt(int descriptor, std::int64_t from) {
    char bytes[LineSearch];
    const std::size_t count = ReadAt(descriptor, bytes, sizeof bytes, from - 1);
    Sample sample;
    std::size_t separators = 0;
    for (std::size_t i = 1; i < count; ++i) {
        if (sample.lineStart == 0 && bytes[i] == '\n' && digits::IsDigit(bytes[i - 1])) {
            sample.lineStart = from + static_cast<std::int64_t>(i);
        }
        separators += digits::IsSeparator(static_cast<unsigned char>(bytes[i])) ? 1 : 0;
    }
    sample.valuesPerByte = count > 1 ? static_cast<double>(separators) / (count - 1) : 0;
    return sample;
}

#endif

} // namespace

std::unique_ptr<SecondHalf> SecondHalf::Start([[maybe_unused]] int descriptor,
                                              [[maybe_unused]] std::int64_t position,
                                              [[maybe_unused]] std::int64_t size) {
#ifdef _WIN32
    return nullptr; // no reading at an offset beside the reader's own
#else
    const Sample sample = SampleAt(descriptor, position + (size - position) / 2);
    const std::int64_t split = sample.lineStart;
    if (split <= position + 1) {
        return nullptr;
    }
    // Room for the values the sample promises and a margin: the half's
    // values stop where it is full, and the reader takes the rest. Room for
    // the most a half can hold (a digit and a separator each) would leave a
    // hole the later stages fill badly.
    constexpr double Margin = 1.1;
    const auto capacity = static_cast<std::size_t>(
        std::min<double>(static_cast<double>(size - split) * sample.valuesPerByte * Margin + 1024,
                         static_cast<double>((size - split) / 2 + 1)));
    std::unique_ptr<SecondHalf> half(new (std::nothrow) SecondHalf(descriptor, split, capacity));
    if (half == nullptr || half->values_ == nullptr || half->block_ == nullptr ||
        pthread_create(&half->thread_, nullptr, Run, half.get()) != 0) {
        return nullptr;
    }
    half->running_ = true;
    return half;
#endif
}

// Every buffer is taken here, before the thread starts: the parse itself
// allocates nothing and raises nothing.
SecondHalf::SecondHalf(int descriptor, std::int64_t split, std::size_t capacity)
    : descriptor_(descriptor), split_(split), capacity_(capacity),
      values_(new (std::nothrow) std::int32_t[capacity]),
      block_(new (std::nothrow) char[BlockSize + digits::AtOnce + 1]), end_(split - 1) {}

SecondHalf::~SecondHalf() {
    stop_.store(true, std::memory_order_relaxed);
    Finish();
}

void SecondHalf::Finish() {
    if (running_) {
        pthread_join(thread_, nullptr);
        running_ = false;
    }
}

void* SecondHalf::Run(void* self) {
    static_cast<SecondHalf*>(self)->Parse();
    return nullptr;
}

// From the LF before the first value: a separator and a plain value at a
// time, as the reader's own quick path takes them.
void SecondHalf::Parse() noexcept {
#ifndef _WIN32
    char* const block = block_.get();
    std::int64_t blockOffset = split_ - 1; // of block[0] in the file
    std::size_t used = 0;
    bool atEnd = false;
    const char* p = block;
    while (!stop_.load(std::memory_order_relaxed) && count_ < capacity_) {
        auto left = static_cast<std::size_t>(block + used - p);
        if (left < ValueRoom && !atEnd) {
            std::memmove(block, p, left);
            blockOffset += p - block;
            p = block;
            const std::size_t count = ReadAt(descriptor_, block + left, BlockSize - left,
                                             blockOffset + static_cast<std::int64_t>(left));
            atEnd = count == 0;
            used = left + count;
            // A NUL ends the data, with room for a digit load beyond it.
            std::memset(block + used, 0, digits::AtOnce + 1);
            continue;
        }
        const char separator = *p;
        if (separator != ',' && separator != '\n' && separator != ' ' && separator != '\t') {
            break;
        }
        std::int32_t value = 0;
        const char* valueEnd = digits::PlainValueEnd(p + 1, value);
        if (valueEnd == nullptr) {
            break;
        }
        values_[count_++] = value;
        lineEnds_ += separator == '\n' ? 1 : 0;
        p = valueEnd;
        end_ = blockOffset + (p - block);
    }
#endif
}

} // namespace platform
