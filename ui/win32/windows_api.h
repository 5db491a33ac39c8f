#pragma once
// <windows.h> and the common controls for the window code, without the parts
// that collide with the standard library (min/max macros).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>
