// Prints where the main window's buttons, port box and Status box and the about box's OK
// button sit, in pixels from their window's top left, on this display with
// its fonts:
//   program 27 127 84 26
// so that scripts/test-linux-window can click them from outside with xdotool.
#include "tests/support/test_image.h"
#include "ui/main_window_model.h"
#include "ui/qt/qelisp_about.h"
#include "ui/qt/qelisp_app.h"
#include "ui/qt/qelisp_dlg.h"

#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    CQelIspApp app(argc, argv);
    qelisp::test::OwnedImage owned{qelisp::test::makeImageBlock({0x60})};
    // No ports: the window must not hold the one the real program opens.
    qelisp::PortAccess none{[] { return std::vector<qelisp::PortInfo>{}; },
                            [](const std::string&, qelisp::OpenMode) { return qelisp::OpenResult{}; }};
    qelisp::MainWindowModel model(owned.image, none);
    CQelIspDlg window(model);
    for (const char* name : {"program", "verify", "about", "exit", "port", "status"}) {
        const QRect r = window.findChild<QWidget*>(QLatin1String(name))->geometry();
        std::printf("%s %d %d %d %d\n", name, r.x(), r.y(), r.width(), r.height());
    }
    QelIspAbout about(QString::fromStdString(model.aboutText()), QString::fromStdString(model.makerNotice()));
    const QRect ok = about.findChild<QWidget*>(QStringLiteral("ok"))->geometry();
    std::printf("about.ok %d %d %d %d\n", ok.x(), ok.y(), ok.width(), ok.height());
    return 0;
}
