// QelIsp.exe: the Windows firmware updater.
#include "ui/win32/qelisp_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    CQelIspApp app;
    return app.Run(instance);
}
