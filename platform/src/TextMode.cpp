#include "TextMode.h"

#include <cstring>
#include <memory>
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
static_assert(ListBox::RecordLinesAtOnce * ListBox::RecordLineCapacity <= TextChunk);

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
                form.ListBoxNamed(control.name).WriteLines(writer);
            }
        }
    }
    if (form.ShowsTips()) {
        WriteTips(form, tipsCaption, writer);
    }
    return writer.Finish();
}

} // namespace platform
