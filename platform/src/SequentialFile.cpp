#include "platform/SequentialFile.h"

#include "platform/FatalError.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

constexpr std::size_t BlockSize = 1 << 16;
constexpr std::size_t PreviewLimit = 24;

bool IsBlankOrLineEnd(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Shows a token the way a user can read it back, control bytes escaped.
void AppendVisible(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789ABCDEF";
    if (c >= 0x20 && c < 0x7F && c != '\\') {
        out.push_back(static_cast<char>(c));
    } else {
        out += "\\x";
        out.push_back(hex[c >> 4]);
        out.push_back(hex[c & 15]);
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

} // namespace

SequentialFile::SequentialFile(std::string path)
    : path_(std::move(path)), shownPath_(ShownName(path_)) {
    std::error_code error;
    if (std::filesystem::is_directory(path_, error)) {
        Raise(shownPath_ + ": is a directory, not a data file");
    }
    errno = 0;
    file_.reset(std::fopen(path_.c_str(), "rb"));
    if (file_ == nullptr) {
        Raise(shownPath_ + ": cannot open for reading: " + ErrnoText());
    }
    buffer_ = std::make_unique<char[]>(BlockSize);
    next_ = end_ = buffer_.get();
    CheckEncoding();
}

SequentialFile::~SequentialFile() = default;

bool SequentialFile::Refill() {
    if (eof_) {
        return false;
    }
    const std::size_t count = ReadInto(buffer_.get(), BlockSize);
    if (count == 0) {
        eof_ = true;
        return false;
    }
    next_ = buffer_.get();
    end_ = next_ + count;
    return true;
}

std::size_t SequentialFile::ReadInto(char* into, std::size_t room) {
    bool failed = false;
    const std::size_t count = ReadSome(file_.get(), into, room, failed);
    if (failed) {
        Raise(shownPath_ + ": read error: " + ErrnoText());
    }
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
    next_ = start;
    end_ = start + size;
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

std::int32_t SequentialFile::ParseValue() {
    // One pass over the token: it may be far longer than any number (a
    // megabyte of digits), so only a short preview is kept for the report.
    enum class Stage { Start, AfterQuote, AfterSign, Digits, Closed, Invalid };
    Stage stage = Stage::Start;
    bool quoted = false;
    bool negative = false;
    std::uint64_t magnitude = 0;
    std::string preview;
    std::size_t length = 0;

    for (int c = Peek(); c != EOF && !IsSeparator(c); c = Peek()) {
        Advance();
        if (length++ < PreviewLimit) {
            AppendVisible(preview, static_cast<unsigned char>(c));
        }
        // Stop at once: an endless NUL stream (/dev/zero) must not be walked to its end.
        if (c == 0) {
            RaiseAtValue("contains NUL bytes; the file looks binary or UTF-16, not text");
        }
        const bool digit = c >= '0' && c <= '9';
        switch (stage) {
        case Stage::Start:
        case Stage::AfterQuote:
            if (c == '"' && stage == Stage::Start) {
                quoted = true;
                stage = Stage::AfterQuote;
            } else if (c == '+' || c == '-') {
                negative = c == '-';
                stage = Stage::AfterSign;
            } else {
                stage = digit ? Stage::Digits : Stage::Invalid;
            }
            break;
        case Stage::AfterSign:
            stage = digit ? Stage::Digits : Stage::Invalid;
            break;
        case Stage::Digits:
            if (c == '"' && quoted) {
                stage = Stage::Closed;
            } else if (!digit) {
                stage = Stage::Invalid;
            }
            break;
        case Stage::Closed:
        case Stage::Invalid:
            stage = Stage::Invalid;
            break;
        }
        if (digit && stage == Stage::Digits && magnitude <= (std::uint64_t{1} << 32)) {
            magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        }
    }

    if (length > PreviewLimit) {
        preview += "... (" + std::to_string(length) + " characters)";
    }
    const bool complete = stage == Stage::Closed || (stage == Stage::Digits && !quoted);
    if (!complete) {
        // Backslashes are already escaped, so \" inside is unambiguous.
        std::string quoted = "\"";
        for (const char c : preview) {
            quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
        }
        RaiseAtValue(quoted + "\" is not a whole number");
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (magnitude > limit) {
        RaiseAtValue(preview + " is outside the signed 32-bit range");
    }
    const auto signedMagnitude = static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(negative ? -signedMagnitude : signedMagnitude);
}

// The common case without the state machine: an optional minus sign and at
// most ten digits, followed by a separator inside the current block. Anything
// else (a quote, a plus sign, a value that ends the block or is too big) is
// left to ParseValue, which reads it afresh and reports it.
bool SequentialFile::TryParsePlainValue(std::int32_t& value) {
    const char* p = next_;
    const bool negative = p < end_ && *p == '-';
    p += negative ? 1 : 0;
    const char* digits = p;
    std::int64_t magnitude = 0;
    while (p < end_ && *p >= '0' && *p <= '9' && p - digits < 10) {
        magnitude = magnitude * 10 + (*p - '0');
        ++p;
    }
    if (p == digits || p == end_ || !IsSeparator(static_cast<unsigned char>(*p))) {
        return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) {
        return false;
    }
    value = static_cast<std::int32_t>(signedValue);
    next_ = p;
    return true;
}

std::int32_t SequentialFile::ReadValueSlowly() {
    std::int32_t value = 0;
    SkipSeparator();
    valueLine_ = line_;
    if (!TryParsePlainValue(value)) {
        value = ParseValue();
    }
    ++valuesRead_;
    commaAllowed_ = true;
    return value;
}

namespace {

std::map<int, std::unique_ptr<SequentialFile>>& OpenFiles() {
    static std::map<int, std::unique_ptr<SequentialFile>> files;
    return files;
}

std::map<std::string, std::string>& Redirections() {
    static std::map<std::string, std::string> redirections;
    return redirections;
}

std::string& LastOpened() {
    static std::string name;
    return name;
}

// The file last looked up: a load reads millions of values from one file.
int lastNumber = 0;
SequentialFile* lastFile = nullptr;

void ForgetLastFile() {
    lastFile = nullptr;
}

SequentialFile& FileAt(int fileNumber) {
    if (lastFile != nullptr && lastNumber == fileNumber) {
        return *lastFile;
    }
    const auto found = OpenFiles().find(fileNumber);
    if (found == OpenFiles().end()) {
        Raise("file number " + std::to_string(fileNumber) + " is not open");
    }
    lastNumber = fileNumber;
    lastFile = found->second.get();
    return *lastFile;
}

} // namespace

void RedirectFile(std::string name, std::string path) {
    Redirections()[std::move(name)] = std::move(path);
}

void OpenForInput(std::string_view name, int fileNumber) {
    if (OpenFiles().contains(fileNumber)) {
        Raise("file number " + std::to_string(fileNumber) + " is already open");
    }
    std::string path(name);
    if (const auto found = Redirections().find(path); found != Redirections().end()) {
        path = found->second;
    }
    auto file = std::make_unique<SequentialFile>(std::move(path));
    LastOpened() = file->ShownPath();
    OpenFiles()[fileNumber] = std::move(file);
}

std::int32_t InputValue(int fileNumber) {
    return FileAt(fileNumber).ReadValue();
}

void InputValues(int fileNumber, std::span<std::int32_t> values) {
    FileAt(fileNumber).ReadValues(values);
}

const std::string& LastOpenedName() {
    return LastOpened();
}

void ExpectValues(int fileNumber, std::int64_t total) {
    FileAt(fileNumber).ExpectValues(total);
}

const std::string& FilePath(int fileNumber) {
    return FileAt(fileNumber).ShownPath();
}

void CloseFile(int fileNumber) {
    ForgetLastFile();
    OpenFiles().erase(fileNumber);
}

void CloseAllFiles() {
    ForgetLastFile();
    OpenFiles().clear();
}

} // namespace platform
