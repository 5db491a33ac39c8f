#pragma once
// <windows.h> for our Win32 code, without the parts that collide with the
// standard library (min/max macros) or that it does not need.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
