// Resource identifiers, shared by qelisp.rc and the dialog code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_QELISP_DIALOG 102
#define IDD_ABOUTBOX 130
#define IDI_ABOUT 133

// Main dialog.
#define IDC_PROGRAM 1001
#define IDC_VERIFY 1002
#define IDC_ABOUT 1003
#define IDC_PORT 1004
#define IDC_MODEL 1005
#define IDC_VERSION 1006
#define IDC_STATUS 1007
#define IDC_HINT 1008
#define IDC_PROGRESS 1009

// About box.
#define IDC_ABOUT_TEXT 1005
#define IDC_ABOUT_NOTICE 1006

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
