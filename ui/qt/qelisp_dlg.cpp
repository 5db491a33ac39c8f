#include "ui/qt/qelisp_dlg.h"

#include "jobs/window_hint.h"
#include "ui/port_warning.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/qelisp_about.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolTip>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace qelisp::main_dialog;
using qelisp::qt::pixelRect;
using qelisp::qt::textOf;
using qelisp::qt::wrappedHeight;

// The port box is wide enough for the names a Linux port list shows
// ("ttyUSB10", a typed "/dev/pts/10"); the template's fits only "COM8".
const QString kWidestPortName = QStringLiteral("/dev/pts/10");

// Windows' line ends in the fixed texts; Qt breaks lines at "\n" alone.
QString shownText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A read-only edit shows the dialog's face, as on Windows.
void makeReadOnly(QLineEdit& box) {
    box.setReadOnly(true);
    QPalette palette = box.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    box.setPalette(palette);
}

// Rich text, so that Qt wraps a long status to a readable width; the
// status's own spaces are kept. No text, no tip.
QString tooltipHtml(const std::string& text) {
    if (text.empty()) return {};
    return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(shownText(text).toHtmlEscaped());
}

// QLineEdit's own space between its contents and its text, which Qt keeps
// private.
constexpr int kLineEditMargin = 2;

void setBoxText(QLineEdit& box, const std::string& text) {
    box.setText(QString::fromStdString(text));
    box.setCursorPosition(0);  // show the start of a long line, not its end
}

}  // namespace

CQelIspDlg::CQelIspDlg(qelisp::MainWindowModel& model, const std::string& port, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(textOf(kTemplate.title));
    // Caption, system menu, minimise box and close box; fixed size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    for (QLineEdit* box : {&modelBox_, &versionBox_, &statusBox_}) makeReadOnly(*box);
    hintBox_.setWordWrap(true);
    hintBox_.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hintBox_.setTextFormat(Qt::PlainText);
    hintBox_.setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_.setTextVisible(false);
    portEdit_ = portBox_.lineEdit();
    // Keys reach the box, which hands them to its edit without filters.
    portBox_.installEventFilter(this);
    portEdit_->installEventFilter(this);
    // Names for the tests and the layout probe.
    statusBox_.setObjectName(QStringLiteral("status"));
    hintBox_.setObjectName(QStringLiteral("hint"));
    progress_.setObjectName(QStringLiteral("progress"));
    portBox_.setObjectName(QStringLiteral("port"));
    programButton_.setObjectName(QStringLiteral("program"));
    verifyButton_.setObjectName(QStringLiteral("verify"));
    aboutButton_.setObjectName(QStringLiteral("about"));
    exitButton_.setObjectName(QStringLiteral("exit"));
    layOut();

    connect(&programButton_, &QPushButton::clicked, this, [this] { model_.startProgram(model_.tickBeep()); });
    connect(&verifyButton_, &QPushButton::clicked, this, [this] { model_.startVerify(model_.tickBeep()); });
    connect(&aboutButton_, &QPushButton::clicked, this, &CQelIspDlg::onAbout);
    // Exit, Escape and the close box end the dialog, also while a job runs:
    // the application cancels it afterwards.
    exitButton_.setDefault(true);
    connect(&exitButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(&portBox_, &QComboBox::activated, this, &CQelIspDlg::onPortSelChange);
    // Read the list again as it drops; nothing changes while a job runs.
    portBox_.beforePopup = [this] {
        if (model_.refreshPorts()) fillPortList();
    };

    setBoxText(modelBox_, model_.model());
    setBoxText(versionBox_, model_.version());
    progress_.setRange(0, qelisp::kProgressPages);
    model_.startUp(port);
    fillPortList();

    connect(&timer_, &QTimer::timeout, this, &CQelIspDlg::onTimer);
    timer_.start(qelisp::kRefreshPeriod);
    // Not the first read-only box, which would show its text selected: the
    // default button, as Enter presses it anyway.
    exitButton_.setFocus();
}

void CQelIspDlg::layOut() {
    setFont(qelisp::qt::dialogFont(kTemplate));
    const QFontMetrics metrics(font());
    // The hint's lines begin where the Status box's text does.
    QStyleOptionFrame frame;
    frame.initFrom(&statusBox_);
    frame.rect = QRect(0, 0, 100, 20);
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &statusBox_);
    const int indent = style()->subElementRect(QStyle::SE_LineEditContents, &frame, &statusBox_).left() +
                       statusBox_.textMargins().left() + kLineEditMargin;
    hintBox_.setContentsMargins(indent, 0, 0, 0);
    // Every hint whole in its lines, measured as the label wraps it.
    const std::vector<std::string> hints = qelisp::everyWindowHint();
    const qelisp::DialogBaseUnits units = qelisp::widenToWrap(
        qelisp::qt::baseUnitsOf(font(), kTemplate), control(Control::HintBox).rect, [&](const qelisp::PixelRect& box) {
            return std::all_of(hints.begin(), hints.end(), [&](const std::string& hint) {
                return wrappedHeight(metrics, QString::fromStdString(hint), box.width - indent) <= box.height;
            });
        });
    const std::pair<QWidget*, Control> placed[] = {
        {&frame_, Control::Frame},
        {&modelLabel_, Control::ModelLabel},
        {&modelBox_, Control::ModelBox},
        {&versionLabel_, Control::VersionLabel},
        {&versionBox_, Control::VersionBox},
        {&statusLabel_, Control::StatusLabel},
        {&statusBox_, Control::StatusBox},
        {&hintBox_, Control::HintBox},
        {&progress_, Control::ProgressBar},
        {&portLabel_, Control::PortLabel},
        {&portBox_, Control::PortBox},
        {&programButton_, Control::ProgramButton},
        {&verifyButton_, Control::VerifyButton},
        {&aboutButton_, Control::AboutButton},
        {&exitButton_, Control::ExitButton},
    };
    for (const auto& [widget, control] : placed) {
        widget->setGeometry(pixelRect(qelisp::main_dialog::control(control).rect, units));
        const QString text = textOf(qelisp::main_dialog::control(control).text);
        if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(text);
        if (auto* button = qobject_cast<QPushButton*>(widget)) button->setText(text);
    }

    // The port box's height is the closed box's; the template's counts the
    // dropped list. Its width takes a Linux name, and the window grows by
    // what that adds rather than overlap anything.
    QStyleOptionComboBox option;
    option.initFrom(&portBox_);
    option.editable = true;
    const QSize needed = style()->sizeFromContents(
        QStyle::CT_ComboBox, &option,
        QSize(metrics.horizontalAdvance(kWidestPortName) + metrics.averageCharWidth(), metrics.height()), &portBox_);
    const int extra = std::max(0, needed.width() - portBox_.width());
    portBox_.resize(portBox_.width() + extra, portBox_.sizeHint().height());
    setFixedSize(pixelRect({0, 0, kTemplate.width, kTemplate.height}, units).size() + QSize(extra, 0));
}

