#include "SequentialFile.h"

#include "DigitParsing.h"
#include "platform/FatalError.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/types.h>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

constexpr std::size_t BlockSize = 1 << 16;
constexpr std::size_t PreviewLimit = 24;

using digits::IsBlankOrLineEnd;
using digits::IsSeparator;
using digits::PlainValueEnd;

// Shows a token the way a user can read it back, control bytes escaped.
void AppendVisible(std::string& out, unsigned char c) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
        out.push_back(static_cast<char>(c));
    } else {
        AppendHexEscape(out, c);
    }
}

std::string ErrnoText() {
    return std::strerror(errno);
}

// What a read returns at once: what has arrived on a pipe or terminal, a
// whole block from a regular file. Waits only while nothing has arrived.
std::size_t ReadSome(std::FILE* file, char* into, std::size_t room, bool& failed) {
    for (;;) {
#ifdef _WIN32
        const int count = _read(_fileno(file), into, static_cast<unsigned>(room));
#else
        const ssize_t count = ::read(fileno(file), into, room);
#endif
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            failed = true;
            return 0;
        }
    }
}

// The byte-order marks the reader recognises, longest first where one begins
// another.
constexpr std::string_view Utf32LittleMark("\xFF\xFE\0\0", 4);
constexpr std::string_view Utf32BigMark("\0\0\xFE\xFF", 4);
constexpr std::string_view Utf16LittleMark("\xFF\xFE", 2);
constexpr std::string_view Utf16BigMark("\xFE\xFF", 2);
constexpr std::string_view Utf8Mark("\xEF\xBB\xBF", 3);
constexpr std::string_view Marks[] = {Utf32LittleMark, Utf32BigMark, Utf16LittleMark, Utf16BigMark,
                                      Utf8Mark};

// True while the bytes so far could still grow into a longer mark.
bool MayGrowIntoMark(std::string_view start) {
    for (const std::string_view mark : Marks) {
        if (start.size() < mark.size() && mark.starts_with(start)) {
            return true;
        }
    }
    return false;
}

// Moves the descriptor's own position, which the reads below go by, and
// returns it, or -1 where the file has none (a stream).
std::int64_t Seek(std::FILE* file, std::int64_t offset, int whence) {
#ifdef _WIN32
    return _lseeki64(_fileno(file), offset, whence);
#else
    return lseek(fileno(file), offset, whence);
#endif
}

// Standard input under a stream of its own, so that closing the file leaves
// descriptor 0 in place; bytes as they are, also on Windows.
std::FILE* OpenStandardInput() {
#ifdef _WIN32
    const int copy = _dup(0);
    if (copy >= 0) {
        _setmode(copy, _O_BINARY);
    }
    std::FILE* file = copy >= 0 ? _fdopen(copy, "rb") : nullptr;
#else
    const int copy = dup(0);
    std::FILE* file = copy >= 0 ? fdopen(copy, "rb") : nullptr;
#endif
    if (file == nullptr && copy >= 0) {
        const int saved = errno;
#ifdef _WIN32
        _close(copy);
#else
        close(copy);
#endif
        errno = saved;
    }
    return file;
}

} // namespace

SequentialFile::SequentialFile(std::string path)
    : path_(std::move(path)),
      shownPath_(path_ == StandardInputName ? "standard input" : ShownName(path_)) {
    errno = 0;
    if (path_ == StandardInputName) {
        file_.reset(OpenStandardInput());
    } else {
        std::error_code error;
        if (std::filesystem::is_directory(path_, error)) {
            Raise(shownPath_ + ": is a directory, not a data file");
        }
        file_.reset(std::fopen(path_.c_str(), "rb"));
    }
    if (file_ == nullptr) {
        Raise(shownPath_ + ": cannot open for reading: " + ErrnoText());
    }
    // Offsets count from the file's start, even where standard input was
    // left partly read by whoever handed it over; a stream has none.
    offset_ = std::max<std::int64_t>(Seek(file_.get(), 0, SEEK_CUR), 0);
    // Zeroed: an empty block already ends in its NUL.
    buffer_ = std::make_unique<char[]>(BlockSize + digits::AtOnce);
    next_ = end_ = buffer_.get();
    CheckEncoding();
}

SequentialFile::~SequentialFile() = default;

std::int32_t SequentialFile::ReadValue() {
    std::int32_t value = 0;
    return TryReadPlainValue(value) ? value : ReadValueSlowly();
}

void SequentialFile::ReadValues(std::span<std::int32_t> values) {
    for (std::int32_t& value : values.subspan(serving_ ? Serve(values) : 0)) {
        if (!TryReadPlainValue(value)) {
            value = ReadValueSlowly();
        }
    }
}

// The common case in one step: at most one comma, blank, tab or LF, then a
// plain value. Nothing is changed unless both hold; anything else (CRLF,
// several blanks, a value that is not plain) is left to the general path.
bool SequentialFile::TryReadPlainValue(std::int32_t& value) {
    const char* p = next_;
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
    p = PlainValueEnd(p, value);
    if (p == nullptr) {
        return false;
    }
    line_ += lineEnd ? 1 : 0;
    valueLine_ = line_;
    ++valuesRead_;
    commaAllowed_ = true;
    next_ = p;
    return true;
}

