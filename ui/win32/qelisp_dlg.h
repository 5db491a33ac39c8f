#pragma once
// The main window (dialog 102): model and version of the built-in firmware,
// the port box, Program / Verify / About / Exit, and the job's status line
// with the hint under it and the progress bar, refreshed by a 20 ms timer. The rules live in
// MainWindowModel; this class only moves them onto Win32 controls.
#include "ui/main_window_model.h"
#include "ui/win32/dialog_layout.h"
#include "ui/win32/port_box.h"
#include "ui/win32/windows_api.h"

#include <string>

class CQelIspDlg {
public:
    // `port`: the one to open at start-up instead of the first listed; "" for that.
    CQelIspDlg(HINSTANCE instance, qelisp::MainWindowModel& model, std::string port);
    ~CQelIspDlg();
    CQelIspDlg(const CQelIspDlg&) = delete;
    CQelIspDlg& operator=(const CQelIspDlg&) = delete;

    // Runs the dialog until Exit, Escape or the close box.
    INT_PTR DoModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PortEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnTimer();
    void OnCommand(WORD id, WORD code);
    void OnPortSelChange();
    void OnPortNameEntered();
    // The model read the port list again and it differs.
    void OnPortListRead(bool changed);
    bool OnPaintIconic();
    void OnAbout();
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    // The hint's lines begin where the Status box's text does.
    int HintLeftMargin() const;
    void AlignHint();

    // The tooltips: the Status box's shows the whole status, which the box
    // may be too narrow for; the port box's the whole name it shortened.
    void AddTooltips();
    void SetStatusTooltip(const std::string& text);
    void SetTooltipWidth();
    // TTN_GETDISPINFO for the port box's tip; false for other notices.
    bool OnNotify(NMHDR& header);

    // The port box mirrors the model's list, in the model's order.
    void FillPortList();
    void ShowSelectedPort();
    void RefusePortChange();

    HINSTANCE instance_;
    qelisp::MainWindowModel& model_;
    std::string port_;
    HWND dialog_ = nullptr;
    DialogLayout layout_{qelisp::main_dialog::kTemplate};
    PortBox portBox_;
    HWND tooltip_ = nullptr;  // owned by the dialog, destroyed with it
    std::wstring portTip_;    // the port box's tip, while it is shown
    std::string portTipNarrow_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
};