void CQelIspDlg::onTimer() {
    qelisp::DisplayUpdate update = model_.tick();
    if (update.hint) hintBox_.setText(QString::fromStdString(*update.hint));
    if (update.progress) progress_.setValue(*update.progress);
    if (update.status) {
        setBoxText(statusBox_, *update.status);
        statusBox_.setToolTip(tooltipHtml(*update.status));
        // A tip on the screen follows the status, as the Windows one does.
        if (QToolTip::isVisible() && statusBox_.underMouse()) {
            QToolTip::showText(QCursor::pos(), statusBox_.toolTip(), &statusBox_);
        }
    }
    if (update.beep) QApplication::beep();
    // An adapter came or went (the model looks once a second while idle).
    if (update.portList) fillPortList();
}

void CQelIspDlg::onPortSelChange(int row) {
    if (row < 0) return;
    const int index = portBox_.itemData(row).toInt();
    switch (model_.selectPort(index).outcome) {
        case qelisp::PortChangeOutcome::RefusedBusy: refusePortChange(); break;
        // The port open before is still the one in use; the status says why.
        case qelisp::PortChangeOutcome::OpenFailed: showSelectedPort(); break;
        case qelisp::PortChangeOutcome::Opened:
        case qelisp::PortChangeOutcome::Ignored: break;
    }
}

void CQelIspDlg::onPortNameEntered() {
    qelisp::PortChange change = model_.enterPortName(portBox_.currentText().toStdString());
    switch (change.outcome) {
        case qelisp::PortChangeOutcome::RefusedBusy: refusePortChange(); break;
        // A new name joins the list.
        case qelisp::PortChangeOutcome::Opened: fillPortList(); break;
        // The port open before is still the one in use, and the box shows
        // it again; the status line names the typed port and says why.
        case qelisp::PortChangeOutcome::OpenFailed: showSelectedPort(); break;
        case qelisp::PortChangeOutcome::Ignored: break;
    }
    portBox_.entryShown();
}

void CQelIspDlg::refusePortChange() {
    // Selection back first, then the warning, as technicians know it.
    showSelectedPort();
    QMessageBox warning(QMessageBox::Warning, QString::fromLatin1(qelisp::kPortWarningCaption),
                        shownText(qelisp::kPortWarningText), QMessageBox::Ok, this);
    warning.exec();
}

void CQelIspDlg::fillPortList() { portBox_.setEntries(model_.portEntries(), model_.selectedIndex()); }

void CQelIspDlg::showSelectedPort() { portBox_.showIndex(model_.selectedIndex()); }

void CQelIspDlg::onAbout() {
    QelIspAbout about(shownText(model_.aboutText()), QString::fromStdString(model_.makerNotice()), this);
    about.exec();
}

bool CQelIspDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the port box opens the typed port instead of pressing the
    // default button (Exit). The event type first: while the dialog's
    // members are destroyed the port box may be half gone.
    if (event->type() == QEvent::KeyPress && (watched == portEdit_ || watched == &portBox_)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            onPortNameEntered();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
