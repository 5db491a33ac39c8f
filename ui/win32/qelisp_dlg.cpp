#include "ui/win32/qelisp_dlg.h"

#include "jobs/window_hint.h"
#include "ui/port_warning.h"
#include "ui/win32/qelisp_about.h"
#include "ui/win32/resource.h"
#include "ui/win32/text_measure.h"

#include <dbt.h>

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT_PTR kPortEditSubclass = 1;
// Posted once the port box has put a pick into its edit.
constexpr UINT kPortEntryShown = WM_APP + 1;

// A status may be a long line: the tip wraps it at about the dialog's
// width, and stays up long enough to be read.
constexpr int kTooltipShowMs = 30000;

// What someone does in the port box's edit that types or moves in its text,
// rather than picking an entry with the arrow keys or leaving with Enter.
bool StartsEditing(UINT message, WPARAM wParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_CONTEXTMENU:
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO: return true;
        case WM_CHAR: return wParam != '\r' && wParam != '\t' && wParam != VK_ESCAPE;
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_UP:
                case VK_DOWN:
                case VK_PRIOR:
                case VK_NEXT:
                case VK_F4:
                case VK_RETURN:
                case VK_ESCAPE:
                case VK_TAB:
                case VK_SHIFT:
                case VK_CONTROL:
                case VK_MENU: return false;
                default: return true;
            }
        default: return false;
    }
}

// The default beep at a job's end. Called on the worker thread; MessageBeep
// is safe there.
void JobEndBeep() { MessageBeep(0xFFFFFFFF); }

HICON LoadAppIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                         LR_DEFAULTCOLOR));
}

}  // namespace

CQelIspDlg::CQelIspDlg(HINSTANCE instance, qelisp::MainWindowModel& model, std::string port)
    : instance_(instance), model_(model), port_(std::move(port)) {
    bigIcon_ = LoadAppIcon(instance, SM_CXICON, SM_CYICON);
    smallIcon_ = LoadAppIcon(instance, SM_CXSMICON, SM_CYSMICON);
    // The hint area holds every hint whole, within its margins.
    layout_.WrapTexts(
        static_cast<std::size_t>(qelisp::main_dialog::Control::HintBox), qelisp::everyWindowHint(), [this] {
            const auto margins = static_cast<DWORD>(SendDlgItemMessageW(dialog_, IDC_HINT, EM_GETMARGINS, 0, 0));
            return HintLeftMargin() + HIWORD(margins);
        });
}

int CQelIspDlg::HintLeftMargin() const {
    // Past the Status box's edge and its own margin.
    HWND status = GetDlgItem(dialog_, IDC_STATUS);
    POINT inside{0, 0};
    ClientToScreen(status, &inside);
    RECT outside{};
    GetWindowRect(status, &outside);
    const auto margins = static_cast<DWORD>(SendMessageW(status, EM_GETMARGINS, 0, 0));
    return inside.x - outside.left + LOWORD(margins);
}

void CQelIspDlg::AlignHint() {
    SendDlgItemMessageW(dialog_, IDC_HINT, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(HintLeftMargin(), 0));
}

CQelIspDlg::~CQelIspDlg() {
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

INT_PTR CQelIspDlg::DoModal() {
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_QELISP_DIALOG), nullptr, &CQelIspDlg::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CQelIspDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<CQelIspDlg*>(lParam);
        self->dialog_ = dialog;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CQelIspDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CQelIspDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            // Any timer ID refreshes.
            OnTimer();
            return TRUE;
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_NOTIFY: return OnNotify(*reinterpret_cast<NMHDR*>(lParam)) ? TRUE : FALSE;
        case WM_DRAWITEM:
            if (wParam != IDC_PORT) return FALSE;
            portBox_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DEVICECHANGE:
            // A port may have come or gone. The list is read again whatever
            // kind of device it was.
            if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) {
                OnPortListRead(model_.devicesChanged());
            }
            return TRUE;
        case kDpiChangedMessage: OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return TRUE;
        case WM_PAINT: return OnPaintIconic() ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            // One of the messages whose result a dialog procedure returns itself.
            return reinterpret_cast<INT_PTR>(bigIcon_);
        case kPortEntryShown: portBox_.EntryShown(); return TRUE;
        case WM_DESTROY: KillTimer(dialog_, kRefreshTimer); return FALSE;
        default: return FALSE;
    }
}

