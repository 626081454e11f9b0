#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Twips are the unit of every form geometry: 1440 per inch, 15 per pixel at
// 96 dpi.
inline constexpr int TwipsPerInch = 1440;
inline constexpr int TwipsPerPixelAt96Dpi = 15;

enum class ControlKind { Frame, ListBox };

// One control of a form, as the form's author describes it. Left and Top are
// relative to the container: the form's client area or a frame.
struct ControlDescription {
    std::string name;
    ControlKind kind;
    std::string container; // empty for the form itself
    std::string caption;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    std::string description; // what it shows, for assistive technology
};

struct FormDescription {
    std::string name;
    std::string caption;
    int clientWidth;
    int clientHeight;
    std::vector<ControlDescription> controls;
};

// The lines of one list box. They are kept in one buffer, each ended by a
// newline, so that a million lines cost no million allocations and can be
// written out in one go.
class ListBox {
public:
    // Appends the text as the new last line.
    void AddItem(std::string_view text);
    // Appends a line of at most maxLength bytes that write(begin) puts in
    // place and whose end it returns. Long fills save a copy per line.
    template <typename Write> void AddItemWritten(std::size_t maxLength, Write write) {
        char* begin = PrepareLine(maxLength);
        FinishLine(write(begin));
    }
    // Appends every line of another list box.
    void AddItems(const ListBox& other);
    // Makes room for that many more lines of about that many bytes in all,
    // so that a long fill does not keep regrowing the buffer.
    void Reserve(std::size_t lines, std::size_t bytes);

    std::int32_t ListCount() const { return static_cast<std::int32_t>(ends_.size()); }
    // The line at a 0-based index, without its newline.
    std::string_view List(std::int32_t index) const;
    // Every line, each followed by a newline.
    std::string_view AllLines() const { return {text_.get(), size_}; }

private:
    // Room for a line and its newline at the end of the text.
    char* PrepareLine(std::size_t maxLength) {
        if (ends_.size() >= MaxLines) {
            RaiseTooManyLines();
        }
        if (capacity_ - size_ <= maxLength) {
            Grow(maxLength + 1);
        }
        return text_.get() + size_;
    }
    void FinishLine(char* end) {
        *end = '\n';
        size_ = static_cast<std::size_t>(end - text_.get());
        ends_.push_back(size_);
        ++size_;
    }
    void Grow(std::size_t atLeast);
    [[noreturn]] static void RaiseTooManyLines();

    static constexpr std::size_t MaxLines = INT32_MAX;
    // Not a std::string: that would clear every byte before it is written.
    std::unique_ptr<char[]> text_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::vector<std::size_t> ends_;
};

// A loaded form: its description and the state of its list boxes.
class Form {
public:
    explicit Form(FormDescription description);

    const FormDescription& Description() const { return description_; }
    ListBox& ListBoxNamed(std::string_view name);
    const ListBox& ListBoxNamed(std::string_view name) const;

private:
    FormDescription description_;
    std::vector<ListBox> listBoxes_; // parallel to description_.controls
};

// What the program hands to the start routine: itself, its start-up form
// and the form's load handler.
struct ProjectDescription {
    std::string name;  // the executable's name, used in reports
    std::string title; // for dialogs
    std::string version;
    std::string copyright;    // "Copyright (c) <year> <holders>"
    std::string license;      // the licence's name and where its text is
    std::string summary;      // one line for --help
    std::string dataFileName; // the input that an optional FILE argument replaces
    FormDescription startupForm;
    std::function<void(Form&)> load;
};

// Starts the program: runs the load handler, then shows the form as a
// window, or with --text prints its lists. Ends the process.
[[noreturn]] void ThunRTMain(const ProjectDescription& project, int argc, char** argv);

} // namespace platform
