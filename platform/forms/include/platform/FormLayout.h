#pragma once

#include "platform/Form.h"

#include <string>
#include <vector>

namespace platform {

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
    friend bool operator==(const TwipRect&, const TwipRect&) = default;
};

// Where every control stands when the form's client area is the given size
// (in twips), parallel to description.controls; each rectangle is relative to
// its container. At the designed size this is the designed geometry. A larger
// client area is shared out equally, in width, among the frames that stand
// directly on the form, which also grow with the height; a smaller one (a
// small screen) shrinks those frames and the gaps between them in
// proportion. A control inside a frame keeps its margins.
std::vector<TwipRect> LayoutForm(const FormDescription& description, int clientWidth,
                                 int clientHeight);

// The name that assistive technology announces for a control: its caption,
// or for a control without one the caption of its frame, either without a
// trailing colon ("Input Data:" names the list in that frame "Input Data").
std::string AccessibleName(const FormDescription& description, const ControlDescription& control);

} // namespace platform