BOOL CQelIspDlg::OnInitDialog() {
    layout_.Attach(dialog_);
    AlignHint();
    SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    SetDlgItemTextA(dialog_, IDC_MODEL, model_.model().c_str());
    SetDlgItemTextA(dialog_, IDC_VERSION, model_.version().c_str());
    SendDlgItemMessageW(dialog_, IDC_PROGRESS, PBM_SETRANGE32, 0, qelisp::kProgressPages);

    portBox_.Attach(GetDlgItem(dialog_, IDC_PORT));
    // Enter in the port box's edit opens the typed port instead of pressing
    // the default button (Exit).
    if (HWND edit = portBox_.Edit()) {
        SetWindowSubclass(edit, &CQelIspDlg::PortEditProc, kPortEditSubclass, reinterpret_cast<DWORD_PTR>(this));
    }

    AddTooltips();
    model_.startUp(port_);
    FillPortList();
    SetTimer(dialog_, kRefreshTimer, static_cast<UINT>(qelisp::kRefreshPeriod.count()), nullptr);
    // The focus on the default button rather than on the first read-only
    // box, which would show its text selected; Enter presses Exit either way.
    SetFocus(GetDlgItem(dialog_, IDOK));
    return FALSE;
}

void CQelIspDlg::OnTimer() {
    qelisp::DisplayUpdate update = model_.tick();
    // The hint first: whoever sees the new status sees its hint.
    if (update.hint) SetDlgItemTextW(dialog_, IDC_HINT, Wide(*update.hint).c_str());
    if (update.status) {
        SetDlgItemTextA(dialog_, IDC_STATUS, update.status->c_str());
        SetStatusTooltip(*update.status);
    }
    if (update.progress) {
        SendDlgItemMessageW(dialog_, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(*update.progress), 0);
    }
    OnPortListRead(update.portList);
}

void CQelIspDlg::AddTooltips() {
    // TTS_ALWAYSTIP: the technician may be looking at another window.
    tooltip_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr, instance_, nullptr);
    if (!tooltip_) return;
    // The controls' own mouse messages reach the tip through its subclass.
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog_, IDC_STATUS));
    tool.lpszText = const_cast<char*>("");
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    // The port box's edit asks for its text as it shows: the name, while
    // the edit shows it shortened.
    if (HWND edit = portBox_.Edit()) {
        tool.uId = reinterpret_cast<UINT_PTR>(edit);
        tool.lpszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SetTooltipWidth();
    SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kTooltipShowMs, 0));
}

void CQelIspDlg::SetTooltipWidth() {
    if (!tooltip_) return;
    // A maximum width is what makes the tip break lines, at "\r\n" and to wrap.
    RECT client{};
    GetClientRect(dialog_, &client);
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, client.right - client.left);
}

void CQelIspDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
    layout_.OnDpiChanged(dpi, suggested);
    AlignHint();
    portBox_.FontChanged();
    if (tooltip_) SendMessageW(tooltip_, WM_SETFONT, SendMessageW(dialog_, WM_GETFONT, 0, 0), FALSE);
    SetTooltipWidth();
}

void CQelIspDlg::SetStatusTooltip(const std::string& text) {
    if (!tooltip_) return;
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog_, IDC_STATUS));
    tool.lpszText = const_cast<char*>(text.c_str());  // copied by the control
    SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool CQelIspDlg::OnNotify(NMHDR& header) {
    // The tip asks in the dialog's character set, which is Unicode; either
    // is answered. No text, no tip: a name shown whole needs none.
    if (header.code != TTN_GETDISPINFOW && header.code != TTN_GETDISPINFOA) return false;
    if (header.idFrom != reinterpret_cast<UINT_PTR>(portBox_.Edit())) return false;
    portTip_ = Wide(portBox_.ShortenedName());
    portTipNarrow_ = portBox_.ShortenedName();
    if (header.code == TTN_GETDISPINFOW) reinterpret_cast<NMTTDISPINFOW&>(header).lpszText = portTip_.data();
    if (header.code == TTN_GETDISPINFOA) reinterpret_cast<NMTTDISPINFOA&>(header).lpszText = portTipNarrow_.data();
    return true;
}

