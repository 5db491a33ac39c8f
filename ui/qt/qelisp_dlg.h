#pragma once
// The main window: model and version of the built-in firmware, the port box,
// Progam / Verify / About / Exit, and the job's status line with the hint
// under it and the progress bar, refreshed by a 20 ms timer. Laid out from the Windows dialog template, so
// the two programs look alike. The rules live in MainWindowModel; this class
// only moves them onto Qt widgets.
#include "ui/main_window_model.h"
#include "ui/qt/port_box.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <string>

class CQelIspDlg : public QDialog {
    Q_OBJECT

public:
    // Opens `port` at start-up when one is named, else the first listed.
    CQelIspDlg(qelisp::MainWindowModel& model, const std::string& port = {}, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void onTimer();
    void onPortSelChange(int row);
    void onPortNameEntered();
    void onAbout();

    // The port box mirrors the model's list, in the model's order; each
    // entry carries its index in that list.
    void fillPortList();
    void showSelectedPort();
    void refusePortChange();

    qelisp::MainWindowModel& model_;
    // In the template's order, which is the stacking order too: the frame
    // lies under everything else.
    QGroupBox frame_{this};
    QLabel modelLabel_{this};
    QLineEdit modelBox_{this};
    QLabel versionLabel_{this};
    QLineEdit versionBox_{this};
    QLabel statusLabel_{this};
    QLineEdit statusBox_{this};
    QLabel hintBox_{this};  // what to check or do next, wrapped under the status
    QProgressBar progress_{this};
    QLabel portLabel_{this};
    qelisp::qt::PortBox portBox_{this};
    QPushButton programButton_{this};
    QPushButton verifyButton_{this};
    QPushButton aboutButton_{this};
    QPushButton exitButton_{this};
    QLineEdit* portEdit_ = nullptr;  // the port box's own edit
    QTimer timer_;
};
