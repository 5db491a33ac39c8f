// Works QelIsp.exe's main window from outside, as a technician would, and
// checks what the window shows. Run by scripts/test-windows under Wine, with
// the simulated instrument behind COM1 (erasing for a second or more) and a
// blank one, answering at the real wire speed, behind COM2 and COM12, and
// one that the script plugs into COM14 when asked:
//
//   window_driver.exe QelIsp.exe [--shots DIR] [--layout] [--port NAME]
//
// With --port the window is started on that port (a serial port server's,
// with a blank instrument behind it), shows it, and verifies through it.
// With --shots, the driver asks the script through DIR for pictures and for
// COM14's device (tests/win32/script_requests.h). With --layout, and an
// instrument behind COM1 that never answers, it fails a Progam, then looks
// at both dialogs at the screen's DPI (every hint whole under the status),
// pictures them, and exits.
//
// Prints one line per check and "driver: N passed, M failed"; exit status 0
// when every check passed.
#include "tests/win32/foreign_window.h"
#include "tests/win32/layout_check.h"
#include "tests/win32/script_requests.h"

#include <commctrl.h>

#include <dbt.h>

#include "image/firmware_image.h"
#include "jobs/window_hint.h"
#include "link/port.h"
#include "program_version.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qelisp::test;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// The window's fixed texts, written out here rather than taken from the
// program, so that a changed text is caught.
constexpr const char* kWarningCaption = "Warnning";
constexpr const char* kWarningText = "During Program Or Verify period\r\nCould Not Change the Comport!";
// With the program's version, as the build gives it.
constexpr const wchar_t* kMakerNotice = L"QelIsp " QELISP_PROGRAM_VERSION_WIDE L" \u2014 firmware updater";

constexpr int kProgramButton = 1001;
constexpr int kVerifyButton = 1002;
constexpr int kAboutButton = 1003;
constexpr int kPortBox = 1004;
constexpr int kModelBox = 1005;
constexpr int kVersionBox = 1006;
constexpr int kStatusBox = 1007;
constexpr int kHintBox = 1008;
constexpr int kProgressBar = 1009;
constexpr int kAboutText = 1005;

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what, const std::string& detail = {}) {
    (ok ? passed : failed)++;
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAIL", what.c_str(), detail.empty() ? "" : " -- ", detail.c_str());
    std::fflush(stdout);
}

