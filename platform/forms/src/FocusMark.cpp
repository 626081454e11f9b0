#include "platform/FocusMark.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

double Linear(int channel) {
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb colour) {
    return 0.2126 * Linear(colour.red) + 0.7152 * Linear(colour.green) +
           0.0722 * Linear(colour.blue);
}

} // namespace

double ContrastRatio(Rgb a, Rgb b) {
    const double first = Luminance(a);
    const double second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

Rgb FocusMarkColour(Rgb selection, Rgb text, Rgb background) {
    return ContrastRatio(selection, background) >= LeastMarkContrast ? selection : text;
}

} // namespace platform
