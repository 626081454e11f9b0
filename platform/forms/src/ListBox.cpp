#include "platform/ListBox.h"

#include "platform/FatalError.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {

std::string ListBox::Filling(std::size_t lines) {
    return "filling a list of " + std::to_string(lines) + " lines";
}

void ListBox::Grow(std::int32_t entry) {
    if (lines_.size() >= MostLines) {
        Raise("a list box cannot hold more than 2147483647 lines");
    }
    if (lines_.size() == lines_.capacity()) {
        // Named, so that running out of memory here says what was being built.
        const Building building(Filling(lines_.size()));
        lines_.reserve(std::max<std::size_t>(64, lines_.size() * 2));
    }
    lines_.push_back(entry);
}

void ListBox::Reserve(std::size_t lines, std::size_t texts, std::size_t textBytes) {
    const Building building(Filling(lines_.size() + lines));
    lines_.reserve(std::min(lines_.size() + lines, MostLines));
    textEnds_.reserve(textEnds_.size() + texts);
    texts_.reserve(texts_.size() + textBytes);
}

void ListBox::AddItem(std::string_view text) {
    // Texts are numbered from -1 down; there are never more than lines.
    const auto entry = -1 - static_cast<std::int32_t>(textEnds_.size());
    Append(entry);
    texts_.append(text);
    textEnds_.push_back(texts_.size());
}

void ListBox::RaiseNoWayToShow(std::int32_t position) {
    Raise("list box line for record " + std::to_string(position) + " has no way to be shown");
}

std::int32_t ListBox::RecordOf(std::int32_t index) const {
    const std::int32_t entry = lines_[Offset(index)];
    if (entry < 0) {
        Raise("list line " + std::to_string(index) + " is not a record line");
    }
    return entry;
}

std::string ListBox::Tip(std::int32_t index) const {
    Offset(index);
    return writeTip_ != nullptr ? writeTip_(index) : std::string();
}

std::string ListBox::List(std::int32_t index) const {
    LineBuffer scratch;
    return std::string(Line(index, scratch));
}

namespace {

// Lines gathered in a string; record lines are written in place.
class StringOut {
public:
    explicit StringOut(std::string& text) : text_(text) {}
    void Put(std::string_view piece) { text_ += piece; }
    void Put(char c) { text_ += c; }
    char* Room(std::size_t size) {
        const std::size_t used = text_.size();
        text_.resize(used + size);
        return text_.data() + used;
    }
    void Commit(const char* end) { text_.resize(static_cast<std::size_t>(end - text_.data())); }

private:
    std::string& text_;
};

} // namespace

std::string ListBox::AllLines() const {
    std::string text;
    StringOut out(text);
    WriteLines(out);
    return text;
}

std::span<const std::int32_t> ListBox::RecordRun(std::int32_t index, std::size_t limit) const {
    const std::size_t begin = Offset(index);
    std::size_t end = begin;
    while (end < lines_.size() && end - begin < limit && lines_[end] >= 0) {
        ++end;
    }
    return std::span<const std::int32_t>(lines_).subspan(begin, end - begin);
}

std::int32_t ListBox::LinesFitting(std::int32_t begin, std::size_t room) const {
    std::size_t index = Offset(begin);
    for (; index < lines_.size(); ++index) {
        const std::int32_t entry = lines_[index];
        const std::size_t size = entry >= 0 ? RecordLineCapacity : Text(entry).size() + 1;
        if (size > room) {
            break;
        }
        room -= size;
    }
    return static_cast<std::int32_t>(index);
}

char* ListBox::WriteLineRange(char* out, std::int32_t begin, std::int32_t end) const {
    ForEachRun(
        begin, end, RecordLinesAtOnce,
        [&](std::int32_t, std::string_view text) {
            out = std::copy(text.begin(), text.end(), out);
            *out++ = '\n';
        },
        [&](std::int32_t, std::span<const std::int32_t> records) {
            out = WriteRecordLines(out, records);
        });
    return out;
}

// Measured by making the lines, many at a time as text mode makes them:
// the line format is the program's alone.
std::int32_t ListBox::LongestLine() const {
    std::vector<char> batch(RecordLinesAtOnce * RecordLineCapacity);
    std::int32_t longest = 0;
    std::size_t longestSize = 0;
    auto consider = [&](std::int32_t index, std::size_t size) {
        if (size > longestSize) {
            longest = index;
            longestSize = size;
        }
    };
    ForEachRun(
        0, ListCount(), RecordLinesAtOnce,
        [&](std::int32_t index, std::string_view text) { consider(index, text.size()); },
        [&](std::int32_t index, std::span<const std::int32_t> records) {
            const char* end = WriteRecordLines(batch.data(), records);
            for (const char* line = batch.data(); line < end; ++index) {
                const auto* lineEnd = static_cast<const char*>(
                    std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
                consider(index, static_cast<std::size_t>(lineEnd - line));
                line = lineEnd + 1;
            }
        });
    return longest;
}

void ListBox::RaiseBadIndex(std::int32_t index) const {
    Raise("list index " + std::to_string(index) + " is outside 0 to " +
          std::to_string(ListCount() - 1));
}

} // namespace platform
