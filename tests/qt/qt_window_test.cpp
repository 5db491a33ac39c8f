// The Linux window over the real serial backend, with qelisp-sim on a pty,
// worked in-process as a technician would: typing the port, clicking the
// buttons, answering the warning box, closing during a job.
#include "jobs/window_hint.h"
#include "tests/support/fake_link.h"
#include "tests/support/sim_process.h"
#include "tests/support/test_image.h"
#include "ui/main_window_model.h"
#include "ui/qt/qelisp_about.h"
#include "ui/qt/qelisp_app.h"
#include "ui/qt/qelisp_dlg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <memory>
#include <mutex>

using namespace qelisp;
using namespace std::chrono_literals;

namespace {

// Two pages of records: long enough at the wire speed to act during a job.
test::OwnedImage& smallImage() {
    static test::OwnedImage owned{test::makeImageBlock(test::blockRange(0x60, 0x9F))};
    return owned;
}

std::unique_ptr<test::SimProcess> startSim(const std::vector<std::string>& args) {
    return std::make_unique<test::SimProcess>(QELISP_SIM_PATH, args);
}

template <typename T>
T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found) qFatal("no %s", name);
    return found;
}

// As a technician types: the keys go to the box, which has the focus.
void typePort(QWidget* window, const std::string& port) {
    auto* box = child<QComboBox>(window, "port");
    box->lineEdit()->clear();
    QTest::keyClicks(box, QString::fromStdString(port));
    QTest::keyClick(box, Qt::Key_Return);
}

QString statusOf(QWidget* window) { return child<QLineEdit>(window, "status")->text(); }

// Answers the next message box that opens with OK, noting what it showed.
struct ModalBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
    QTimer poll;

    void answerNext() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll.stop();
            seen = true;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        poll.start(10);
    }
};

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

private slots:
    void programAndVerifyFollowTheJobAndDropASecondClick();
    void portChangeWhileBusyWarnsAndKeepsTheOpenPort();
    void closingDuringAJobCancelsItWithinTheGrace();
    void controlsNeitherOverlapNorClipTheirText();
    void portBoxListsByNumberAndKeepsTheOpenPort();
    void longPortNameShowsItsHeadAndTail();
    void startsWithNoTextSelected();
    void hintUnderTheStatusAfterAFailure();
};

void QtWindowTest::programAndVerifyFollowTheJobAndDropASecondClick() {
    auto sim = startSim({"--erase-ms", "900"});
    QVERIFY2(sim->started(), sim->error().c_str());
    MainWindowModel model(smallImage().image);
    CQelIspDlg window(model);
    window.show();
    typePort(&window, sim->ptyPath());
    QVERIFY2(model.portOpen(), qPrintable(statusOf(&window)));
    QVERIFY2(window.isVisible(), "Enter in the port box must not close the window");
    QCOMPARE(child<QComboBox>(&window, "port")->currentText().toStdString(), sim->ptyPath());
    auto* progress = child<QProgressBar>(&window, "progress");
    QCOMPARE(progress->maximum(), 256);

    // Every line the worker wrote, and every line and value the window showed.
    std::mutex mutex;
    std::vector<std::string> written;
    model.jobState().setStatusListener([&](const std::string& text) {
        std::lock_guard lock(mutex);
        written.push_back(text);
    });
    QStringList shown;
    QList<int> positions;
    connect(child<QLineEdit>(&window, "status"), &QLineEdit::textChanged, [&](const QString& t) { shown << t; });
    connect(progress, &QProgressBar::valueChanged, [&](int v) { positions << v; });

    struct Job {
        const char* button;
        const char* other;
        const char* working;
        const char* done;
        bool erases;
    };
    for (const Job& job :
         {Job{"program", "verify", "Writing Data To Address: ", "Data Writed OK!  Time Elapsed ", true},
          Job{"verify", "program", "Verifying Data At Address: ", "Data Verify OK!  Time Elapsed ", false}}) {
        shown.clear();
        positions.clear();
        {
            std::lock_guard lock(mutex);
            written.clear();
        }
        QTest::mouseClick(child<QPushButton>(&window, job.button), Qt::LeftButton);
        QVERIFY(model.busy());
        QVERIFY(QTest::qWaitFor([&] { return statusOf(&window).startsWith(QLatin1String(job.working)); }, 10000));
        // The other button while this job runs: dropped.
        QTest::mouseClick(child<QPushButton>(&window, job.other), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !model.busy(); }, 20000));
        QVERIFY(
            QTest::qWaitFor([&] { return progress->value() == 0 && statusOf(&window).startsWith(job.done); }, 1000));

        QVERIFY2(QRegularExpression(QStringLiteral("^%1\\d+\\.\\dS$").arg(QLatin1String(job.done)))
                     .match(statusOf(&window))
                     .hasMatch(),
                 qPrintable(statusOf(&window)));
        // What the box showed is what the worker wrote, in order, seen
        // often enough to follow it: the handshake, the erase dots, the records.
        std::lock_guard lock(mutex);
        QCOMPARE(std::count(written.begin(), written.end(), "Connecting..."), 1);
        std::size_t at = 0;
        for (const QString& line : shown) {
            while (at < written.size() && written[at] != line.toStdString()) ++at;
            QVERIFY2(at < written.size(), qPrintable("shown but not written, or out of order: " + line));
        }
        QVERIFY2(shown.first() == QLatin1String("Connecting...") &&
                     shown.filter(QLatin1String(job.working)).size() >= 20 &&
                     shown.contains(QLatin1String("Erasing Flash ..")) == job.erases,
                 qPrintable(shown.join(QLatin1String(" | "))));
        // The bar showed both 4 KB pages of the image, then went back to 0.
        QVERIFY2(positions.contains(3) && positions.contains(4) && positions.back() == 0,
                 qPrintable(QString::number(positions.size())));
    }
    window.close();
    model.shutdown();
    QVERIFY(sim->stop());
    QCOMPARE(sim->summary()->violations, 0u);
}

