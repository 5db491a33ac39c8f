#include "ui/win32/qelisp_app.h"

#include "image/firmware_image.h"
#include "program_version.h"
#include "ui/main_window_model.h"
#include "ui/win32/qelisp_dlg.h"
#include "ui/window_command_line.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// The arguments after the program's name, as UTF-8: a port's name may hold
// any character the user typed into a shortcut.
std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<std::size_t>(size - 1) : 0, '\0');
        if (size > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    LocalFree(argv);
    return args;
}

constexpr const char* kUsage =
    "usage: QelIsp.exe [--port NAME]\n\n"
    "--port NAME   open this port at start-up instead of the first one listed: COM3, or a serial port "
    "server's rfc2217://HOST:PORT or tcp://HOST:PORT";

}  // namespace

int CQelIspApp::Run(HINSTANCE instance) {
    // A window program has no console: what the command line gets wrong is
    // said in a message box, and nothing opens.
    const qelisp::WindowCommandLine commandLine = qelisp::parseWindowCommandLine(CommandLineArguments());
    if (!commandLine.error.empty() || commandLine.help) {
        const std::string text = commandLine.help ? kUsage : commandLine.error + "\n\n" + kUsage;
        MessageBoxA(nullptr, text.c_str(), "QelIsp", commandLine.help ? MB_ICONINFORMATION : MB_ICONERROR);
        return commandLine.help ? 0 : 2;
    }
    if (commandLine.version) {
        const qelisp::FirmwareImage& image = qelisp::embeddedImage();
        const std::string text = qelisp::windowVersionText(QELISP_PROGRAM_VERSION, image.model(), image.version());
        MessageBoxA(nullptr, text.c_str(), "QelIsp", MB_ICONINFORMATION);
        return 0;
    }

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    qelisp::MainWindowModel model(qelisp::embeddedImage());
    {
        CQelIspDlg dialog(instance, model, commandLine.port);
        dialog.DoModal();
    }
    // Whatever ended the dialog: stop the job. One that has not finished in
    // the grace period ends with the process; it keeps the state and the
    // port it uses alive until then.
    model.shutdown();
    return 0;
}
