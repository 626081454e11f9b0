#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The lines of one list box. A line is kept as what it is, not as its text:
// a record line by the record's position, or a literal text (a heading, a
// blank line). The text of a record line is made only when it is asked for,
// by the one function that the program hands over, so that a million lines
// cost no million strings.
class ListBox {
public:
    // Room that a record line may take, with the line feed after it: what
    // the program's writer promises never to pass.
    static constexpr std::size_t RecordLineCapacity = 64;
    using LineBuffer = std::array<char, RecordLineCapacity>;
    // Writes the lines of the records at these positions, each followed by
    // '\n', at most RecordLineCapacity bytes for each, and returns the end
    // of what it wrote. The list asks for many lines at once where it can, so
    // that their records can be read together. Text mode calls it from two
    // threads at once: it only reads, and it does not raise for a position
    // that was checked when its line was added.
    using RecordLinesWriter = char* (*)(char* out, std::span<const std::int32_t> positions);

    // Makes the tip of the line at a 0-based index: a short text shown on
    // demand beside the line, or "" for none.
    using TipWriter = std::string (*)(std::int32_t index);

    // How this list's record lines are written; needed only once a line is
    // shown, so it may come before or after the lines.
    void UseRecordLines(RecordLinesWriter writer) { writeRecords_ = writer; }
    enum class TipsInText { Written, Left };
    // Gives the lines tips. Without this, no line has one. Text mode with
    // tips writes them too unless they are `Left` to the window.
    void UseTips(TipWriter writer, TipsInText inText = TipsInText::Written) {
        writeTip_ = writer;
        tipsInText_ = inText;
    }
    bool HasTips() const { return writeTip_ != nullptr; }
    bool WritesTipsInText() const { return HasTips() && tipsInText_ == TipsInText::Written; }
    // The tip of the line at a 0-based index, made now.
    std::string Tip(std::int32_t index) const;
    // Appends the text as the new last line.
    void AddItem(std::string_view text);
    // Room for this many more lines, when the caller knows them: a list of
    // millions of lines then takes its memory once, not by doubling.
    void Reserve(std::size_t lines);
    // Appends the line of the record at a position (not negative); the
    // caller has checked that the record exists.
    void AddRecordLine(std::int32_t position) {
        if (position < 0) {
            RaiseNoWayToShow(position);
        }
        Append(position);
    }

    std::int32_t ListCount() const { return static_cast<std::int32_t>(lines_.size()); }
    // The text of the line at a 0-based index, made in scratch if need be;
    // valid while both live.
    std::string_view Line(std::int32_t index, LineBuffer& scratch) const {
        const std::size_t offset = Offset(index);
        if (lines_[offset] >= 0) {
            const char* end = WriteRecordLines(scratch.data(), {&lines_[offset], 1});
            return {scratch.data(), static_cast<std::size_t>(end - 1 - scratch.data())};
        }
        return Text(lines_[offset]);
    }
    // The same as a string.
    std::string List(std::int32_t index) const;
    // Every line, each followed by '\n', as one text.
    std::string AllLines() const;
    // The index of the first line with the most characters, 0 if none.
    std::int32_t LongestLine() const;

private:
    // Text mode's bulk writing and the tests' view of the lines, which only
    // the platform sees.
    friend class ListBoxWriting;
    friend class ListBoxContents;

    std::size_t Offset(std::int32_t index) const {
        if (index < 0 || index >= ListCount()) {
            RaiseBadIndex(index);
        }
        return static_cast<std::size_t>(index);
    }
    std::string_view Text(std::int32_t entry) const {
        const auto t = static_cast<std::size_t>(-(entry + 1));
        const std::size_t begin = t == 0 ? 0 : textEnds_[t - 1];
        return std::string_view(texts_).substr(begin, textEnds_[t] - begin);
    }
    // The lines of these records, each followed by '\n', into a buffer of
    // RecordLineCapacity bytes per position; returns the end.
    char* WriteRecordLines(char* out, std::span<const std::int32_t> positions) const {
        if (writeRecords_ == nullptr) {
            RaiseNoWayToShow(positions.front());
        }
        return writeRecords_(out, positions);
    }
    // The positions of the record lines that stand one after another from
    // the line at `index` on, at most `limit` of them; empty for a text line.
    std::span<const std::int32_t> RecordRun(std::int32_t index, std::size_t limit) const;
    // Inline while there is room: lists of millions of lines are filled.
    void Append(std::int32_t entry) {
        if (lines_.size() < lines_.capacity() && lines_.size() < MostLines) {
            lines_.push_back(entry);
        } else {
            Grow(entry);
        }
    }
    static constexpr std::size_t MostLines = INT32_MAX;
    void Grow(std::int32_t entry);
    void GrowTexts(std::size_t adding);
    // What a failure to take memory for `lines` lines was building.
    static std::string Filling(std::size_t lines);
    [[noreturn]] static void RaiseNoWayToShow(std::int32_t position);
    [[noreturn]] void RaiseBadIndex(std::int32_t index) const;

    // One entry per line: a record's position, or -1 - n for the n-th text.
    std::vector<std::int32_t> lines_;
    std::string texts_;
    std::vector<std::size_t> textEnds_;
    RecordLinesWriter writeRecords_ = nullptr;
    TipWriter writeTip_ = nullptr;
    TipsInText tipsInText_ = TipsInText::Written;

public:
    // Where keys lead, for a window: the program tells each list, line by
    // line, which line of which list shows the same record, and what the
    // list holds in counts. Without this a list leads nowhere.
    struct LineInList {
        const char* list; // a list box's name; null for no line
        std::int32_t index;
    };
    // The line that a record line leads to, {nullptr, -1} for none.
    using FollowWriter = LineInList (*)(std::int32_t index);
    // The index of the line that shows the record at a position, -1 if none.
    using PositionFinder = std::int32_t (*)(std::int32_t position);
    using CountsWriter = std::string (*)();
    void UseNavigation(FollowWriter follow, PositionFinder find, CountsWriter counts) {
        follow_ = follow;
        findPosition_ = find;
        writeCounts_ = counts;
    }
    bool Navigates() const { return follow_ != nullptr; }
    LineInList Follow(std::int32_t index) const {
        return follow_ != nullptr && index >= 0 && index < ListCount() ? follow_(index)
                                                                       : LineInList{nullptr, -1};
    }
    std::int32_t LineOfPosition(std::int32_t position) const {
        return findPosition_ != nullptr ? findPosition_(position) : -1;
    }
    std::string Counts() const { return writeCounts_ != nullptr ? writeCounts_() : std::string(); }

private:
    FollowWriter follow_ = nullptr;
    PositionFinder findPosition_ = nullptr;
    CountsWriter writeCounts_ = nullptr;
};

} // namespace platform