// "\r\n" and trailing spaces made visible in messages.
std::string shown(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The running program and its main window's controls.
struct App {
    PROCESS_INFORMATION process{};
    HWND dialog = nullptr;
    HWND status = nullptr;
    HWND progress = nullptr;
    HWND ports = nullptr;

    std::string statusText() const { return textOf(status); }
    std::string hintText() const { return textOf(item(kHintBox)); }
    int progressPos() const { return static_cast<int>(sendTo(progress, PBM_GETPOS)); }
    HWND item(int id) const { return GetDlgItem(dialog, id); }
    void click(int id) const { PostMessageW(item(id), BM_CLICK, 0, 0); }

    // Wide: Wine hands list-box text across processes only as UTF-16.
    std::string itemText(LRESULT index) const {
        std::array<wchar_t, 64> text{};
        LRESULT length = sendWideTo(ports, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
        if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) return {};
        sendWideTo(ports, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        std::string narrow;
        for (const wchar_t* c = text.data(); *c; ++c) narrow += static_cast<char>(*c);
        return narrow;
    }
    std::string selectedPort() const {
        LRESULT index = sendTo(ports, CB_GETCURSEL);
        return index < 0 ? std::string() : itemText(index);
    }
    std::vector<std::string> listedPorts() const {
        std::vector<std::string> names;
        for (LRESULT i = 0, n = sendTo(ports, CB_GETCOUNT); i < n; ++i) names.push_back(itemText(i));
        return names;
    }
    LRESULT portIndex(const char* name) const {
        return sendTo(ports, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    }
    // As a pick from the drop-down list: the selection moves, then the
    // dialog hears of it. Posted, because a refusal opens a message box.
    void pickPort(const char* name) const {
        sendTo(ports, CB_SETCURSEL, static_cast<WPARAM>(portIndex(name)));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kPortBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(ports));
    }
    bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
};

// A visible top-level window of the program's, of the given class.
HWND shownWindow(const App& app, const char* className) {
    struct Search {
        DWORD process;
        const char* className;
        HWND found;
    } search{app.process.dwProcessId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->process || !IsWindowVisible(window) || classOf(window) != s->className) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool isFinal(const std::string& status) {
    for (const char* prefix : {"Data Writed OK!", "Data Verify OK!", "Connecting Error", "Data Error!", "User Canceled",
                               "Erase Flash Failer!", "Verify Error At: "}) {
        if (startsWith(status, prefix)) return true;
    }
    return false;
}

// Waits for the job's last message; `during` is called on every poll.
std::string waitForEnd(const App& app, std::chrono::seconds timeout,
                       const std::function<void(const std::string&)>& during) {
    std::string status;
    waitFor(
        [&] {
            status = app.statusText();
            if (during) during(status);
            return isFinal(status);
        },
        timeout);
    return status;
}

void checkElapsedMessage(const std::string& status, const std::string& prefix) {
    bool ok = startsWith(status, prefix) && status.size() > prefix.size() && status.back() == 'S';
    check(ok, "job ends with " + shown(prefix + "...S"), "status " + shown(status));
}

void checkBarBackToZero(const App& app) {
    bool zero = waitFor([&] { return app.progressPos() == 0; }, 2s);
    check(zero, "progress bar back at 0 after the job", "position " + std::to_string(app.progressPos()));
}

// The warning box for a refused port change: caption, text, icon, OK.
void checkWarningBox(const App& app) {
    HWND box = nullptr;
    waitFor([&] { return (box = findDialog(app.process.dwProcessId, kWarningCaption)) != nullptr; }, 5s);
    check(box != nullptr, "port change during a job shows the \"Warnning\" box");
    if (!box) return;
    bool textFound = false;
    bool exclamation = false;
    std::string texts;
    HICON exclamationIcon = LoadIconA(nullptr, IDI_EXCLAMATION);
    for (HWND child : childrenOf(box)) {
        if (classOf(child) != "Static") continue;
        std::string text = textOf(child);
        if (!text.empty()) texts += shown(text) + " ";
        if (text == kWarningText) textFound = true;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            waitFor([&] { return showsIcon(child, exclamationIcon); }, 2s, 50ms)) {
            exclamation = true;
        }
    }
    check(textFound, "warning text is exact", "box shows " + texts);
    check(exclamation, "warning box has the exclamation icon");
    check(GetDlgItem(box, IDOK) != nullptr, "warning box has an OK button");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    check(waitFor([&] { return !IsWindow(box); }, 5s), "OK closes the warning box");
}

// "Writing Data To Address: 5D400H" -> 0x5D400; -1 for other lines.
long statusAddress(const std::string& status) {
    const std::string prefix = "Writing Data To Address: ";
    if (!startsWith(status, prefix) || status.back() != 'H') return -1;
    return std::strtol(status.substr(prefix.size(), status.size() - prefix.size() - 1).c_str(), nullptr, 16);
}

void programWithRefusedPortChange(App& app) {
    app.click(kProgramButton);
    std::string first;
    const bool connecting = waitFor([&] { return (first = app.statusText()) == "Connecting..."; }, 5s);
    check(connecting, "Progam starts a job: \"Connecting...\"", "status " + shown(first));

    int highest = 0;
    int pagesMatched = 0;
    int lastMatchedPage = -1;
    bool triedWhileBusy = false;
    bool writingSeen = false;
    bool verifySeen = false;
    std::string status = waitForEnd(app, 180s, [&](const std::string& now) {
        const int position = app.progressPos();
        highest = std::max(highest, position);
        // The bar shows the 4 KB page of the record being written.
        const long address = statusAddress(now);
        if (address >= 0 && position == (address >> 12) && position != lastMatchedPage) {
            lastMatchedPage = position;
            ++pagesMatched;
        }
        if (address >= 0) writingSeen = true;
        if (startsWith(now, "Verifying")) verifySeen = true;
        // COM1's instrument takes its time over the erase: the job is surely
        // still running while the checks below are made.
        if (!triedWhileBusy && (startsWith(now, "Erasing Flash ") || address >= 0)) {
            triedWhileBusy = true;
            // Verify while programming: dropped. Sent as the button's command,
            // so the focus stays on Progam as after a technician's click.
            PostMessageW(app.dialog, WM_COMMAND, MAKEWPARAM(kVerifyButton, BN_CLICKED),
                         reinterpret_cast<LPARAM>(app.item(kVerifyButton)));
            app.pickPort("COM2");
            checkWarningBox(app);
            check(app.selectedPort() == "COM1", "refused change keeps the selection",
                  "selected " + shown(app.selectedPort()));
        }
    });
    check(writingSeen, "saw \"Writing Data To Address: ...\" during the job");
    checkElapsedMessage(status, "Data Writed OK!  Time Elapsed ");
    check(!verifySeen, "Verify pressed during programming was ignored");
    check(highest >= 0x50 && pagesMatched >= 3, "progress bar shows the page being written",
          "highest " + std::to_string(highest) + ", pages matched " + std::to_string(pagesMatched));
    checkBarBackToZero(app);
}

// A job that starts clears the hint, and one that succeeds leaves none.
void verifyExpecting(App& app, const std::string& prefix, const std::string& why) {
    app.click(kVerifyButton);
    waitFor([&] { return !isFinal(app.statusText()); }, 5s);
    check(waitFor([&] { return app.hintText().empty(); }, 2s), "a verify that starts clears the hint",
          shown(app.hintText()));
    std::string status = waitForEnd(app, 120s, nullptr);
    check(startsWith(status, prefix), why, "status " + shown(status));
    if (startsWith(prefix, "Data Verify OK!")) check(app.hintText().empty(), "no hint after a success");
    checkBarBackToZero(app);
}

void checkAboutBox(App& app, ScriptRequests& shots) {
    app.click(kAboutButton);
    HWND about = nullptr;
    waitFor([&] { return (about = findDialog(app.process.dwProcessId, "About")) != nullptr; }, 5s);
    check(about != nullptr, "About opens the about box");
    if (!about) return;
    const qelisp::FirmwareImage& image = qelisp::embeddedImage();
    const std::string expected =
        image.model() + "\r\n     Total Station In System Updata Software\r\n\r\nVersion:  " + image.version();
    std::string text = textOf(GetDlgItem(about, kAboutText));
    check(text == expected, "about text is exact, trailing spaces included", shown(text));
    bool notice = false;
    for (HWND child : childrenOf(about)) {
        if (classOf(child) == "Static" && wideTextOf(child) == kMakerNotice) notice = true;
    }
    check(notice, "about box shows the maker's notice with the program's version and its em dash");
    shots.take(about, "about-box");
    PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    check(waitFor([&] { return !IsWindow(about); }, 5s), "OK closes the about box");
}

// After a failed job, the hint for how it ended under the status, whole in
// its lines.
void checkHint(const App& app, const std::string& expected, const std::string& after) {
    check(waitFor([&] { return app.hintText() == expected; }, 2s), "after " + after + " the hint says what to do",
          shown(app.hintText()));
}

// Where the last line of `text` ends in the hint box, put there as the
// window would: every line inside the box, the first in sight.
bool hintFits(const App& app, const std::string& text, std::string& detail) {
    HWND box = app.item(kHintBox);
    sendTo(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const LRESULT lines = sendTo(box, EM_GETLINECOUNT);
    // Positions come back packed in the result: nothing crosses the process by pointer.
    auto top = [&](LRESULT line) {
        return static_cast<short>(
            HIWORD(sendTo(box, EM_POSFROMCHAR, static_cast<WPARAM>(sendTo(box, EM_LINEINDEX, line)))));
    };
    const int lineHeight = lines > 1 ? top(1) - top(0) : 0;
    RECT client{};
    GetClientRect(box, &client);
    const int bottom = top(lines - 1) + lineHeight;
    detail = std::to_string(lines) + " lines ending at " + std::to_string(bottom) + " of " +
             std::to_string(client.bottom) + ": " + shown(text);
    return sendTo(box, EM_GETFIRSTVISIBLELINE) == 0 && top(0) >= 0 && lineHeight > 0 && bottom <= client.bottom;
}

// Every hint the window may show fits the box at this DPI; the one shown
// goes back afterwards.
void checkEveryHintFits(const App& app, const std::string& at) {
    const std::string showing = app.hintText();
    std::vector<std::string> hints = qelisp::everyWindowHint();
    hints.push_back(qelisp::windowHint(qelisp::FailureReason::NoPermission, qelisp::PortPlace::Local, "uucp"));
    int fit = 0;
    std::string detail, worst;
    for (const std::string& hint : hints) {
        if (hintFits(app, hint, detail)) {
            ++fit;
        } else {
            worst = detail;
        }
    }
    check(fit == static_cast<int>(hints.size()), "every hint fits the box under the status" + at,
          std::to_string(fit) + " of " + std::to_string(hints.size()) + (worst.empty() ? "" : "; " + worst));
    sendTo(app.item(kHintBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(showing.c_str()));
}

// At start the focus is on the default button, and no read-only box shows
// its text selected, as the first box of a dialog otherwise would.
void checkNothingSelected(const App& app, const std::string& at) {
    std::string selected;
    for (int id : {kModelBox, kVersionBox, kStatusBox}) {
        const auto range = static_cast<DWORD>(sendTo(app.item(id), EM_GETSEL));
        if (LOWORD(range) != HIWORD(range)) selected += shown(textOf(app.item(id))) + " ";
    }
    check(selected.empty(), "no text selected at start" + at, selected);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(app.process.dwThreadId, &gui);
    check(gui.hwndFocus == app.item(IDOK), "the focus is on Exit at start" + at,
          classOf(gui.hwndFocus) + " " + shown(textOf(gui.hwndFocus)));
}

void checkIdlePortChange(App& app, ScriptRequests& shots) {
    app.pickPort("COM2");
    std::this_thread::sleep_for(500ms);
    check(findDialog(app.process.dwProcessId, kWarningCaption) == nullptr, "idle port change shows no warning");
    check(app.selectedPort() == "COM2", "idle port change keeps the new selection",
          "selected " + shown(app.selectedPort()));
    // COM2's instrument is blank: a verify there must fail, one on COM1 would pass.
    verifyExpecting(app, "Verify Error At: ", "Verify after the change talks to COM2 (blank flash)");
    checkHint(app, qelisp::windowHint(qelisp::FailureReason::ReadBackDiffers), "a verify that found the flash differs");
    shots.take(app.dialog, "main-window-hint");
}

// Types `name` into the port box's edit field and presses Enter there.
bool typePortName(const App& app, const char* name) {
    // GetComboBoxInfo does not work across processes; the edit is the
    // combo box's one Edit child.
    HWND edit = FindWindowExA(app.ports, nullptr, "Edit", nullptr);
    if (!edit) return false;
    sendTo(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    return true;
}

void checkTypedPortName(App& app) {
    // A port above COM9, typed in. COM12 leads to COM2's blank instrument.
    check(typePortName(app, "COM12"), "port box has an edit field");
    bool selected12 = waitFor([&] { return app.selectedPort() == "COM12"; }, 5s);
    check(selected12, "typed \"COM12\" + Enter selects COM12", "selected " + shown(app.selectedPort()));
    check(app.running() && IsWindow(app.dialog), "Enter in the port box does not close the window");
    verifyExpecting(app, "Verify Error At: ", "Verify after typing COM12 talks to COM12 (blank flash)");

    // A listed name typed in selects that entry.
    typePortName(app, "COM1");
    bool selected = waitFor([&] { return app.selectedPort() == "COM1"; }, 5s);
    check(selected, "typed \"COM1\" + Enter selects COM1", "selected " + shown(app.selectedPort()));

    // A name with nothing behind it: COM1 stays open and shown.
    typePortName(app, "COM11");
    const bool refused = waitFor([&] { return startsWith(app.statusText(), "COM11: "); }, 5s);
    check(refused, "typed \"COM11\" (no such port) says why in the status", "status " + shown(app.statusText()));
    check(app.selectedPort() == "COM1" && textOf(app.ports) == "COM1", "the port before stays selected and shown",
          "selected " + shown(app.selectedPort()) + ", box " + shown(textOf(app.ports)));
    verifyExpecting(app, "Data Verify OK!  Time Elapsed ", "Verify after typing COM1, then COM11, talks to COM1");
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
}

// The port box offers what the system lists and can be opened, in order of
// number, COM12 among them.
void checkPortList(const App& app) {
    const std::vector<std::string> expected = qelisp::enumeratePorts();
    const std::vector<std::string> shown = app.listedPorts();
    check(shown == expected, "port list is every port that opens, by number",
          joined(shown) + " / system: " + joined(expected));
    check(app.portIndex("COM12") >= 0, "port list offers COM12", joined(shown));
}

// The visible dropped list of the port box, a window of its own.
HWND droppedList(const App& app) { return shownWindow(app, "ComboLBox"); }

// A click on the box's button, as a technician opens it: the box takes the
// focus and drops its list. Returns the list, or null.
HWND dropPortList(const App& app) {
    RECT box{};
    GetClientRect(app.ports, &box);
    const LPARAM button = MAKELPARAM(box.right - 4, box.bottom / 2);
    PostMessageW(app.ports, WM_LBUTTONDOWN, MK_LBUTTON, button);
    PostMessageW(app.ports, WM_LBUTTONUP, 0, button);
    HWND list = nullptr;
    waitFor([&] { return (list = droppedList(app)) != nullptr; }, 5s);
    return list;
}

void closePortList(const App& app) {
    sendTo(app.ports, CB_SHOWDROPDOWN, FALSE);
    waitFor([&] { return droppedList(app) == nullptr; }, 5s);
}

// Whether anything is drawn in `area` of the screen but the list's background.
bool drawnOn(const RECT& area) {
    HDC screen = GetDC(nullptr);
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    bool ink = false;
    for (LONG y = area.top; y < area.bottom && !ink; ++y) {
        for (LONG x = area.left; x < area.right && !ink; ++x) ink = GetPixel(screen, x, y) != background;
    }
    ReleaseDC(nullptr, screen);
    return ink;
}

// The list drops wider than the box, with COM12's description beside its
// name where the system gives one; the edit part keeps the bare name.
void checkDroppedList(App& app, ScriptRequests& shots) {
    std::string description;
    for (const qelisp::PortInfo& port : qelisp::listPorts()) {
        if (port.name == "COM12") description = port.description;
    }
    HWND list = dropPortList(app);
    check(list != nullptr, "the port box drops its list");
    if (!list) return;
    RECT box{}, dropped{};
    GetWindowRect(app.ports, &box);
    GetWindowRect(list, &dropped);
    check(
        dropped.right - dropped.left > box.right - box.left, "dropped list is wider than the box",
        std::to_string(dropped.right - dropped.left) + " px for a " + std::to_string(box.right - box.left) + " px box");

    // COM12's row, in screen pixels: the list's client area less its scroll bar.
    const LRESULT row = app.portIndex("COM12");
    sendTo(list, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(row, 0)));
    const auto height = static_cast<LONG>(sendTo(app.ports, CB_GETITEMHEIGHT, 0));
    const auto top = static_cast<LONG>(sendTo(list, LB_GETTOPINDEX));
    RECT client{};
    GetClientRect(list, &client);
    POINT origin{0, (static_cast<LONG>(row) - top) * height};
    ClientToScreen(list, &origin);
    const LONG width = client.right - client.left;
    std::this_thread::sleep_for(300ms);  // drawn
    const bool name = drawnOn({origin.x, origin.y, origin.x + width / 3, origin.y + height});
    const bool beside = drawnOn({origin.x + width / 2, origin.y, origin.x + width, origin.y + height});
    check(row >= 0 && name, "COM12's row shows its name");
    if (description.empty()) {
        check(!beside, "COM12 has no description from the system, and none is shown");
    } else {
        check(beside, "COM12's row shows its description beside the name", shown(description));
    }
    check(textOf(app.ports) == app.selectedPort(), "the edit part shows the bare name", shown(textOf(app.ports)));
    RECT both{};
    UnionRect(&both, &box, &dropped);
    RECT dialog{};
    GetWindowRect(app.dialog, &dialog);
    UnionRect(&both, &both, &dialog);
    shots.take(both, "main-window-ports");
    closePortList(app);
}

// WM_DEVICECHANGE as Windows broadcasts it for a COM port that was removed.
void announceRemoval(const App& app, const char* name) {
    DEV_BROADCAST_PORT_A port{};
    port.dbcp_size = sizeof(port);
    port.dbcp_devicetype = DBT_DEVTYP_PORT;
    std::snprintf(port.dbcp_name, sizeof(port.dbcp_name), "%s", name);
    sendTo(app.dialog, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&port));
}

// A device behind COM14 comes, and is offered when the list drops; it goes,
// and the list follows the system's word. The open port stays.
void checkPortComesAndGoes(App& app, ScriptRequests& script) {
    const std::string before = app.selectedPort();
    check(app.portIndex("COM14") < 0, "COM14 with nothing behind it is not offered", joined(app.listedPorts()));
    if (!script.plug("com14", true)) {
        check(false, "the script plugs a device into COM14");
        return;
    }
    dropPortList(app);
    check(app.portIndex("COM14") >= 0, "a port that arrived is offered as the list drops", joined(app.listedPorts()));
    closePortList(app);
    script.plug("com14", false);
    announceRemoval(app, "COM14");
    check(waitFor([&] { return app.portIndex("COM14") < 0; }, 5s),
          "a port that is gone is no longer offered after WM_DEVICECHANGE", joined(app.listedPorts()));
    check(app.selectedPort() == before, "the open port stays selected", shown(app.selectedPort()));
}

// COM2's instrument answers at the real wire speed, so this run is slow
// enough for a picture of the window at work.
void checkExitDuringJob(App& app, ScriptRequests& shots) {
    app.pickPort("COM2");
    waitFor([&] { return app.selectedPort() == "COM2"; }, 2s);
    app.click(kProgramButton);
    bool writing = waitFor(
        [&] { return startsWith(app.statusText(), "Writing Data To Address: ") && app.progressPos() >= 0x18; }, 60s);
    check(writing, "second programming run under way on COM2", "status " + shown(app.statusText()));
    shots.take(app.dialog, "main-window");
    auto started = SteadyClock::now();
    app.click(IDOK);  // Exit
    DWORD waited = WaitForSingleObject(app.process.hProcess, 10000);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - started);
    check(waited == WAIT_OBJECT_0 && took < 3s, "Exit during a job ends the program promptly",
          std::to_string(took.count()) + " ms");
    DWORD code = 1;
    GetExitCodeProcess(app.process.hProcess, &code);
    check(code == 0, "exit status 0", std::to_string(code));
}

// The name too long for the box shows its head and its tail with an
// ellipsis between, within the edit's margins, in the dialog's face.
void checkShortenedName(const App& app, const std::string& port, const std::string& when) {
    HWND edit = FindWindowExA(app.ports, nullptr, "Edit", nullptr);
    const std::wstring whole(port.begin(), port.end());
    std::wstring text;
    const bool shortened = waitFor(
        [&] {
            text = wideTextOf(edit);
            return text.find(L'\u2026') != std::wstring::npos;
        },
        2s);
    // Some of the head before the ellipsis, some of the tail after it.
    const std::size_t cut = text.find(L'\u2026');
    const std::wstring head = text.substr(0, cut), tail = shortened ? text.substr(cut + 1) : std::wstring();
    check(shortened && !head.empty() && !tail.empty() && whole.rfind(head, 0) == 0 &&
              whole.size() - tail.size() > head.size() && whole.substr(whole.size() - tail.size()) == tail,
          "the box shows " + port + " by its head and its tail " + when,
          shown(std::string(head.begin(), head.end()) + "..." + std::string(tail.begin(), tail.end())));
    RECT client{};
    GetClientRect(edit, &client);
    const auto margins = static_cast<DWORD>(sendTo(edit, EM_GETMARGINS));
    const int room = client.right - LOWORD(margins) - HIWORD(margins);
    const int width = textWidth(text, 9, screenDpi());
    check(width <= room, "the shortened name fits the box " + when,
          std::to_string(width) + " px in " + std::to_string(room));
}

std::string joinedFaults(const std::vector<std::string>& faults) {
    std::string out;
    for (const std::string& fault : faults) out += (out.empty() ? "" : "; ") + fault;
    return out;
}

// Both dialogs at the screen's DPI: every label whole, nothing on top of
// anything else, the window grown with the DPI; a picture of each.
void checkLayout(App& app, ScriptRequests& shots) {
    const int dpi = screenDpi();
    const std::string at = " at " + std::to_string(dpi) + " dpi";
    checkNothingSelected(app, at);
    // The instrument behind COM1 never answers: the pictures show the hint.
    app.click(kProgramButton);
    const std::string status = waitForEnd(app, 30s, nullptr);
    check(status == "Connecting Error!", "Progam with no answer fails" + at, shown(status));
    checkHint(app, qelisp::windowHint(qelisp::FailureReason::NoAnswer), "no answer" + at);
    checkEveryHintFits(app, at);
    RECT client{};
    GetClientRect(app.dialog, &client);
    // 251 dialog units at no less than 6 pixels per 4 (an 8-point face at 96 dpi).
    const int least = MulDiv(251 * 6 / 4, dpi, 96);
    check(client.right >= least, "the main window grows with the DPI" + at,
          std::to_string(client.right) + " pixels wide, " + std::to_string(least) + " at least");
    std::vector<std::string> faults = layoutFaults(app.dialog, 9, dpi);
    check(faults.empty(), "main window" + at + ": no label clipped, no control on another", joinedFaults(faults));
    shots.take(app.dialog, "main-window-" + std::to_string(dpi) + "dpi");

    app.click(kAboutButton);
    HWND about = nullptr;
    waitFor([&] { return (about = findDialog(app.process.dwProcessId, "About")) != nullptr; }, 5s);
    check(about != nullptr, "About opens the about box" + at);
    if (!about) return;
    faults = layoutFaults(about, 8, dpi);
    check(faults.empty(), "about box" + at + ": no label clipped, no control on another", joinedFaults(faults));
    shots.take(about, "about-box-" + std::to_string(dpi) + "dpi");
    PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    waitFor([&] { return !IsWindow(about); }, 5s);
    PostMessageW(app.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    check(WaitForSingleObject(app.process.hProcess, 5000) == WAIT_OBJECT_0, "Exit ends the program" + at);
}

}  // namespace

// Started with --port NAME: the port box shows that name, it opened (the
// status says nothing), and a verify talks to the blank instrument behind it
// and finds its flash differs.
void checkNamedPort(App& app, const std::string& port) {
    check(app.selectedPort() == port, "--port " + port + " is the port shown", shown(app.selectedPort()));
    check(app.statusText().empty(), "--port " + port + " opened", "status " + shown(app.statusText()));
    checkShortenedName(app, port, "at start");
    // Dropped and closed again, the box keeps its pick and shortens it
    // again, though it has the focus now.
    check(dropPortList(app) != nullptr, "the port box drops its list");
    closePortList(app);
    check(app.selectedPort() == port, "the pick stays after the list closes", shown(app.selectedPort()));
    checkShortenedName(app, port, "with the focus");
    verifyExpecting(app, "Verify Error At: ", "a verify through " + port + " reaches the blank instrument");
    checkHint(app, qelisp::windowHint(qelisp::FailureReason::ReadBackDiffers, qelisp::PortPlace::Network),
              "a verify through the server");
    PostMessageW(app.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    check(WaitForSingleObject(app.process.hProcess, 5000) == WAIT_OBJECT_0, "Exit ends the program");
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_driver QelIsp.exe [--shots DIR] [--layout] [--port NAME]\n");
        return 2;
    }
    std::string shotDir;
    bool layoutOnly = false;
    std::string port;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--shots" && i + 1 < argc) shotDir = argv[i + 1];
        if (std::string(argv[i]) == "--port" && i + 1 < argc) port = argv[i + 1];
        if (std::string(argv[i]) == "--layout") layoutOnly = true;
    }
    // Measured as QelIsp.exe sees the screen: at its real DPI.
    SetProcessDPIAware();
    ScriptRequests shots(shotDir);

    App app;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    if (!port.empty()) commandLine += " --port \"" + port + "\"";
    if (!CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &app.process)) {
        check(false, "start QelIsp.exe", "error " + std::to_string(GetLastError()));
        std::printf("driver: %d passed, %d failed\n", passed, failed);
        return 1;
    }
    WaitForInputIdle(app.process.hProcess, 10000);
    waitFor([&] { return (app.dialog = findDialog(app.process.dwProcessId, "QelIsp")) != nullptr; }, 30s);
    check(app.dialog != nullptr, "main window \"QelIsp\" is up");
    app.status = app.item(kStatusBox);
    app.progress = app.item(kProgressBar);
    app.ports = app.item(kPortBox);
    if (app.dialog && layoutOnly) {
        checkLayout(app, shots);
    } else if (app.dialog && !port.empty()) {
        checkNamedPort(app, port);
    } else if (app.dialog) {
        checkNothingSelected(app, "");
        const qelisp::FirmwareImage& image = qelisp::embeddedImage();
        std::string model = textOf(app.item(kModelBox));
        std::string version = textOf(app.item(kVersionBox));
        check(model == image.model(), "Model box shows the 15-character model field", shown(model));
        check(version == image.version(), "Version box shows the 15-character version field", shown(version));
        // Limits by return value: a PBRANGE pointer would not cross processes.
        LRESULT low = sendTo(app.progress, PBM_GETRANGE, TRUE, 0);
        LRESULT high = sendTo(app.progress, PBM_GETRANGE, FALSE, 0);
        check(low == 0 && high == 256, "progress range 0..256 (1 MB in 4 KB pages)",
              std::to_string(low) + ".." + std::to_string(high));
        check(app.portIndex("COM1") >= 0 && app.portIndex("COM2") >= 0, "port list has COM1 and COM2",
              std::to_string(sendTo(app.ports, CB_GETCOUNT)) + " entries");
        check(app.selectedPort() == "COM1", "first port is selected at start", shown(app.selectedPort()));
        checkPortList(app);
        checkDroppedList(app, shots);
        checkPortComesAndGoes(app, shots);

        programWithRefusedPortChange(app);
        verifyExpecting(app, "Data Verify OK!  Time Elapsed ", "Verify after programming passes");
        checkAboutBox(app, shots);
        checkIdlePortChange(app, shots);
        checkTypedPortName(app);
        checkExitDuringJob(app, shots);
    }
    if (app.running()) {
        TerminateProcess(app.process.hProcess, 1);
        WaitForSingleObject(app.process.hProcess, 5000);
    }
    CloseHandle(app.process.hThread);
    CloseHandle(app.process.hProcess);
    std::printf("driver: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
