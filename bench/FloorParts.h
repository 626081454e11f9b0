// What both floors share: read the whole file, parse every value, and print
// record lines ("[%05d]   v1-v2-key") through a 1 MB buffer.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace floorparts {

inline std::vector<char> ReadAll(std::FILE* file) {
    std::vector<char> text;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        text.reserve(static_cast<std::size_t>(std::max(std::ftell(file), 0L)));
        std::rewind(file);
    }
    char block[1 << 16];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) {
        text.insert(text.end(), block, block + n);
    }
    return text;
}

inline bool IsValueStart(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+';
}

inline std::vector<std::int32_t> ParseValues(const std::vector<char>& text) {
    std::vector<std::int32_t> values;
    // Each value takes a digit and a separator at least: room enough, and
    // the pages never written cost nothing.
    values.reserve(text.size() / 2 + 1);
    const char* at = text.data();
    const char* end = at + text.size();
    while (at < end) {
        if (!IsValueStart(*at)) {
            ++at;
            continue;
        }
        at += *at == '+' ? 1 : 0;
        std::int32_t value = 0;
        const auto result = std::from_chars(at, end, value);
        at = result.ptr == at ? at + 1 : result.ptr;
        values.push_back(value);
    }
    return values;
}

class Output {
public:
    Output() : buffer_(BufferSize) {}
    ~Output() { Flush(); }
    char* Room() {
        if (BufferSize - used_ < LineRoom) {
            Flush();
        }
        return buffer_.data() + used_;
    }
    void Commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

private:
    static constexpr std::size_t BufferSize = 1 << 20;
    static constexpr std::size_t LineRoom = 64;
    void Flush() {
        std::fwrite(buffer_.data(), 1, used_, stdout);
        used_ = 0;
    }
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

inline char* WriteLine(char* out, std::int32_t position, const std::int32_t* record) {
    *out++ = '[';
    char digits[12];
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, position).ptr;
    for (auto length = digitsEnd - digits; length < 5; ++length) {
        *out++ = '0';
    }
    out = std::copy(static_cast<const char*>(digits), digitsEnd, out);
    std::memcpy(out, "]   ", 4);
    out += 4;
    out = std::to_chars(out, out + 12, record[0]).ptr;
    *out++ = '-';
    out = std::to_chars(out, out + 12, record[1]).ptr;
    *out++ = '-';
    out = std::to_chars(out, out + 12, record[2]).ptr;
    *out++ = '\n';
    return out;
}

// The values of the file that the one argument names, the record count
// first; ends the program with a usage message when there is no such file.
inline std::vector<std::int32_t> ValuesOfArgument(int argc, char** argv, const char* program) {
    std::FILE* file = argc == 2 ? std::fopen(argv[1], "rb") : nullptr;
    if (file == nullptr) {
        std::fprintf(stderr, "usage: %s FILE\n", program);
        std::exit(2);
    }
    std::vector<std::int32_t> values = ParseValues(ReadAll(file));
    std::fclose(file);
    return values;
}

// How many whole records of four values follow the count.
inline std::size_t RecordsIn(const std::vector<std::int32_t>& values) {
    return values.empty() ? 0 : (values.size() - 1) / 4;
}

// Every record line of the table, twice, as a run prints two lists of all
// the records.
inline void PrintTwice(const std::int32_t* table, std::size_t records) {
    Output out;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t p = 0; p < records; ++p) {
            out.Commit(WriteLine(out.Room(), static_cast<std::int32_t>(p), table + 4 * p));
        }
    }
}

} // namespace floorparts