void QtWindowTest::portChangeWhileBusyWarnsAndKeepsTheOpenPort() {
    // The job's instrument erases long enough for two tries; the other one
    // must never hear from the program.
    auto busySim = startSim({"--erase-ms", "3000"});
    auto otherSim = startSim({"--no-pacing"});
    QVERIFY(busySim->started() && otherSim->started());
    MainWindowModel model(smallImage().image);
    CQelIspDlg window(model);
    window.show();
    typePort(&window, otherSim->ptyPath());
    typePort(&window, busySim->ptyPath());
    auto* box = child<QComboBox>(&window, "port");
    QCOMPARE(box->currentText().toStdString(), busySim->ptyPath());

    QTest::mouseClick(child<QPushButton>(&window, "program"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return statusOf(&window).startsWith(QLatin1String("Erasing Flash ")); }, 5000));

    const int otherRow = box->findText(QString::fromStdString(otherSim->ptyPath()));
    const std::vector<std::function<void()>> tries = {
        // A pick from the list, as the keyboard makes it.
        [&] { QTest::keyClick(box->lineEdit(), otherRow > box->currentIndex() ? Qt::Key_Down : Qt::Key_Up); },
        [&] { typePort(&window, otherSim->ptyPath()); },
    };
    for (const auto& change : tries) {
        ModalBox warning;
        warning.answerNext();
        change();
        QVERIFY(QTest::qWaitFor([&] { return warning.seen; }, 3000));
        QCOMPARE(warning.title, QStringLiteral("Warnning"));
        QCOMPARE(warning.text, QStringLiteral("During Program Or Verify period\nCould Not Change the Comport!"));
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(box->currentText().toStdString(), busySim->ptyPath());
        QCOMPARE(model.ports()[static_cast<std::size_t>(model.selectedIndex())].name, busySim->ptyPath());
        QVERIFY(model.portOpen() && model.busy());
    }
    // The job goes on to its end on the port it started with.
    QVERIFY(QTest::qWaitFor([&] { return statusOf(&window).startsWith(QLatin1String("Data Writed OK!")); }, 20000));
    window.close();
    model.shutdown();
    QVERIFY(otherSim->stop() && busySim->stop());
    QCOMPARE(otherSim->summary()->lines, 0u);
    QCOMPARE(busySim->summary()->violations, 0u);
}

