#include "tests/win32/layout_check.h"

#include "tests/win32/foreign_window.h"

namespace qelisp::test {

namespace {

struct Control {
    HWND window;
    std::string name;
    RECT rect;  // in screen pixels
};

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string rectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

// The dialogs' face, made here: a font handle would not cross processes.
HFONT dialogFace(int fontPoints, int dpi) {
    return CreateFontW(-MulDiv(fontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
}

}  // namespace

int screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int textWidth(const std::wstring& text, int fontPoints, int dpi) {
    HFONT font = dialogFace(fontPoints, dpi);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return size.cx;
}

std::vector<std::string> layoutFaults(HWND dialog, int fontPoints, int dpi) {
    std::vector<std::string> faults;
    HFONT font = dialogFace(fontPoints, dpi);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);

    RECT client{};
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::vector<Control> placed;
    for (HWND child : childrenOf(dialog)) {
        // The combo box's own edit is part of it.
        if (!IsWindowVisible(child) || GetParent(child) != dialog) continue;
        const std::string kind = classOf(child);
        const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        const std::wstring text = wideTextOf(child);
        RECT rect{};
        GetWindowRect(child, &rect);
        std::string name = kind + " \"" + textOf(child) + "\"";
        if (rect.left < client.left || rect.top < client.top || rect.right > client.right ||
            rect.bottom > client.bottom) {
            faults.push_back(name + " reaches out of the dialog: " + rectText(rect));
        }
        const bool groupBox = kind == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX;
        const bool label = kind == "Static" && (style & SS_TYPEMASK) != SS_ICON;
        if ((label || (kind == "Button" && !groupBox)) && !text.empty()) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            RECT inside{};
            GetClientRect(child, &inside);
            // A pixel of air (more at a higher DPI): a label whose text
            // ends where its box begins looks clipped.
            const int air = MulDiv(1, dpi, 96);
            if (size.cx + air > inside.right || metrics.tmHeight > inside.bottom) {
                faults.push_back(name + " is clipped: its text takes " + std::to_string(size.cx) + "x" +
                                 std::to_string(metrics.tmHeight) + ", the control has " +
                                 std::to_string(inside.right) + "x" + std::to_string(inside.bottom));
            }
        }
        // The frame encloses the others.
        if (!groupBox) placed.push_back({child, name, rect});
    }
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (std::size_t j = i + 1; j < placed.size(); ++j) {
            if (overlap(placed[i].rect, placed[j].rect)) {
                faults.push_back(placed[i].name + " and " + placed[j].name + " overlap: " + rectText(placed[i].rect) +
                                 " / " + rectText(placed[j].rect));
            }
        }
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return faults;
}

}  // namespace qelisp::test
