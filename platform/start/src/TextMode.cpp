#include "TextMode.h"

#include "ListBoxWriting.h"
#include "platform/Guarantee.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <span>

namespace platform {

namespace {

// Lines go out in chunks of this size; the whole text is never held.
constexpr std::size_t TextChunk = 1 << 16;

class ChunkWriter {
public:
    explicit ChunkWriter(std::FILE* out)
        : out_(out), buffer_(std::make_unique_for_overwrite<char[]>(TextChunk)) {}

    void Put(std::string_view text) {
        if (text.size() > TextChunk - used_) {
            Flush();
            if (text.size() > TextChunk) {
                Write(text);
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, text.data(), text.size());
        used_ += text.size();
    }
    void Put(char c) {
        if (used_ == TextChunk) {
            Flush();
        }
        buffer_[used_++] = c;
    }
    // Room for `size` bytes (at most TextChunk) at the end of the buffer,
    // to be taken by Commit.
    char* Room(std::size_t size) {
        if (size > TextChunk - used_) {
            Flush();
        }
        return buffer_.get() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    // True once a write has failed: what follows is not written anyway.
    bool Failed() const { return !ok_; }
    // True if everything reached the stream and the stream took it.
    bool Finish() {
        Flush();
        return ok_ && std::fflush(out_) == 0 && !std::ferror(out_);
    }

private:
    void Flush() {
        Write({buffer_.get(), used_});
        used_ = 0;
    }
    void Write(std::string_view text) {
        // After a failure errno keeps its cause, and nothing more is tried.
        if (ok_ && !text.empty()) {
            ok_ = std::fwrite(text.data(), 1, text.size(), out_) == text.size();
        }
    }

    std::FILE* out_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// Record lines go straight into the buffer, many at a time.
static_assert(ListBoxWriting::RecordLinesAtOnce * ListBox::RecordLineCapacity <= TextChunk);

// A long list, formatted block by block on two threads and written in
// order by the calling thread, which formats blocks too while the next one
// to write is not ready. Blocks are claimed in line order; a block's slot is
// free again once it is written, so at most Slots blocks are ahead.
class TwoThreadLines {
public:
    // Takes the blocks' buffers, where memory allows.
    TwoThreadLines(const ListBox& list, const TextWriting& how)
        : list_(list), count_(list.ListCount()), how_(how) {
        // Every buffer exists before the worker starts: it allocates nothing.
        // Memory that is short now leaves the list to one thread, which
        // needs none of it.
        for (Block& block : slots_) {
            block.text.reset(new (std::nothrow) char[how.blockRoom]);
            buffersHad_ = buffersHad_ && block.text != nullptr;
        }
    }

    // Writes the whole list; false, having written nothing, if the buffers
    // or the second thread could not be had.
    bool WriteTo(ChunkWriter& writer) {
        // A thread is a resource like memory, which limits on processes or
        // address space may deny. pthread_create says so by its result,
        // where std::thread would throw past this decision: the list is then
        // written on one thread instead.
        if (!buffersHad_ || how_.startThread(&worker_, nullptr, RunWorker, this) != 0) {
            return false;
        }
        // Leaving this scope, however, stops the worker and joins it.
        const WorkerStopper stopper(*this);
        std::unique_lock lock(mutex_);
        while (!AllWritten() && !writer.Failed()) {
            Block& next = slots_[written_ % Slots];
            if (written_ < claimed_ && next.ready) {
                lock.unlock();
                WriteBlock(next, writer);
                lock.lock();
                next.ready = false;
                ++written_;
                changed_.notify_all();
            } else if (CanClaim()) {
                FormatClaimed(Claim(), lock);
            } else {
                changed_.wait(lock);
            }
        }
        return true;
    }

private:
    static constexpr std::size_t Slots = 4;
    struct Block {
        std::unique_ptr<char[]> text;
        const char* end = nullptr;
        std::int32_t begin = 0;
        std::int32_t endLine = 0;
        bool inPlace = false; // else one text line, written from the list
        bool ready = false;
    };
    class WorkerStopper {
    public:
        explicit WorkerStopper(TwoThreadLines& lines) : lines_(lines) {}
        ~WorkerStopper() {
            {
                const std::lock_guard lock(lines_.mutex_);
                lines_.stopping_ = true;
            }
            lines_.changed_.notify_all();
            pthread_join(lines_.worker_, nullptr);
        }
        WorkerStopper(const WorkerStopper&) = delete;
        WorkerStopper& operator=(const WorkerStopper&) = delete;

    private:
        TwoThreadLines& lines_;
    };

    static void* RunWorker(void* self) {
        static_cast<TwoThreadLines*>(self)->Work();
        return nullptr;
    }
    // Nothing here raises: the buffers are allocated, the list has its
    // record writer (WriteList saw to it), and that writer raises only for a
    // position outside its table, which every record line was checked
    // against when it was added.
    void Work() noexcept {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || CanClaim(); });
            if (stopping_) {
                return;
            }
            FormatClaimed(Claim(), lock);
        }
    }
    bool CanClaim() const { return nextLine_ < count_ && claimed_ - written_ < Slots; }
    bool AllWritten() const { return nextLine_ == count_ && written_ == claimed_; }
    // Takes the next block's lines; under the lock.
    Block& Claim() {
        Block& block = slots_[claimed_++ % Slots];
        const std::int32_t fitting = ListBoxWriting::LinesFitting(list_, nextLine_, how_.blockRoom);
        block.begin = nextLine_;
        block.inPlace = fitting > nextLine_;
        block.endLine = block.inPlace ? fitting : nextLine_ + 1;
        nextLine_ = block.endLine;
        return block;
    }
    void FormatClaimed(Block& block, std::unique_lock<std::mutex>& lock) {
        lock.unlock();
        if (block.inPlace) {
            block.end =
                ListBoxWriting::WriteLineRange(list_, block.text.get(), block.begin, block.endLine);
        }
        lock.lock();
        block.ready = true;
        changed_.notify_all();
    }
    void WriteBlock(const Block& block, ChunkWriter& writer) const {
        if (block.inPlace) {
            // As the record writer promises, a line takes RecordLineCapacity
            // bytes at most.
            Expect(block.end - block.text.get() <= static_cast<std::ptrdiff_t>(how_.blockRoom),
                   "record lines fit their room");
            writer.Put({block.text.get(), static_cast<std::size_t>(block.end - block.text.get())});
        } else {
            ListBox::LineBuffer unused;
            writer.Put(list_.Line(block.begin, unused));
            writer.Put('\n');
        }
    }

