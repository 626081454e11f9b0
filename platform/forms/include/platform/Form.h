#pragma once

#include "platform/FormDescription.h"
#include "platform/ListBox.h"

#include <string_view>
#include <vector>

namespace platform {

// A loaded form: its description and the state of its list boxes.
class Form {
public:
    // `showsTips`: whoever shows the form shows the tips of its lines too,
    // so the load handler should give them.
    explicit Form(FormDescription description, bool showsTips = false);

    const FormDescription& Description() const { return description_; }
    bool ShowsTips() const { return showsTips_; }
    ListBox& ListBoxNamed(std::string_view name);
    const ListBox& ListBoxNamed(std::string_view name) const;
    // How every list box of the form writes its record lines, given once, at
    // any time before a line is shown.
    void UseRecordLines(ListBox::RecordLinesWriter writer);

private:
    FormDescription description_;
    std::vector<ListBox> listBoxes_; // parallel to description_.controls
    bool showsTips_;
};

} // namespace platform
