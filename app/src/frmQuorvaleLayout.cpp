#include "frmQuorvale.h"

namespace frmQuorvale {

using platform::ControlKind;

// Geometry in twips, as designed at 15 twips per pixel.
platform::FormDescription Layout() {
    constexpr int FrameTop = 90;
    constexpr int FrameWidth = 2385;
    constexpr int FrameHeight = 4425;
    constexpr int ListLeft = 150;
    constexpr int ListTop = 270;
    constexpr int ListWidth = 2085;
    constexpr int ListHeight = 3960;
    return {
        .name = "frmQuorvale",
        .caption = "Quorvale",
        .clientWidth = 9825,
        .clientHeight = 4635,
        .controls =
            {
                {"Frame1", ControlKind::Frame, "", "Input Data:", 60, FrameTop, FrameWidth,
                 FrameHeight, 0, ""},
                {"lstInput", ControlKind::ListBox, "Frame1", "", ListLeft, ListTop, ListWidth,
                 ListHeight, 1, "Every record of the data file, sorted by its second value"},
                {"Frame2", ControlKind::Frame, "", "Output Data:", 2490, FrameTop, FrameWidth,
                 FrameHeight, 2, ""},
                {"lstOutput", ControlKind::ListBox, "Frame2", "", ListLeft, ListTop, ListWidth,
                 ListHeight, 3, "The output lists, five records each"},
                {"Frame3", ControlKind::Frame, "", "Not Placed Data:", 4920, FrameTop, FrameWidth,
                 FrameHeight, 4, ""},
                {"lstNotPlaced", ControlKind::ListBox, "Frame3", "", ListLeft, ListTop, ListWidth,
                 ListHeight, 5, "Records that fit in no output list"},
                {"Frame4", ControlKind::Frame, "", "Errors:", 7350, FrameTop, FrameWidth,
                 FrameHeight, 6, ""},
                {"lstErrors", ControlKind::ListBox, "Frame4", "", ListLeft, ListTop, ListWidth,
                 ListHeight, 7,
                 "Records rejected as out of range or for an inconsistent group key"},
            },
        .fontPoints = 8,
    };
}

} // namespace frmQuorvale
