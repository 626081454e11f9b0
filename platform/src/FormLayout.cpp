#include "platform/FormLayout.h"

#include <algorithm>
#include <map>
#include <string>

namespace platform {

namespace {

TwipRect Designed(const ControlDescription& control) {
    return {control.left, control.top, control.width, control.height};
}

} // namespace

std::vector<TwipRect> LayoutForm(const FormDescription& description, int clientWidth,
                                 int clientHeight) {
    const int extraWidth = std::max(clientWidth - description.clientWidth, 0);
    const int extraHeight = std::max(clientHeight - description.clientHeight, 0);
    const auto& controls = description.controls;

    int frameCount = 0;
    for (const auto& control : controls) {
        frameCount += control.container.empty() ? 1 : 0;
    }

    std::vector<TwipRect> rects;
    std::map<std::string, std::pair<int, int>> growth; // container -> (width, height) gained
    int frameIndex = 0;
    for (const auto& control : controls) {
        TwipRect rect = Designed(control);
        if (control.container.empty()) {
            // Frame k gets the k-th equal share; rounding leftovers go to the last.
            const int before = extraWidth * frameIndex / frameCount;
            const int through = extraWidth * (frameIndex + 1) / frameCount;
            ++frameIndex;
            rect.left += before;
            rect.width += through - before;
            rect.height += extraHeight;
            growth[control.name] = {through - before, extraHeight};
        } else if (const auto found = growth.find(control.container); found != growth.end()) {
            rect.width += found->second.first;
            rect.height += found->second.second;
        }
        rects.push_back(rect);
    }
    return rects;
}

std::string AccessibleName(const FormDescription& description, const ControlDescription& control) {
    std::string name = control.caption;
    if (name.empty()) {
        const auto frame =
            std::find_if(description.controls.begin(), description.controls.end(),
                         [&](const ControlDescription& other) {
                             return !control.container.empty() && other.name == control.container;
                         });
        if (frame != description.controls.end()) {
            name = frame->caption;
        }
    }
    if (!name.empty() && name.back() == ':') {
        name.pop_back();
    }
    return name;
}

} // namespace platform