void QtWindowTest::closingDuringAJobCancelsItWithinTheGrace() {
    auto sim = startSim({"--erase-ms", "0"});
    QVERIFY(sim->started());
    auto* app = qobject_cast<CQelIspApp*>(QCoreApplication::instance());
    const std::vector<std::pair<const char*, std::function<void(QDialog*)>>> closings = {
        {"Exit", [](QDialog* w) { QTest::mouseClick(child<QPushButton>(w, "exit"), Qt::LeftButton); }},
        {"Escape", [](QDialog* w) { QTest::keyClick(w, Qt::Key_Escape); }},
        {"close box", [](QDialog* w) { w->close(); }},
    };
    for (const auto& [how, closeIt] : closings) {
        MainWindowModel model(smallImage().image);
        QElapsedTimer sinceClose;
        // Works the window from inside the application's modal run.
        QTimer driver;
        bool clicked = false;
        connect(&driver, &QTimer::timeout, [&, closeIt = closeIt] {
            auto* window = qobject_cast<CQelIspDlg*>(QApplication::activeModalWidget());
            if (!window || sinceClose.isValid()) return;
            if (!clicked) {
                clicked = true;
                QTest::mouseClick(child<QPushButton>(window, "program"), Qt::LeftButton);
            } else if (statusOf(window).startsWith(QLatin1String("Writing Data To Address: "))) {
                sinceClose.start();
                closeIt(window);
            }
        });
        driver.start(10);
        QTimer neverHang;
        neverHang.setSingleShot(true);
        connect(&neverHang, &QTimer::timeout, app, &QApplication::closeAllWindows);
        neverHang.start(15000);
        QCOMPARE(app->runMainWindow(model, sim->ptyPath()), 0);
        QVERIFY2(sinceClose.isValid(), how);
        QVERIFY2(sinceClose.elapsed() < (kCancelGrace + 500ms).count(), how);
        QVERIFY2(model.jobState().cancel.load(), how);
        QVERIFY2(!model.busy(), "the job ended within the grace");
        QCOMPARE(model.jobState().status(), std::string("User Canceled"));
    }
    QVERIFY(sim->stop());
}

void QtWindowTest::controlsNeitherOverlapNorClipTheirText() {
    PortAccess none{[] { return std::vector<PortInfo>{}; }, [](const std::string&, OpenMode) { return OpenResult{}; }};
    MainWindowModel model(smallImage().image, none);
    CQelIspDlg main(model);
    QelIspAbout about(QString::fromStdString(model.aboutText()).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                      QString::fromStdString(model.makerNotice()));
    for (QDialog* dialog : {static_cast<QDialog*>(&main), static_cast<QDialog*>(&about)}) {
        const QString name = dialog->windowTitle();
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());  // fixed size
        QList<QWidget*> controls;
        for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!qobject_cast<QGroupBox*>(w)) controls << w;  // the frame encloses the others
        }
        for (qsizetype i = 0; i < controls.size(); ++i) {
            QVERIFY2(dialog->rect().contains(controls[i]->geometry()), qPrintable(name));
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(name + ": overlap " + controls[i]->objectName() + "/" + controls[j]->objectName()));
            }
            QString text;
            if (auto* label = qobject_cast<QLabel*>(controls[i])) text = label->text();
            if (auto* button = qobject_cast<QPushButton*>(controls[i])) text = button->text();
            QVERIFY2(controls[i]->fontMetrics().horizontalAdvance(text) <= controls[i]->contentsRect().width(),
                     qPrintable(name + ": clipped " + text));
        }
    }
    // Every hint the window may show fits its lines under the status, as the
    // label wraps it.
    auto* hint = child<QLabel>(&main, "hint");
    QVERIFY(hint->wordWrap());
    std::vector<std::string> hints = everyWindowHint();
    hints.push_back(windowHint(FailureReason::NoPermission, PortPlace::Local, "uucp"));
    for (const std::string& text : hints) {
        hint->setText(QString::fromStdString(text));
        QVERIFY2(
            hint->heightForWidth(hint->width()) <= hint->height(),
            qPrintable(QStringLiteral("%1 px of %2: ").arg(hint->heightForWidth(hint->width())).arg(hint->height()) +
                       hint->text()));
    }
    // The port box takes a Linux name; the about text's four lines all show.
    auto* port = child<QComboBox>(&main, "port");
    QVERIFY(port->width() >= port->fontMetrics().horizontalAdvance(QStringLiteral("/dev/pts/10")) + 20);
    about.show();
    auto* text = child<QPlainTextEdit>(&about, "text");
    QTextCursor end(text->document());
    end.movePosition(QTextCursor::End);
    QVERIFY2(text->cursorRect(end).bottom() < text->viewport()->height(), qPrintable(text->toPlainText()));
}

