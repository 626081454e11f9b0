#pragma once

// The reader behind the numbered files, for the runtime itself, its tests
// and the fuzzers: the program reads through file numbers
// (platform/SequentialFile.h).

#include "SecondHalf.h"
#include "platform/SequentialFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Reads whole numbers one at a time from a text file. Values are separated
// by blanks, tabs, line ends (LF, CRLF, CR) or a single comma; a value is an
// optional sign and decimal digits, optionally in double quotes. Anything
// else is a fatal error naming the file, the line and the value's ordinal.
// Nothing is read ahead beyond one block, but for the second half of a
// large regular file once the caller has said how many values it will ask
// for (SecondHalf.h), and nothing past the value that the caller asks for
// is ever reported. A read takes what has arrived, so
// values on a pipe, FIFO or terminal are parsed as they come, and more is
// waited for only when the value asked for is not complete yet.
class SequentialFile {
public:
    // The path that names standard input, as in most Unix tools; reports
    // call it "standard input".
    static constexpr std::string_view StandardInputName = platform::StandardInputName;

    explicit SequentialFile(std::string path);
    ~SequentialFile();
    SequentialFile(const SequentialFile&) = delete;
    SequentialFile& operator=(const SequentialFile&) = delete;

    std::int32_t ReadValue();
    // Several values in a row, as that many reads, in one call.
    void ReadValues(std::span<std::int32_t> values);

    // How many values the caller will ask for in all, so that a short file
    // can say how many were needed. A large regular file then has its second
    // half parsed ahead, on a second thread.
    void ExpectValues(std::int64_t total);

    const std::string& Path() const { return path_; }
    // The path as reports show it: escaped, quoted where needed.
    const std::string& ShownPath() const { return shownPath_; }
    // The size of a regular file, 0 for a stream.
    std::int64_t RegularFileSize() const;

private:
    class Token;

    // Inline where the reads are defined: it runs once per value of a file
    // of millions.
    inline bool TryReadPlainValue(std::int32_t& value);
    std::int32_t ReadValueSlowly();
    void SkipSeparator();
    std::int32_t ParseValue();
    bool Take(char wanted, Token& token);
    bool TakeDigits(std::uint64_t& magnitude, Token& token);
    void TakeRest(Token& token);

    std::int64_t Position() const { return offset_ - (end_ - next_); }
    bool TakeSecondHalf();
    std::size_t Serve(std::span<std::int32_t> values);
    void ResumeAfterSecondHalf();

    int Peek();
    void Advance() { ++next_; }
    bool Refill();
    void SetBlock(std::size_t size);
    std::size_t ReadInto(char* into, std::size_t room);
    void CheckEncoding();
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
    // A block of the file from next_ to end_, followed by a NUL: no value
    // holds one, so a scan stops there without testing for the block's end.
    std::unique_ptr<char[]> buffer_;
    const char* next_ = nullptr;
    const char* end_ = nullptr;
    bool eof_ = false;
    bool commaAllowed_ = false;
    std::int64_t line_ = 1;
    std::int64_t valueLine_ = 1;
    std::int64_t valuesRead_ = 0;
    std::int64_t expected_ = -1;
    // Where the next block is read from in the file.
    std::int64_t offset_ = 0;
    // The second half parsed ahead; while its values are served, the block
    // is empty and served_ is the next of them.
    std::unique_ptr<SecondHalf> secondHalf_;
    bool serving_ = false;
    std::size_t served_ = 0;
};

} // namespace platform
