#include "ui/win32/qelisp_about.h"

#include "ui/win32/resource.h"
#include "ui/win32/text_measure.h"

INT_PTR QelIspAbout::DoModal(HWND owner) {
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, &QelIspAbout::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK QelIspAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<QelIspAbout*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            self->layout_.Attach(dialog);
            SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, self->text_.c_str());
            SetDlgItemTextW(dialog, IDC_ABOUT_NOTICE, Wide(self->notice_).c_str());
            return TRUE;  // focus to the OK button
        case kDpiChangedMessage:
            self->layout_.OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return TRUE;
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