void QtWindowTest::portBoxListsByNumberAndKeepsTheOpenPort() {
    // The system's list, which the test changes; every name but COM77 opens.
    std::vector<PortInfo> listed{{"COM10", "USB Serial Port", 0x0403, 0x6001, {}, {}, {}},
                                 {"COM2", "Communications Port", 0, 0, {}, {}, {}}};
    test::VirtualClock clock;
    std::vector<std::string> opened;
    PortAccess access{[&] { return listed; },
                      [&](const std::string& name, OpenMode) {
                          OpenResult result;
                          if (name == "COM77") {
                              result.error = OpenError::NotFound;
                              result.message = "COM77: no such port";
                          } else {
                              opened.push_back(name);
                              result.link = std::make_unique<test::FakeLink>(clock);
                          }
                          return result;
                      }};
    MainWindowModel model(smallImage().image, access);
    CQelIspDlg window(model);
    window.show();
    auto* box = child<QComboBox>(&window, "port");
    auto items = [&] {
        QStringList shown;
        for (int i = 0; i < box->count(); ++i) {
            shown << box->itemText(i) + "|" + box->itemData(i, qt::PortItemDelegate::kDescriptionRole).toString();
        }
        return shown.join(QLatin1Char(' '));
    };
    // By number, the first found open, its bare name in the edit part.
    QCOMPARE(items(), QStringLiteral("COM2|Communications Port COM10|USB Serial Port"));
    QCOMPARE(box->currentText(), QStringLiteral("COM10"));
    const QFontMetrics metrics(box->font());
    QVERIFY(box->view()->minimumWidth() > metrics.horizontalAdvance(QStringLiteral("COM10 USB Serial Port")));
    QVERIFY(box->view()->minimumWidth() > box->width());

    // An adapter plugged in, the open one gone from the system's list: read
    // again as the list drops, the open port kept and shown.
    listed = {{"COM2", "Communications Port", 0, 0, {}, {}, {}}, {"COM3", "CP2102", 0, 0, {}, {}, {}}};
    box->showPopup();
    QCOMPARE(items(), QStringLiteral("COM2|Communications Port COM3|CP2102 COM10|USB Serial Port"));
    QVERIFY(box->view()->isVisible());
    QVERIFY2(box->view()->window()->width() >= box->view()->minimumWidth(), "the dropped list is as wide as its rows");
    box->hidePopup();
    QCOMPARE(box->currentText(), QStringLiteral("COM10"));
    QCOMPARE(opened, std::vector<std::string>{"COM10"});

    // A mistyped name: the port before stays open and shown; the status says why.
    typePort(&window, "COM77");
    QCOMPARE(box->currentText(), QStringLiteral("COM10"));
    QVERIFY(model.portOpen());
    QTRY_COMPARE(statusOf(&window), QStringLiteral("COM77: no such port"));
    QCOMPARE(opened, std::vector<std::string>{"COM10"});
}