std::int32_t SequentialFile::ReadValueSlowly() {
    if (serving_ || (secondHalf_ && commaAllowed_ && Position() == secondHalf_->Split() - 1 &&
                     TakeSecondHalf())) {
        std::int32_t value = 0;
        Serve({&value, 1});
        return value;
    }
    SkipSeparator();
    valueLine_ = line_;
    std::int32_t value = 0;
    if (const char* plainEnd = PlainValueEnd(next_, value)) {
        next_ = plainEnd;
    } else {
        value = ParseValue();
    }
    ++valuesRead_;
    commaAllowed_ = true;
    return value;
}

void SequentialFile::SkipSeparator() {
    for (;;) {
        const int c = Peek();
        if (c == EOF) {
            RaiseShort();
        }
        if (c == '\n') {
            ++line_;
        } else if (c == '\r') {
            ++line_;
            Advance();
            if (Peek() == '\n') {
                Advance();
            }
            continue;
        } else if (c == ',') {
            if (!commaAllowed_) {
                valueLine_ = line_;
                RaiseAtValue(valuesRead_ == 0 ? "a comma before the first value"
                                              : "empty value between commas");
            }
            commaAllowed_ = false;
        } else if (!IsBlankOrLineEnd(c)) {
            return;
        }
        Advance();
    }
}

// A token as reports show it: its first characters, control bytes escaped,
// and its length if it is longer. The token may be far longer than any
// number (a megabyte of digits); its first characters are kept as they are
// and escaped only for a report.
class SequentialFile::Token {
public:
    void Add(char c) { Add(&c, &c + 1); }
    void Add(const char* from, const char* to) {
        const auto count = static_cast<std::size_t>(to - from);
        if (length_ < PreviewLimit) {
            std::memcpy(head_ + length_, from, std::min(count, PreviewLimit - length_));
        }
        length_ += count;
    }
    std::string Preview() const {
        std::string preview;
        for (std::size_t i = 0; i < std::min(length_, PreviewLimit); ++i) {
            AppendVisible(preview, static_cast<unsigned char>(head_[i]));
        }
        if (length_ > PreviewLimit) {
            preview += "... (" + std::to_string(length_) + " characters)";
        }
        return preview;
    }

private:
    char head_[PreviewLimit];
    std::size_t length_ = 0;
};

bool SequentialFile::Take(char wanted, Token& token) {
    if (Peek() != static_cast<unsigned char>(wanted)) {
        return false;
    }
    token.Add(wanted);
    Advance();
    return true;
}

// The digits may run on into the next blocks.
bool SequentialFile::TakeDigits(std::uint64_t& magnitude, Token& token) {
    bool any = false;
    while (Peek() != EOF) {
        const char* run = next_;
        next_ = digits::ReadDigits(run, magnitude);
        token.Add(run, next_);
        any = any || next_ != run;
        if (next_ != end_) {
            break;
        }
    }
    return any;
}

void SequentialFile::TakeRest(Token& token) {
    for (int c = Peek(); c != EOF && !IsSeparator(c); c = Peek()) {
        // Stop at once: an endless NUL stream (/dev/zero) must not be walked to its end.
        if (c == 0) {
            RaiseAtValue("contains NUL bytes; the file looks binary or UTF-16, not text");
        }
        token.Add(static_cast<char>(c));
        Advance();
    }
}

// An optional quote, an optional sign, digits and the closing quote if
// there was an opening one, up to the next separator or the file's end.
std::int32_t SequentialFile::ParseValue() {
    Token token;
    const bool quoted = Take('"', token);
    const bool negative = Take('-', token);
    if (!negative) {
        Take('+', token);
    }
    std::uint64_t magnitude = 0;
    const bool hasDigits = TakeDigits(magnitude, token);
    const bool closed = !quoted || Take('"', token);
    const int after = Peek();
    if (!hasDigits || !closed || (after != EOF && !IsSeparator(after))) {
        TakeRest(token);
        // Backslashes are already escaped, so \" inside is unambiguous.
        std::string shown = "\"";
        for (const char c : token.Preview()) {
            shown += c == '"' ? std::string("\\\"") : std::string(1, c);
        }
        RaiseAtValue(shown + "\" is not a whole number");
    }
    std::int32_t value = 0;
    if (!digits::SignedValue(negative, magnitude, value)) {
        RaiseAtValue(token.Preview() + " is outside the signed 32-bit range");
    }
    return value;
}

namespace {

// Below this, a second thread would cost about what it saves.
constexpr std::int64_t SecondHalfFrom = std::int64_t{1} << 20;

} // namespace

