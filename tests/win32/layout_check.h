#pragma once
// What a technician would see wrong in a dialog's layout, read from outside:
// a label or button whose text is wider or taller than the control, or two
// controls on top of each other. The text is measured in the dialog's face
// at the screen's DPI, made here: a font handle would not cross processes.
#include "link/win32/windows_api.h"

#include <string>
#include <vector>

namespace qelisp::test {

// The screen's DPI as this process sees it; the driver declares itself
// DPI-aware first, as QelIsp.exe is.
int screenDpi();

// The width of `text` in the dialogs' face at `fontPoints` and `dpi`.
int textWidth(const std::wstring& text, int fontPoints, int dpi);

// Each fault found, in words; empty when the dialog is clean.
std::vector<std::string> layoutFaults(HWND dialog, int fontPoints, int dpi);

}  // namespace qelisp::test
