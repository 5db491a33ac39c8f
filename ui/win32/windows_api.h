#pragma once
// <windows.h> as the serial backend takes it, plus the common controls for
// the window code.
#include "link/win32/windows_api.h"

#include <commctrl.h>
