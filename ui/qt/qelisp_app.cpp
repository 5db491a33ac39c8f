#include "ui/qt/qelisp_app.h"

#include "image/firmware_image.h"
#include "ui/main_window_model.h"
#include "ui/qt/qelisp_dlg.h"
#include "ui/window_command_line.h"

#include <QIcon>

#include <cstdio>
#include <vector>

CQelIspApp::CQelIspApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The name of the installed desktop entry, so a desktop shows its icon.
    setDesktopFileName(QStringLiteral("qelisp"));
    QIcon icon;
    for (int size : {16, 32, 48, 256}) icon.addFile(QStringLiteral(":/icons/qelisp-%1.png").arg(size));
    setWindowIcon(icon);
}

int CQelIspApp::run() {
    std::vector<std::string> args;
    const QStringList given = arguments();
    for (qsizetype i = 1; i < given.size(); ++i) args.push_back(given[i].toStdString());
    const qelisp::WindowCommandLine commandLine = qelisp::parseWindowCommandLine(args);
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "qelisp: %s\n%s", commandLine.error.c_str(), qelisp::windowUsageText());
        return 2;
    }
    qelisp::MainWindowModel model(qelisp::embeddedImage());
    return runMainWindow(model, commandLine.port);
}

int CQelIspApp::runMainWindow(qelisp::MainWindowModel& model, const std::string& port) {
    {
        CQelIspDlg dialog(model, port);
        dialog.exec();
    }
    // Whatever ended the dialog: stop the job. One that has not finished in
    // the grace period ends with the process; it keeps the state and the
    // port it uses alive until then.
    model.shutdown();
    return 0;
}