void CQelIspDlg::OnPortListRead(bool changed) {
    if (changed) FillPortList();
}

void CQelIspDlg::OnCommand(WORD id, WORD code) {
    switch (id) {
        case IDC_PROGRAM: model_.startProgram(&JobEndBeep); break;
        case IDC_VERIFY: model_.startVerify(&JobEndBeep); break;
        case IDC_ABOUT: OnAbout(); break;
        case IDC_PORT:
            if (code == CBN_SELCHANGE) OnPortSelChange();
            // Read the list again as it drops; nothing changes while a job runs.
            if (code == CBN_DROPDOWN) {
                OnPortListRead(model_.refreshPorts());
                portBox_.ListDropped(true);
            }
            if (code == CBN_CLOSEUP) portBox_.ListDropped(false);
            // The box puts the pick into its edit after it tells of it.
            if (code == CBN_SELCHANGE || code == CBN_CLOSEUP) PostMessageW(dialog_, kPortEntryShown, 0, 0);
            if (code == CBN_KILLFOCUS) portBox_.EntryShown();
            break;
        // Exit, Escape and the close box; allowed while a job runs, the
        // application cancels it afterwards.
        case IDOK:
        case IDCANCEL: EndDialog(dialog_, id); break;
        default: break;
    }
}

void CQelIspDlg::OnPortSelChange() {
    const int index = portBox_.PickedIndex();
    if (index < 0) return;
    switch (model_.selectPort(index).outcome) {
        case qelisp::PortChangeOutcome::RefusedBusy: RefusePortChange(); break;
        // The port open before is still the one in use; the status says why.
        case qelisp::PortChangeOutcome::OpenFailed: ShowSelectedPort(); break;
        case qelisp::PortChangeOutcome::Opened:
        case qelisp::PortChangeOutcome::Ignored: break;
    }
}

void CQelIspDlg::OnPortNameEntered() {
    qelisp::PortChange change = model_.enterPortName(portBox_.Text());
    switch (change.outcome) {
        case qelisp::PortChangeOutcome::RefusedBusy: RefusePortChange(); break;
        // A new name joins the list.
        case qelisp::PortChangeOutcome::Opened: FillPortList(); break;
        // The port open before is still the one in use, and the box shows
        // it again; the status line names the typed port and says why.
        case qelisp::PortChangeOutcome::OpenFailed: ShowSelectedPort(); break;
        case qelisp::PortChangeOutcome::Ignored: break;
    }
    portBox_.EntryShown();
}

void CQelIspDlg::RefusePortChange() {
    // Selection back first, then the warning, as technicians know it.
    ShowSelectedPort();
    MessageBoxA(dialog_, qelisp::kPortWarningText, qelisp::kPortWarningCaption, MB_ICONEXCLAMATION | MB_OK);
}

void CQelIspDlg::FillPortList() { portBox_.SetEntries(model_.portEntries(), model_.selectedIndex()); }

void CQelIspDlg::ShowSelectedPort() { portBox_.ShowIndex(model_.selectedIndex()); }

void CQelIspDlg::OnAbout() {
    QelIspAbout about(instance_, model_.aboutText(), model_.makerNotice());
    about.DoModal(dialog_);
}

bool CQelIspDlg::OnPaintIconic() {
    if (!IsIconic(dialog_)) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog_, &paint);
    SendMessageW(dialog_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    // The icon, centred in the client area.
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(dialog_, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, bigIcon_);
    EndPaint(dialog_, &paint);
    return true;
}

LRESULT CALLBACK CQelIspDlg::PortEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR self) {
    auto* dlg = reinterpret_cast<CQelIspDlg*>(self);
    if (StartsEditing(message, wParam)) dlg->portBox_.StartEditing();
    switch (message) {
        case WM_GETDLGCODE:
            // Ask the dialog manager to hand Enter to us rather than to Exit;
            // with the list open, Enter belongs to the list.
            if (lParam && wParam == VK_RETURN && !dlg->portBox_.Dropped()) {
                return DLGC_WANTALLKEYS | DefSubclassProc(edit, message, wParam, lParam);
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && !dlg->portBox_.Dropped()) {
                dlg->OnPortNameEntered();
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == '\r') return 0;  // no error beep from the edit
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(edit, &CQelIspDlg::PortEditProc, id); break;
        default: break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}
