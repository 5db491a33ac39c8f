#pragma once
// Reading and working another process's windows from a test driver. Text
// goes through WM_GETTEXT and friends, which the system carries across
// processes; pointers in other messages would not cross.
#include "link/win32/windows_api.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qelisp::test {

// Polls `condition` every `step` until it holds or `timeout` passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step = std::chrono::milliseconds(10));

// SendMessageTimeout, narrow and wide; -1 when the window did not answer.
LRESULT sendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT sendWideTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

std::string textOf(HWND window);
std::wstring wideTextOf(HWND window);
std::string classOf(HWND window);
std::vector<HWND> childrenOf(HWND parent);

// A visible top-level dialog of the given process with the given caption.
HWND findDialog(DWORD process, const char* caption);

// Whether `icon`, drawn on the dialog background, is what the screen shows
// at the top left of `control`.
bool showsIcon(HWND control, HICON icon);

}  // namespace qelisp::test