// A name longer than the box shows its head and its tail, never just one of
// them; its tip and the model keep it whole. The dropped list shortens a
// name only where half the screen is too narrow for it.
void QtWindowTest::longPortNameShowsItsHeadAndTail() {
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const std::string byPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2.1.4.3:1.0-port0";
    const std::string network = "rfc2217://127.0.0.1:7400";
    test::VirtualClock clock;
    PortAccess access{[&] {
                          return std::vector<PortInfo>{{"ttyS0", "16550A", 0, 0, {}, {}, {}},
                                                       {byPath, "FT232R USB UART", 0x0403, 0x6001, {}, {}, {}}};
                      },
                      [&](const std::string&, OpenMode) {
                          OpenResult result;
                          result.link = std::make_unique<test::FakeLink>(clock);
                          return result;
                      }};
    MainWindowModel model(smallImage().image, access);
    CQelIspDlg window(model);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* box = static_cast<qt::PortBox*>(child<QComboBox>(&window, "port"));
    QLineEdit* edit = box->lineEdit();
    for (const auto& [name, shortened] :
         {std::pair{byId, true}, std::pair{network, true}, std::pair{std::string("ttyS0"), false}}) {
        // Typed and confirmed: shown as a pick is, though the box keeps the focus.
        edit->setFocus();
        typePort(&window, name);
        QVERIFY(edit->hasFocus());
        QCOMPARE(model.ports()[static_cast<std::size_t>(model.selectedIndex())].name, name);
        QCOMPARE(box->currentText().toStdString(), name);
        const QString whole = QString::fromStdString(name);
        const QString shown = box->shownText();
        QVERIFY2(edit->fontMetrics().horizontalAdvance(shown) <= edit->width(), qPrintable(shown));
        if (!shortened) {
            QCOMPARE(shown, whole);
            continue;
        }
        // Some of the head before the ellipsis, some of the tail after it.
        const QStringList parts = shown.split(QChar(0x2026));
        QVERIFY2(parts.size() == 2 && !parts[0].isEmpty() && !parts[1].isEmpty() && whole.startsWith(parts[0]) &&
                     whole.endsWith(parts[1]) && parts[0].size() + parts[1].size() < whole.size(),
                 qPrintable(shown));
        QHelpEvent hover(QEvent::ToolTip, edit->rect().center(), edit->mapToGlobal(edit->rect().center()));
        QApplication::sendEvent(edit, &hover);
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), whole);
        // Clicked into, whole for typing; left, shortened again.
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(box->shownText(), whole);
        child<QPushButton>(&window, "exit")->setFocus();
        QCOMPARE(box->shownText(), shown);
    }
    // The list: the network name whole, the long ones shortened, within half the screen.
    const auto* rows = static_cast<qt::PortItemDelegate*>(box->itemDelegate());
    const QFontMetrics metrics(box->font());
    QVERIFY(rows->nameColumn >= metrics.horizontalAdvance(QString::fromStdString(network)));
    QVERIFY(rows->nameColumn < metrics.horizontalAdvance(QString::fromStdString(byPath)));
    QVERIFY(box->view()->minimumWidth() <= box->screen()->availableGeometry().width() / 2);
}

// The read-only boxes neither take the focus at start nor show their text
// selected, as the first box of a dialog would.
void QtWindowTest::startsWithNoTextSelected() {
    PortAccess none{[] { return std::vector<PortInfo>{}; }, [](const std::string&, OpenMode) { return OpenResult{}; }};
    MainWindowModel model(smallImage().image, none);
    CQelIspDlg window(model);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (QLineEdit* box : window.findChildren<QLineEdit*>()) {
        QVERIFY2(!box->hasSelectedText(), qPrintable(box->selectedText()));
        QVERIFY(!box->isReadOnly() || !box->hasFocus());
    }
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(&window, "exit"));
}

void QtWindowTest::hintUnderTheStatusAfterAFailure() {
    // The first data record goes unanswered: the update is cut off.
    auto sim = startSim({"--no-pacing", "--erase-ms", "0", "--fault", "3:silence"});
    QVERIFY(sim->started());
    MainWindowModel model(smallImage().image);
    CQelIspDlg window(model);
    window.show();
    typePort(&window, sim->ptyPath());
    auto* hint = child<QLabel>(&window, "hint");
    QCOMPARE(hint->text(), QString());
    QTest::mouseClick(child<QPushButton>(&window, "program"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !model.busy(); }, 10000));
    auto* status = child<QLineEdit>(&window, "status");
    QTRY_COMPARE(status->text(), QStringLiteral("Connecting Error 4!"));
    QCOMPARE(hint->text().toStdString(), windowHint(FailureReason::CutOff));
    QVERIFY(hint->isVisible() && hint->heightForWidth(hint->width()) <= hint->height());
    // The Status box's tip is the status alone.
    QTextDocument tip;
    tip.setHtml(status->toolTip());
    QCOMPARE(tip.toPlainText(), status->text());
    // The next job clears it as it starts.
    QTest::mouseClick(child<QPushButton>(&window, "program"), Qt::LeftButton);
    QTRY_COMPARE(status->text(), QStringLiteral("Connecting..."));
    QCOMPARE(hint->text(), QString());
    window.close();
    model.shutdown();
    QVERIFY(sim->stop());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    CQelIspApp app(argc, argv);
    QtWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_window_test.moc"
