#include "platform/Form.h"

#include "platform/FatalError.h"

#include <algorithm>
#include <string>
#include <utility>

namespace platform {

Form::Form(FormDescription description, bool showsTips)
    : description_(std::move(description)), listBoxes_(description_.controls.size()),
      showsTips_(showsTips) {}

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

void Form::UseRecordLines(ListBox::RecordLinesWriter writer) {
    for (ListBox& list : listBoxes_) {
        list.UseRecordLines(writer);
    }
}

} // namespace platform
