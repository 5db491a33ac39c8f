#include "ui/dialog_template.h"

namespace qelisp {

namespace {

// MulDiv for the non-negative values of a layout: a * b / c, rounded half up.
int mulDiv(int a, int b, int c) { return (a * b * 2 + c) / (2 * c); }

}  // namespace

DialogBaseUnits baseUnitsFromFont(int alphabetWidth, int fontHeight) {
    return {(alphabetWidth / 26 + 1) / 2, fontHeight};
}

DialogBaseUnits widenToFit(DialogBaseUnits units, std::span<const DialogControl> controls,
                           const std::function<int(std::string_view)>& textWidth) {
    for (const DialogControl& control : controls) {
        if (control.text.empty()) continue;
        // A dialog unit of air after the text: a label that ends where its
        // box begins looks clipped even when it is not.
        const int needed = textWidth(control.text);
        while (toPixels(control.rect, units).width < needed + (units.charWidth + 3) / 4) ++units.charWidth;
    }
    return units;
}

DialogBaseUnits widenToWrap(DialogBaseUnits units, const DialogRect& box,
                            const std::function<bool(const PixelRect&)>& fits) {
    const int widest = 2 * units.charWidth;
    while (units.charWidth < widest && !fits(toPixels(box, units))) ++units.charWidth;
    return units;
}

PixelRect toPixels(const DialogRect& rect, DialogBaseUnits units) {
    const int left = mulDiv(rect.x, units.charWidth, 4);
    const int top = mulDiv(rect.y, units.charHeight, 8);
    const int right = mulDiv(rect.x + rect.width, units.charWidth, 4);
    const int bottom = mulDiv(rect.y + rect.height, units.charHeight, 8);
    return {left, top, right - left, bottom - top};
}

}  // namespace qelisp
