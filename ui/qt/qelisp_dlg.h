#pragma once
// The main window: model and version of the built-in firmware, the port box,
// Progam / Verify / About / Exit, and the job's status line and progress bar,
// refreshed by a 20 ms timer. Laid out from the Windows dialog template, so
// the two programs look alike. The rules live in MainWindowModel; this class
// only moves them onto Qt widgets.
#include "ui/main_window_model.h"

#include <QDialog>
#include <QTimer>

#include <string>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

class CQelIspDlg : public QDialog {
    Q_OBJECT

public:
    // Opens `port` at start-up when one is named, else the first listed.
    CQelIspDlg(qelisp::MainWindowModel& model, const std::string& port = {}, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void onTimer();
    void onPortSelChange(int row);
    void onPortNameEntered();
    void onAbout();

    // The port box mirrors the model's list, sorted; each entry carries its
    // index in that list.
    void fillPortList();
    void showSelectedPort();
    void refusePortChange();

    qelisp::MainWindowModel& model_;
    QLineEdit* modelBox_ = nullptr;
    QLineEdit* versionBox_ = nullptr;
    QLineEdit* statusBox_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QComboBox* portBox_ = nullptr;
    QTimer timer_;
};
