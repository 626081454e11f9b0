#include "platform/Form.h"

#include "platform/FatalError.h"

#include <algorithm>

namespace platform {

void ListBox::AddItem(std::string_view text) {
    AddItemWritten(text.size(),
                   [&](char* out) { return std::copy(text.begin(), text.end(), out); });
}

void ListBox::RaiseTooManyLines() {
    Raise("a list box cannot hold more than 2147483647 lines");
}

void ListBox::Grow(std::size_t atLeast) {
    const Building building("filling a list of " + std::to_string(ends_.size()) + " lines");
    const std::size_t capacity = std::max(size_ + atLeast, capacity_ * 2);
    auto text = std::make_unique_for_overwrite<char[]>(capacity);
    std::copy_n(text_.get(), size_, text.get());
    text_ = std::move(text);
    capacity_ = capacity;
}

void ListBox::AddItems(const ListBox& other) {
    if (other.ends_.size() > MaxLines - ends_.size()) {
        RaiseTooManyLines();
    }
    Reserve(other.ends_.size(), other.size_);
    std::copy_n(other.text_.get(), other.size_, text_.get() + size_);
    for (const std::size_t end : other.ends_) {
        ends_.push_back(size_ + end);
    }
    size_ += other.size_;
}

void ListBox::Reserve(std::size_t lines, std::size_t bytes) {
    const Building building("filling a list of " + std::to_string(ends_.size() + lines) + " lines");
    if (capacity_ - size_ < bytes + lines) {
        Grow(bytes + lines);
    }
    ends_.reserve(ends_.size() + lines);
}

std::string_view ListBox::List(std::int32_t index) const {
    if (index < 0 || index >= ListCount()) {
        Raise("list index " + std::to_string(index) + " is outside 0 to " +
              std::to_string(ListCount() - 1));
    }
    const auto i = static_cast<std::size_t>(index);
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1] + 1;
    return AllLines().substr(begin, ends_[i] - begin);
}

Form::Form(FormDescription description)
    : description_(std::move(description)), listBoxes_(description_.controls.size()) {}

ListBox& Form::ListBoxNamed(std::string_view name) {
    const auto& controls = description_.controls;
    const auto found = std::find_if(controls.begin(), controls.end(), [&](const auto& control) {
        return control.kind == ControlKind::ListBox && control.name == name;
    });
    if (found == controls.end()) {
        Raise("the form has no list box named " + std::string(name));
    }
    return listBoxes_[static_cast<std::size_t>(found - controls.begin())];
}

const ListBox& Form::ListBoxNamed(std::string_view name) const {
    return const_cast<Form*>(this)->ListBoxNamed(name);
}

} // namespace platform
