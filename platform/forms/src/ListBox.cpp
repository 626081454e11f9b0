#include "platform/ListBox.h"

#include "ListBoxContents.h"
#include "ListBoxWriting.h"
#include "platform/FatalError.h"

#include <algorithm>
#include <cstdint>
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

void ListBox::Reserve(std::size_t lines) {
    const Building building(Filling(lines_.size() + lines));
    lines_.reserve(std::min(lines_.size() + lines, MostLines));
}

// Texts keep coming in the share of the lines that they have had so far:
// room for that share of the lines that the list has room for, which
// Reserve sets where the count is known, takes their memory about once.
// Until there is a share to go by, the room doubles; where the share falls
// short, it grows by an eighth at least.
void ListBox::GrowTexts(std::size_t adding) {
    // Named, so that running out of memory here says what was being built.
    const Building building(Filling(lines_.size()));
    const std::size_t texts = textEnds_.size() + 1;
    const std::size_t bytes = texts_.size() + adding;
    const std::size_t lines = lines_.size() + 1;
    std::size_t textRoom = 2 * texts + 16;
    std::size_t byteRoom = 2 * bytes + 256;
    constexpr std::size_t SharesFrom = 1024;
    if (lines >= SharesFrom && lines_.capacity() > lines) {
        const double scale = static_cast<double>(lines_.capacity()) / static_cast<double>(lines);
        const auto scaled = [scale](std::size_t now, double slack) {
            const double room = scale * slack * static_cast<double>(now);
            // Beyond any memory: reserve then fails as memory does.
            return static_cast<std::size_t>(std::min(room, static_cast<double>(SIZE_MAX / 4)));
        };
        textRoom = std::max(texts + texts / 8, scaled(texts, 1));
        // Later texts may be longer ("Output List 100000"); an extra quarter
        // keeps the last of them from moving all.
        byteRoom = std::max(bytes + bytes / 8, scaled(bytes, 1.25));
    }
    if (textEnds_.size() == textEnds_.capacity()) {
        textEnds_.reserve(textRoom);
    }
    if (adding > texts_.capacity() - texts_.size()) {
        texts_.reserve(byteRoom);
    }
}

void ListBox::AddItem(std::string_view text) {
    if (textEnds_.size() == textEnds_.capacity() ||
        text.size() > texts_.capacity() - texts_.size()) {
        GrowTexts(text.size());
    }
    // Texts are numbered from -1 down; there are never more than lines.
    Append(-1 - static_cast<std::int32_t>(textEnds_.size()));
    texts_.append(text);
    textEnds_.push_back(texts_.size());
}

void ListBox::RaiseNoWayToShow(std::int32_t position) {
    Raise("list box line for record " + std::to_string(position) + " has no way to be shown");
}

std::int32_t ListBoxContents::RecordOf(const ListBox& list, std::int32_t index) {
    const std::int32_t entry = list.lines_[list.Offset(index)];
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
    ListBoxWriting::WriteLines(*this, out);
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

void ListBoxWriting::RaiseUnlessShowable(const ListBox& list) {
    if (!CanWriteRecords(list)) {
        const auto record = std::find_if(list.lines_.begin(), list.lines_.end(),
                                         [](std::int32_t entry) { return entry >= 0; });
        ListBox::RaiseNoWayToShow(*record);
    }
}

std::int32_t ListBoxWriting::LinesFitting(const ListBox& list, std::int32_t begin,
                                          std::size_t room) {
    std::size_t index = list.Offset(begin);
    for (; index < list.lines_.size(); ++index) {
        const std::int32_t entry = list.lines_[index];
        const std::size_t size =
            entry >= 0 ? ListBox::RecordLineCapacity : list.Text(entry).size() + 1;
        if (size > room) {
            break;
        }
        room -= size;
    }
    return static_cast<std::int32_t>(index);
}

char* ListBoxWriting::WriteLineRange(const ListBox& list, char* out, std::int32_t begin,
                                     std::int32_t end) {
    ForEachRun(
        list, begin, end, RecordLinesAtOnce,
        [&](std::int32_t, std::string_view text) {
            out = std::copy(text.begin(), text.end(), out);
            *out++ = '\n';
        },
        [&](std::int32_t, std::span<const std::int32_t> records) {
            out = list.WriteRecordLines(out, records);
        });
    return out;
}

// Measured by making the lines, many at a time as text mode makes them:
// the line format is the program's alone.
std::int32_t ListBox::LongestLine() const {
    std::vector<char> batch(ListBoxWriting::RecordLinesAtOnce * RecordLineCapacity);
    std::int32_t longest = 0;
    std::size_t longestSize = 0;
    auto consider = [&](std::int32_t index, std::size_t size) {
        if (size > longestSize) {
            longest = index;
            longestSize = size;
        }
    };
    ListBoxWriting::ForEachRun(
        *this, 0, ListCount(), ListBoxWriting::RecordLinesAtOnce,
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
