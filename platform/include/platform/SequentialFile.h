#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Reads whole numbers one at a time from a text file. Values are separated
// by blanks, tabs, line ends (LF, CRLF, CR) or a single comma; a value is an
// optional sign and decimal digits, optionally in double quotes. Anything
// else is a fatal error naming the file, the line and the value's ordinal.
// Nothing is read ahead beyond one block, and nothing past the value that
// the caller asks for is ever interpreted. A read takes what has arrived, so
// values on a pipe, FIFO or terminal are parsed as they come, and more is
// waited for only when the value asked for is not complete yet.
class SequentialFile {
public:
    explicit SequentialFile(std::string path);
    ~SequentialFile();
    SequentialFile(const SequentialFile&) = delete;
    SequentialFile& operator=(const SequentialFile&) = delete;

    std::int32_t ReadValue() {
        std::int32_t value = 0;
        return TryReadPlainValue(value) ? value : ReadValueSlowly();
    }
    // Several values in a row, as that many reads; the reader's state stays
    // in registers between them.
    void ReadValues(std::span<std::int32_t> values) {
        for (std::int32_t& value : values) {
            value = ReadValue();
        }
    }

    // How many values the caller will ask for in all, so that a short file
    // can say how many were needed.
    void ExpectValues(std::int64_t total) { expected_ = total; }

    const std::string& Path() const { return path_; }
    // The path as reports show it: escaped, quoted where needed.
    const std::string& ShownPath() const { return shownPath_; }

private:
    int Peek() {
        if (next_ == end_ && !Refill()) {
            return EOF;
        }
        return static_cast<unsigned char>(*next_);
    }
    void Advance() { ++next_; }
    bool Refill();
    std::size_t ReadInto(char* into, std::size_t room);
    void CheckEncoding();
    void SkipSeparator();
    static bool IsSeparator(int c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',';
    }
    // Inline: it runs once per value of a file of millions.
    bool TryReadPlainValue(std::int32_t& value);
    std::int32_t ReadValueSlowly();
    bool TryParsePlainValue(std::int32_t& value);
    std::int32_t ParseValue();
    [[noreturn]] void RaiseAtValue(const std::string& what) const;
    [[noreturn]] void RaiseShort() const;

    std::string path_;
    std::string shownPath_;
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // Owned by a member so that a constructor that raises (UTF-16) still
    // closes the file.
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::unique_ptr<char[]> buffer_;
    const char* next_ = nullptr;
    const char* end_ = nullptr;
    bool eof_ = false;
    bool commaAllowed_ = false;
    std::int64_t line_ = 1;
    std::int64_t valueLine_ = 1;
    std::int64_t valuesRead_ = 0;
    std::int64_t expected_ = -1;
};

namespace detail {

inline constexpr int DigitsAtOnce = 8;

// How many of the eight characters at p are leading digits, and, if fewer
// than eight, their value; eight characters must be readable. One load and
// a few multiplications instead of a loop whose end the processor cannot
// foresee. DigitsAtOnce, with value left as it is, means the caller reads
// the digits one at a time: eight or more of them, or a byte order for
// which the load does not give the first character in its lowest byte.
inline int ShortLeadingDigits(const char* p, std::uint64_t& value) {
    if constexpr (std::endian::native != std::endian::little) {
        return DigitsAtOnce;
    } else {
        std::uint64_t chunk;
        std::memcpy(&chunk, p, sizeof chunk);
        // Digits become 0 to 9; any other byte has a value of 10 or more,
        // which sets its top bit once 0x76 is added (or is set already).
        const std::uint64_t x = chunk ^ 0x3030303030303030u;
        const std::uint64_t notDigit = ((x + 0x7676767676767676u) | x) & 0x8080808080808080u;
        if (notDigit == 0) {
            return DigitsAtOnce;
        }
        const int count = std::countr_zero(notDigit) / 8;
        if (count == 0) {
            return 0;
        }
        // The digits into the top bytes, then pairs, fours and eights
        // combined, first character most significant.
        std::uint64_t v = x << (8 * (DigitsAtOnce - count));
        v = (v * 2561) >> 8;
        v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
        v = ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
        value = v;
        return count;
    }
}

} // namespace detail

// The common case in one step: at most one comma, blank, tab or LF, then an
// optional minus sign and at most ten digits followed by a separator, well
// inside the current block. Nothing is changed unless all of that holds;
// anything else (CRLF, several blanks, a quote, a value that ends the block
// or is too big) is left to the general path, which reads it afresh.
inline bool SequentialFile::TryReadPlainValue(std::int32_t& value) {
    // Room for a separator, a sign, ten digits and the next separator: no
    // test for the block's end is needed below.
    constexpr std::ptrdiff_t LongestPlain = 13;
    const char* p = next_;
    if (end_ - p < LongestPlain) {
        return false;
    }
    bool lineEnd = false;
    switch (*p) {
    case ',':
        if (!commaAllowed_) {
            return false;
        }
        ++p;
        break;
    case '\n':
        lineEnd = true;
        ++p;
        break;
    case ' ':
    case '\t':
        ++p;
        break;
    default:
        break; // the first value, which nothing precedes
    }
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    const char* digits = p;
    std::uint64_t magnitude = 0;
    p += detail::ShortLeadingDigits(p, magnitude);
    if (p == digits + detail::DigitsAtOnce) {
        // One at a time, as many as ten.
        p = digits;
        const char* digitsLimit = digits + 10;
        while (p < digitsLimit && static_cast<unsigned>(*p - '0') <= 9) {
            magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
            ++p;
        }
    }
    if (p == digits || !IsSeparator(static_cast<unsigned char>(*p)) ||
        magnitude > (negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1)) {
        return false;
    }
    const auto signedMagnitude = static_cast<std::int64_t>(magnitude);
    value = static_cast<std::int32_t>(negative ? -signedMagnitude : signedMagnitude);
    line_ += lineEnd ? 1 : 0;
    valueLine_ = line_;
    ++valuesRead_;
    commaAllowed_ = true;
    next_ = p;
    return true;
}

// The runtime's numbered files: the program opens a name as a file number
// and reads values from that number.
void OpenForInput(std::string_view name, int fileNumber);
std::int32_t InputValue(int fileNumber);
// The next values.size() values, in order, as that many InputValue calls.
void InputValues(int fileNumber, std::span<std::int32_t> values);
void ExpectValues(int fileNumber, std::int64_t total);
// The path actually read for an open file number, as error reports show it.
const std::string& FilePath(int fileNumber);
void CloseFile(int fileNumber);
// The file last opened for input, as reports show it; "" before any.
const std::string& LastOpenedName();
// Closes every numbered file, as after a failed run.
void CloseAllFiles();

// Makes later opens of `name` read `path` instead; how the command line
// points the program at another data file without the program knowing.
void RedirectFile(std::string name, std::string path);

} // namespace platform
