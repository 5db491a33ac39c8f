#include "ui/win32/text_measure.h"

#include <algorithm>

std::wstring Wide(std::string_view utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

TextMeasure::TextMeasure(HWND window)
    : TextMeasure(window, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0))) {}

TextMeasure::TextMeasure(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) {
    old_ = SelectObject(dc_, font);
}

TextMeasure::~TextMeasure() {
    SelectObject(dc_, old_);
    ReleaseDC(window_, dc_);
}

int TextMeasure::Width(const std::wstring& text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int TextMeasure::Height() const {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    return metrics.tmHeight;
}

int TextMeasure::WrappedHeight(const std::wstring& text, int width) const {
    RECT rect{0, 0, width, 0};
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_LEFT);
    return rect.bottom - rect.top;
}
