#pragma once
// The two dialogs as the Windows resource templates lay them out
// (ui/win32/qelisp.rc), in dialog units, for windows built without those
// templates; and the conversion to pixels Windows makes from the dialog font,
// so that both programs' windows look alike.
#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

namespace qelisp {

// x, y, width and height in dialog units: a quarter of the dialog font's
// average character width, an eighth of its height.
struct DialogRect {
    int x, y, width, height;
    bool operator==(const DialogRect&) const = default;
};

struct DialogControl {
    std::string_view text;  // "" for edits, lists and the icon
    DialogRect rect;
};

struct DialogTemplate {
    std::string_view title;
    int fontPoints;
    int width, height;
    std::span<const DialogControl> controls;  // in the template's order
};

// The main window's controls, by their place in the template.
namespace main_dialog {
enum class Control {
    Frame,
    ModelLabel,
    ModelBox,
    VersionLabel,
    VersionBox,
    StatusLabel,
    StatusBox,
    HintBox,
    ProgressBar,
    PortLabel,
    PortBox,
    ProgramButton,
    VerifyButton,
    AboutButton,
    ExitButton,
    Count
};
inline constexpr std::array<DialogControl, static_cast<std::size_t>(Control::Count)> kControls{{
    {"", {3, 0, 181, 95}},  // group box without caption
    {"Model:", {10, 10, 22, 8}},
    {"", {37, 11, 141, 12}},
    {"Version:", {10, 24, 26, 8}},
    {"", {37, 24, 142, 12}},
    {"Status:", {10, 38, 23, 8}},
    {"", {37, 38, 142, 12}},
    {"", {37, 52, 142, 33}},  // the hint under the status: four lines of wrapped text
    {"", {3, 87, 180, 6}},
    {"ComPort:", {208, 13, 30, 8}},
    {"", {207, 27, 37, 49}},  // height includes the dropped list
    {"Progam", {15, 103, 42, 14}},
    {"Verify", {73, 103, 42, 14}},
    {"About", {132, 103, 42, 14}},
    {"Exit", {204, 103, 37, 14}},
}};
inline constexpr DialogTemplate kTemplate{"QelIsp", 9, 251, 130, kControls};
constexpr const DialogControl& control(Control c) { return kControls[static_cast<std::size_t>(c)]; }
}  // namespace main_dialog

namespace about_dialog {
enum class Control { OkButton, Icon, TextBox, MakerNotice, Count };
inline constexpr std::array<DialogControl, static_cast<std::size_t>(Control::Count)> kControls{{
    {"OK", {200, 7, 50, 14}},
    {"", {7, 7, 21, 20}},
    {"", {36, 28, 206, 33}},
    {"QelIsp \u2014 firmware updater", {29, 68, 200, 8}},
}};
inline constexpr DialogTemplate kTemplate{"About", 8, 258, 90, kControls};
constexpr const DialogControl& control(Control c) { return kControls[static_cast<std::size_t>(c)]; }
}  // namespace about_dialog

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct DialogBaseUnits {
    int charWidth;
    int charHeight;
};

// As Windows takes them from the dialog font: the width of the 52 letters
// A-Z a-z, averaged and rounded as Windows rounds it, and the font's height.
DialogBaseUnits baseUnitsFromFont(int alphabetWidth, int fontHeight);

// A face wider than the one the template was drawn for would clip a label
// (DejaVu's "Version:" in 26 units): the character width is raised until
// every control's text fits its width with a dialog unit to spare, which
// keeps all relative places.
// `textWidth` measures a text in pixels.
DialogBaseUnits widenToFit(DialogBaseUnits units, std::span<const DialogControl> controls,
                           const std::function<int(std::string_view)>& textWidth);

struct PixelRect {
    int x, y, width, height;
};

// A box that shows texts wrapped to its width (the hint under the status)
// holds each of them whole: the character width is raised until `fits`
// says they all fit the box at its pixels, which widens the dialog as a
// wide face does; never beyond twice what it was.
DialogBaseUnits widenToWrap(DialogBaseUnits units, const DialogRect& box,
                            const std::function<bool(const PixelRect&)>& fits);

// Windows maps a rectangle's corners, each rounded to the nearest pixel, so
// neighbouring controls neither gap nor overlap by a rounding.
PixelRect toPixels(const DialogRect& rect, DialogBaseUnits units);

}  // namespace qelisp
