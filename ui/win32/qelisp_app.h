#pragma once
// The application: common controls, the main window run modally, then the end
// of any running job (cancel, 300 ms grace) and of the process.
#include "ui/win32/windows_api.h"

class CQelIspApp {
public:
    int Run(HINSTANCE instance);
};