    const ListBox& list_;
    const std::int32_t count_;
    const TextWriting& how_;
    bool buffersHad_ = true;
    std::array<Block, Slots> slots_;
    pthread_t worker_{};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::int32_t nextLine_ = 0;
    std::size_t claimed_ = 0;
    std::size_t written_ = 0;
};

void WriteList(const ListBox& list, ChunkWriter& writer, const TextWriting& how) {
    if (writer.Failed()) {
        return; // nothing more would be written
    }
    // A list without its record writer fails on this thread, as it is
    // written, never on the worker.
    if (ListBoxWriting::RecordLineCount(list) >= how.twoThreadsFrom &&
        ListBoxWriting::CanWriteRecords(list) && TwoThreadLines(list, how).WriteTo(writer)) {
        return;
    }
    ListBoxWriting::WriteLines(list, writer);
}

void WriteTips(const Form& form, std::string_view caption, ChunkWriter& writer) {
    writer.Put('\n');
    writer.Put(caption);
    writer.Put('\n');
    ListBox::LineBuffer scratch;
    for (const auto& control : form.Description().controls) {
        if (control.kind != ControlKind::ListBox ||
            !form.ListBoxNamed(control.name).WritesTipsInText()) {
            continue;
        }
        const ListBox& list = form.ListBoxNamed(control.name);
        const std::int32_t count = list.ListCount();
        for (std::int32_t i = 0; i < count; ++i) {
            writer.Put(list.Line(i, scratch));
            writer.Put('\t');
            writer.Put(list.Tip(i));
            writer.Put('\n');
        }
    }
}

} // namespace

bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption) {
    return WriteFormAsText(form, out, tipsCaption, TextWriting{});
}

bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption,
                     const TextWriting& how) {
    ChunkWriter writer(out);
    const auto& controls = form.Description().controls;
    bool first = true;
    for (const auto& frame : controls) {
        if (frame.kind != ControlKind::Frame) {
            continue;
        }
        if (!first) {
            writer.Put('\n');
        }
        first = false;
        writer.Put(frame.caption);
        writer.Put('\n');
        for (const auto& control : controls) {
            if (control.kind == ControlKind::ListBox && control.container == frame.name) {
                WriteList(form.ListBoxNamed(control.name), writer, how);
            }
        }
    }
    if (form.ShowsTips()) {
        WriteTips(form, tipsCaption, writer);
    }
    return writer.Finish();
}

} // namespace platform
