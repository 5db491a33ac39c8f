#pragma once
// The about box (dialog 130): the program's icon, the firmware's model and
// version under the one-line description, and the maker's notice.
#include "ui/win32/windows_api.h"

#include <string>

class QelIspAbout {
public:
    QelIspAbout(HINSTANCE instance, std::string text) : instance_(instance), text_(std::move(text)) {}

    INT_PTR DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    std::string text_;
};
