#pragma once
// Texts measured in a window's font (or a font given), as its controls draw them.
#include "ui/win32/windows_api.h"

#include <string>
#include <string_view>

std::wstring Wide(std::string_view utf8);

class TextMeasure {
public:
    explicit TextMeasure(HWND window);
    TextMeasure(HWND window, HFONT font);
    ~TextMeasure();
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;

    int Width(const std::wstring& text) const;
    int Height() const;
    // The height of `text` wrapped at `width` pixels, as an edit wraps it.
    int WrappedHeight(const std::wstring& text, int width) const;

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ old_;
};
