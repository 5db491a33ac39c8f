#include "ui/win32/qelisp_about.h"

#include "ui/win32/resource.h"

INT_PTR QelIspAbout::DoModal(HWND owner) {
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, &QelIspAbout::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK QelIspAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* self = reinterpret_cast<const QelIspAbout*>(lParam);
            SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, self->text_.c_str());
            return TRUE;  // focus to the OK button
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default: break;
    }
    return FALSE;
}
