#include "tests/win32/foreign_window.h"

#include <array>
#include <thread>

namespace qelisp::test {

using SteadyClock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step) {
    auto deadline = SteadyClock::now() + timeout;
    while (!condition()) {
        if (SteadyClock::now() > deadline) return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

LRESULT sendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
    return static_cast<LRESULT>(result);
}

LRESULT sendWideTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
    return static_cast<LRESULT>(result);
}

std::string textOf(HWND window) {
    std::array<char, 512> buffer{};
    LRESULT n = sendTo(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::wstring wideTextOf(HWND window) {
    std::array<wchar_t, 512> buffer{};
    LRESULT n = sendWideTo(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return n > 0 ? std::wstring(buffer.data(), static_cast<std::size_t>(n)) : std::wstring();
}

// A top-level dialog of the given process with the given caption.
HWND findDialog(DWORD process, const char* caption) {
    struct Search {
        DWORD process;
        const char* caption;
        HWND found;
    } search{process, caption, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->process || !IsWindowVisible(window)) return TRUE;
            std::array<char, 64> className{};
            GetClassNameA(window, className.data(), static_cast<int>(className.size()));
            if (std::string(className.data()) != "#32770") return TRUE;
            if (textOf(window) != s->caption) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string classOf(HWND window) {
    std::array<char, 64> name{};
    GetClassNameA(window, name.data(), static_cast<int>(name.size()));
    return name.data();
}

// Whether `icon`, drawn on the dialog background, is what the screen shows
// at the top left of `control`. Icon handles cannot be compared across
// processes under Wine, so the pixels are.
bool showsIcon(HWND control, HICON icon) {
    const int width = GetSystemMetrics(SM_CXICON);
    const int height = GetSystemMetrics(SM_CYICON);
    POINT origin{0, 0};
    ClientToScreen(control, &origin);
    HDC screen = GetDC(nullptr);
    HDC expected = CreateCompatibleDC(screen);
    HDC actual = CreateCompatibleDC(screen);
    HBITMAP expectedBits = CreateCompatibleBitmap(screen, width, height);
    HBITMAP actualBits = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldExpected = SelectObject(expected, expectedBits);
    HGDIOBJ oldActual = SelectObject(actual, actualBits);
    RECT all{0, 0, width, height};
    FillRect(expected, &all, GetSysColorBrush(COLOR_3DFACE));
    DrawIconEx(expected, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    BitBlt(actual, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    bool same = true;
    for (int y = 0; y < height && same; ++y) {
        for (int x = 0; x < width && same; ++x) same = GetPixel(expected, x, y) == GetPixel(actual, x, y);
    }
    SelectObject(expected, oldExpected);
    SelectObject(actual, oldActual);
    DeleteObject(expectedBits);
    DeleteObject(actualBits);
    DeleteDC(expected);
    DeleteDC(actual);
    ReleaseDC(nullptr, screen);
    return same;
}

}  // namespace qelisp::test
