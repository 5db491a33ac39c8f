#pragma once
// Places a dialog's controls from its layout table in the dialog's font, the
// way the dialog manager maps the resource template, with two differences:
// a face wider than the one the template was drawn for widens the dialog so
// that no label is clipped (Wine's fonts clip "Status:" at 96 dpi), and a
// move to a monitor of another DPI lays the dialog out again in a font made
// for that DPI (WM_DPICHANGED), instead of leaving it to the dialog manager.
#include "ui/dialog_template.h"
#include "ui/win32/windows_api.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class DialogLayout {
public:
    explicit DialogLayout(const qelisp::DialogTemplate& layout) : layout_(layout) {}
    ~DialogLayout();
    DialogLayout(const DialogLayout&) = delete;
    DialogLayout& operator=(const DialogLayout&) = delete;

    // Control `index` (a multi-line edit) shows these texts wrapped to its
    // width less `inset` pixels, each of them whole: the dialog widens until
    // they fit (qelisp::widenToWrap). Before Attach.
    void WrapTexts(std::size_t index, std::vector<std::string> texts, std::function<int()> inset);
    // From WM_INITDIALOG: the dialog manager's own DPI handling off, then
    // the controls placed in the font the template gave.
    void Attach(HWND dialog);
    // From WM_DPICHANGED: a font for the new DPI, every control placed in
    // it, the window at the place Windows suggests.
    void OnDpiChanged(UINT dpi, const RECT& suggested);

private:
    void Place(const RECT* suggested);

    const qelisp::DialogTemplate& layout_;
    HWND dialog_ = nullptr;
    UINT dpi_ = 96;
    HFONT ownFont_ = nullptr;  // made for a DPI change; the template's font belongs to the dialog
    std::size_t wrapped_ = 0;
    std::vector<std::wstring> wrappedTexts_;
    std::function<int()> wrapInset_;
};

// WM_DPICHANGED, which older headers lack; both dialogs pass it on.
inline constexpr UINT kDpiChangedMessage = 0x02E0;
