#pragma once

// A list box's lines in bulk, as text mode writes them: only the platform
// writes lists this way, so none of it is part of ListBox's own header.

#include "platform/ListBox.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

class ListBoxWriting {
public:
    // Record lines made in one go where lines are written in bulk.
    static constexpr std::size_t RecordLinesAtOnce = 256;

    // How many of the list's lines are record lines.
    static std::int32_t RecordLineCount(const ListBox& list) {
        return list.ListCount() - static_cast<std::int32_t>(list.textEnds_.size());
    }
    // Whether the list's record lines can be made: a list with none needs no
    // writer.
    static bool CanWriteRecords(const ListBox& list) {
        return list.writeRecords_ != nullptr || RecordLineCount(list) == 0;
    }
    // Raises as showing the list would if a record line could not be made.
    static void RaiseUnlessShowable(const ListBox& list);

    // The lines from `begin` up to `end` in order, record lines many at a
    // time so that their records can be read together: onText(index, text)
    // for a text line, onRecords(index, positions) for a run of at most
    // `limit` record lines from the line at index on.
    template <typename OnText, typename OnRecords>
    static void ForEachRun(const ListBox& list, std::int32_t begin, std::int32_t end,
                           std::size_t limit, OnText onText, OnRecords onRecords) {
        ListBox::LineBuffer scratch;
        for (std::int32_t i = begin; i < end;) {
            const std::span<const std::int32_t> records =
                list.RecordRun(i, std::min(limit, static_cast<std::size_t>(end - i)));
            if (records.empty()) {
                onText(i, list.Line(i, scratch));
                ++i;
            } else {
                onRecords(i, records);
                i += static_cast<std::int32_t>(records.size());
            }
        }
    }
    // Every line in order, each followed by '\n', as it is shown: through
    // out.Put(text) and out.Put('\n') for a text line, and for a run of
    // record lines out.Room(bytes), room to write them in place, then
    // out.Commit(end) with where they end.
    template <typename Out> static void WriteLines(const ListBox& list, Out& out) {
        ForEachRun(
            list, 0, list.ListCount(), RecordLinesAtOnce,
            [&](std::int32_t, std::string_view text) {
                out.Put(text);
                out.Put('\n');
            },
            [&](std::int32_t, std::span<const std::int32_t> records) {
                char* room = out.Room(records.size() * ListBox::RecordLineCapacity);
                out.Commit(list.WriteRecordLines(room, records));
            });
    }
    // The end of the lines from `begin` on whose text, each with its line
    // feed, surely fits in `room` bytes, a record line counted as
    // RecordLineCapacity; `begin` itself if that line alone does not fit.
    static std::int32_t LinesFitting(const ListBox& list, std::int32_t begin, std::size_t room);
    // Writes the lines from `begin` up to `end`, each followed by '\n', into
    // room that LinesFitting measured; returns the end. Only reads the list,
    // so that two threads may write two ranges at once.
    static char* WriteLineRange(const ListBox& list, char* out, std::int32_t begin,
                                std::int32_t end);
};

} // namespace platform
