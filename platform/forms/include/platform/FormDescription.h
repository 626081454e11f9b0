#pragma once

// Forms as their author describes them: controls, captions, geometry in
// twips, tab order.

#include <string>
#include <vector>

namespace platform {

// Twips are the unit of every form geometry: 1440 per inch, 15 per pixel at
// 96 dpi.
inline constexpr int TwipsPerInch = 1440;
inline constexpr int TwipsPerPixelAt96Dpi = 15;
inline constexpr int TwipsPerPoint = 20;

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
    // The size of the form's font, which its frames and lists use: the
    // geometry is designed around it, so it scales as the geometry does and
    // never follows the desktop's font size. 0 keeps the desktop's.
    int fontPoints = 0;
};

} // namespace platform