void SequentialFile::ExpectValues(std::int64_t total) {
    expected_ = total;
    const std::int64_t size = RegularFileSize();
    secondHalf_ = size >= SecondHalfFrom && !serving_
                      ? SecondHalf::Start(fileno(file_.get()), Position(), size)
                      : nullptr;
}

// At the LF before the second half's first value. Its values serve only if
// the caller will ask for all of them: a file that holds more values than
// that is read on from here instead, as it would be without them.
bool SequentialFile::TakeSecondHalf() {
    secondHalf_->Finish();
    const std::size_t count = secondHalf_->Values().size();
    if (count == 0 || static_cast<std::int64_t>(count) > expected_ - valuesRead_) {
        secondHalf_.reset();
        return false;
    }
    serving_ = true;
    served_ = 0;
    SetBlock(0);
    return true;
}

// As many of the values as are left to serve; then the reader goes on from
// where the last of them ends, as if it had read them itself.
std::size_t SequentialFile::Serve(std::span<std::int32_t> values) {
    const std::span<const std::int32_t> left = secondHalf_->Values().subspan(served_);
    const std::size_t count = std::min(values.size(), left.size());
    std::copy_n(left.begin(), count, values.begin());
    served_ += count;
    valuesRead_ += static_cast<std::int64_t>(count);
    if (count == left.size()) {
        ResumeAfterSecondHalf();
    }
    return count;
}

void SequentialFile::ResumeAfterSecondHalf() {
    line_ += secondHalf_->LineEnds();
    valueLine_ = line_;
    commaAllowed_ = true;
    offset_ = secondHalf_->End();
    Seek(file_.get(), offset_, SEEK_SET);
    eof_ = false;
    SetBlock(0);
    serving_ = false;
    secondHalf_.reset();
}

int SequentialFile::Peek() {
    if (next_ == end_ && !Refill()) {
        return EOF;
    }
    return static_cast<unsigned char>(*next_);
}

bool SequentialFile::Refill() {
    if (eof_) {
        return false;
    }
    // A block ends at the second half's start, so that the quick path stops
    // there and the half's values can take over.
    std::size_t room = BlockSize;
    if (secondHalf_ && offset_ < secondHalf_->Split()) {
        room = static_cast<std::size_t>(
            std::min<std::int64_t>(BlockSize, secondHalf_->Split() - offset_));
    }
    const std::size_t count = ReadInto(buffer_.get(), room);
    if (count == 0) {
        eof_ = true;
        return false;
    }
    SetBlock(count);
    return true;
}

void SequentialFile::SetBlock(std::size_t size) {
    next_ = buffer_.get();
    end_ = next_ + size;
    buffer_[size] = '\0';
}

std::size_t SequentialFile::ReadInto(char* into, std::size_t room) {
    bool failed = false;
    const std::size_t count = ReadSome(file_.get(), into, room, failed);
    if (failed) {
        Raise(shownPath_ + ": read error: " + ErrnoText());
    }
    offset_ += static_cast<std::int64_t>(count);
    return count;
}

void SequentialFile::CheckEncoding() {
    // Only as many bytes as it takes to tell the marks apart: a stream that
    // delivers its first value in one byte is not waited on for more.
    char* start = buffer_.get();
    std::size_t size = 0;
    do {
        const std::size_t count = ReadInto(start + size, BlockSize - size);
        if (count == 0) {
            eof_ = true;
            break;
        }
        size += count;
    } while (MayGrowIntoMark({start, size}));
    SetBlock(size);
    const std::string_view head(start, size);
    if (head.starts_with(Utf32LittleMark) || head.starts_with(Utf32BigMark)) {
        Raise(shownPath_ + ": is UTF-32 text; save it as UTF-8 or plain ASCII");
    }
    if (head.starts_with(Utf16LittleMark) || head.starts_with(Utf16BigMark)) {
        Raise(shownPath_ + ": is UTF-16 text; save it as UTF-8 or plain ASCII");
    }
    if (head.starts_with(Utf8Mark)) {
        next_ += Utf8Mark.size();
    }
}

void SequentialFile::RaiseAtValue(const std::string& what) const {
    Raise(shownPath_ + ", line " + std::to_string(valueLine_) + ", value " +
          std::to_string(valuesRead_ + 1) + ": " + what);
}

void SequentialFile::RaiseShort() const {
    std::string message = shownPath_ + ": the file ends after " + std::to_string(valuesRead_) +
                          (valuesRead_ == 1 ? " value" : " values");
    if (expected_ >= 0) {
        message += ", but " + std::to_string(expected_) + " are needed";
    } else {
        message += "; another value was needed";
    }
    Raise(message);
}

std::int64_t SequentialFile::RegularFileSize() const {
#ifdef _WIN32
    struct _stat64 status {};
    const bool known = _fstat64(_fileno(file_.get()), &status) == 0 && (status.st_mode & _S_IFREG);
#else
    struct stat status {};
    const bool known = fstat(fileno(file_.get()), &status) == 0 && S_ISREG(status.st_mode);
#endif
    return known ? static_cast<std::int64_t>(status.st_size) : 0;
}

} // namespace platform
