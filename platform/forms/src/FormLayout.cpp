#include "platform/FormLayout.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

namespace platform {

namespace {

TwipRect Designed(const ControlDescription& control) {
    return {control.left, control.top, control.width, control.height};
}

// One axis of a frame that stands on the form: its start and extent when
// the client area's extent `actual` differs from the designed one.
class Axis {
public:
    Axis(int designed, int actual) : designed_(designed), actual_(actual) {}

    // A larger client area gives the frame the k-th of n equal shares of the
    // room won (rounding leftovers go to the last); a smaller one scales the
    // frame's edges down in proportion.
    void Place(int& start, int& extent, int k, int n) const {
        if (actual_ >= designed_) {
            const int extra = actual_ - designed_;
            const int before = extra * k / n;
            const int through = extra * (k + 1) / n;
            start += before;
            extent += through - before;
        } else {
            const int end = Scaled(start + extent);
            start = Scaled(start);
            extent = end - start;
        }
    }

private:
    int Scaled(int twips) const {
        return static_cast<int>(std::int64_t{twips} * actual_ / designed_);
    }

    int designed_;
    int actual_;
};

} // namespace

std::vector<TwipRect> LayoutForm(const FormDescription& description, int clientWidth,
                                 int clientHeight) {
    const auto& controls = description.controls;
    int frameCount = 0;
    for (const auto& control : controls) {
        frameCount += control.container.empty() ? 1 : 0;
    }
    const Axis across(description.clientWidth, clientWidth);
    const Axis down(description.clientHeight, clientHeight);

    std::vector<TwipRect> rects;
    std::map<std::string, std::pair<int, int>> growth; // container -> (width, height) gained
    int frameIndex = 0;
    for (const auto& control : controls) {
        TwipRect rect = Designed(control);
        if (control.container.empty()) {
            // Side by side they share the width; each takes all the height.
            across.Place(rect.left, rect.width, frameIndex, frameCount);
            down.Place(rect.top, rect.height, 0, 1);
            ++frameIndex;
            growth[control.name] = {rect.width - control.width, rect.height - control.height};
        } else if (const auto found = growth.find(control.container); found != growth.end()) {
            // The margins stay: the frame's caption keeps its room.
            rect.width = std::max(rect.width + found->second.first, 0);
            rect.height = std::max(rect.height + found->second.second, 0);
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
