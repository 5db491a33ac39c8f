#pragma once
// The about box (dialog 130): the program's icon, the firmware's model and
// version under the one-line description, and the maker's notice with this
// program's version.
#include "ui/win32/dialog_layout.h"
#include "ui/win32/windows_api.h"

#include <string>

class QelIspAbout {
public:
    QelIspAbout(HINSTANCE instance, std::string text, std::string notice)
        : instance_(instance), text_(std::move(text)), notice_(std::move(notice)) {}

    INT_PTR DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    std::string text_;
    std::string notice_;  // UTF-8
    DialogLayout layout_{qelisp::about_dialog::kTemplate};
};
