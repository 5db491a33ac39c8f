#include "ui/win32/qelisp_app.h"

#include "image/firmware_image.h"
#include "ui/main_window_model.h"
#include "ui/win32/qelisp_dlg.h"

int CQelIspApp::Run(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    qelisp::MainWindowModel model(qelisp::embeddedImage());
    {
        CQelIspDlg dialog(instance, model);
        dialog.DoModal();
    }
    // Whatever ended the dialog: stop the job. One that has not finished in
    // the grace period ends with the process; it keeps the state and the
    // port it uses alive until then.
    model.shutdown();
    return 0;
}
