#pragma once

// How the window engines mark the list that has the keyboard focus: a frame
// that stands out from the list's background, also when the list is empty.

namespace platform {

struct Rgb {
    int red; // 0 to 255 each
    int green;
    int blue;
};

// How far apart two colours stand in lightness, as WCAG 2 measures it: from
// 1 (alike) to 21 (black and white).
double ContrastRatio(Rgb a, Rgb b);

// The least contrast of the mark against the list's background.
inline constexpr double LeastMarkContrast = 3.0;

// The mark's thickness at 96 dpi.
inline constexpr int FocusMarkWidth = 2;

// The selection colour, where it stands out enough from the background (it
// does in the usual themes), else the text colour, which always should.
Rgb FocusMarkColour(Rgb selection, Rgb text, Rgb background);

} // namespace platform
