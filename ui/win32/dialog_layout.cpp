#include "ui/win32/dialog_layout.h"

#include "ui/win32/text_measure.h"

#include <algorithm>
#include <vector>

namespace {

// Windows 10's DPI calls, looked up at run time: the program still starts
// on a Windows that lacks them, at the system DPI.
template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// DIALOG_DPI_CHANGE_BEHAVIORS' DDC_DISABLE_ALL, which older headers lack.
constexpr int kDialogDpiChangesOff = 0x0001;

// The DPI the window is shown at, where Windows can say (10, version 1607 on).
UINT WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

DialogLayout::~DialogLayout() {
    if (ownFont_) DeleteObject(ownFont_);
}

void DialogLayout::WrapTexts(std::size_t index, std::vector<std::string> texts, std::function<int()> inset) {
    wrapped_ = index;
    wrapInset_ = std::move(inset);
    wrappedTexts_.clear();
    for (const std::string& text : texts) wrappedTexts_.push_back(Wide(text));
}

void DialogLayout::Attach(HWND dialog) {
    dialog_ = dialog;
    dpi_ = WindowDpi(dialog);
    using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehavior = User32Function<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    if (setBehavior) setBehavior(dialog, kDialogDpiChangesOff, kDialogDpiChangesOff);
    Place(nullptr);
}

void DialogLayout::OnDpiChanged(UINT dpi, const RECT& suggested) {
    if (!dialog_) return;
    auto current = reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
    LOGFONTW face{};
    if (!current || GetObjectW(current, sizeof(face), &face) == 0) return;
    face.lfHeight = -MulDiv(layout_.fontPoints, static_cast<int>(dpi), 72);
    face.lfWidth = 0;
    HFONT font = CreateFontIndirectW(&face);
    if (!font) return;
    SendMessageW(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (ownFont_) DeleteObject(ownFont_);
    ownFont_ = font;
    dpi_ = dpi;
    Place(&suggested);
    InvalidateRect(dialog_, nullptr, TRUE);
}

void DialogLayout::Place(const RECT* suggested) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    // The children come in the template's order; a dialog that does not
    // match its table is left as the dialog manager made it.
    if (children.size() != layout_.controls.size()) return;

    TextMeasure measure(dialog_);
    qelisp::DialogBaseUnits units = qelisp::widenToFit(
        qelisp::baseUnitsFromFont(measure.Width(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
                                  measure.Height()),
        layout_.controls, [&](std::string_view text) { return measure.Width(Wide(text)); });
    if (!wrappedTexts_.empty() && wrapped_ < children.size()) {
        const int inset = wrapInset_();
        units = qelisp::widenToWrap(units, layout_.controls[wrapped_].rect, [&](const qelisp::PixelRect& box) {
            return std::all_of(wrappedTexts_.begin(), wrappedTexts_.end(), [&](const std::wstring& text) {
                return measure.WrappedHeight(text, box.width - inset) <= box.height;
            });
        });
    }

    HDWP moves = BeginDeferWindowPos(static_cast<int>(children.size()));
    for (std::size_t i = 0; i < children.size() && moves; ++i) {
        const qelisp::PixelRect place = qelisp::toPixels(layout_.controls[i].rect, units);
        // An icon control keeps the icon's own size.
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if ((GetWindowLongW(children[i], GWL_STYLE) & SS_TYPEMASK) == SS_ICON) flags |= SWP_NOSIZE;
        moves = DeferWindowPos(moves, children[i], nullptr, place.x, place.y, place.width, place.height, flags);
    }
    if (moves) EndDeferWindowPos(moves);

    const qelisp::PixelRect client = qelisp::toPixels({0, 0, layout_.width, layout_.height}, units);
    RECT frame{0, 0, client.width, client.height};
    const auto style = static_cast<DWORD>(GetWindowLongW(dialog_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(dialog_, GWL_EXSTYLE));
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, exStyle, dpi_)) {
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    RECT now{};
    GetWindowRect(dialog_, &now);
    const POINT at = suggested ? POINT{suggested->left, suggested->top} : POINT{now.left, now.top};
    SetWindowPos(dialog_, nullptr, at.x, at.y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
