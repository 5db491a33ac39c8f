#pragma once
// The application: the main window run modally, then the end of any running
// job (cancel, 300 ms grace) and of the process.
#include <QApplication>

#include <string>

namespace qelisp {
class MainWindowModel;
}

class CQelIspApp : public QApplication {
    Q_OBJECT

public:
    CQelIspApp(int& argc, char** argv);

    // Reads the options Qt left over and runs the main window over the
    // built-in firmware. Returns the exit status: 2 for a usage error.
    // main() has answered --help and --version before Qt started.
    int run();

    // Shows the main window over `model` until it is closed, then stops the
    // job. `port`, when given, is opened instead of the first listed.
    int runMainWindow(qelisp::MainWindowModel& model, const std::string& port = {});
};
