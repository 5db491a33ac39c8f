#include "ui/qt/qelisp_about.h"

#include "ui/qt/dialog_units.h"

#include <QTextDocument>

namespace {

using namespace qelisp::about_dialog;
using qelisp::qt::pixelRect;
using qelisp::qt::textOf;

// The icon shows at the desktop's icon size whatever the control's size.
constexpr int kIconPixels = 32;

}  // namespace

QelIspAbout::QelIspAbout(const QString& text, const QString& notice, QWidget* parent) : QDialog(parent) {
    setWindowTitle(textOf(kTemplate.title));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(qelisp::qt::dialogFont(kTemplate));
    const qelisp::DialogBaseUnits units = qelisp::qt::baseUnitsOf(font(), kTemplate);

    okButton_.setObjectName(QStringLiteral("ok"));
    okButton_.setText(textOf(control(Control::OkButton).text));
    okButton_.setGeometry(pixelRect(control(Control::OkButton).rect, units));
    okButton_.setDefault(true);
    connect(&okButton_, &QPushButton::clicked, this, &QDialog::accept);

    icon_.setPixmap(windowIcon().pixmap(kIconPixels, kIconPixels));
    icon_.setGeometry(QRect(pixelRect(control(Control::Icon).rect, units).topLeft(), QSize(kIconPixels, kIconPixels)));

    // Read-only and without a frame, on the dialog's face: a frame would
    // leave room for three of the four lines.
    text_.setObjectName(QStringLiteral("text"));
    text_.setReadOnly(true);
    text_.setFrameShape(QFrame::NoFrame);
    text_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_.setLineWrapMode(QPlainTextEdit::NoWrap);
    text_.document()->setDocumentMargin(0);
    QPalette palette = text_.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    text_.setPalette(palette);
    text_.setPlainText(text);
    text_.setGeometry(pixelRect(control(Control::TextBox).rect, units));

    notice_.setObjectName(QStringLiteral("notice"));
    notice_.setText(notice);
    notice_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    notice_.setGeometry(pixelRect(control(Control::MakerNotice).rect, units));

    setFixedSize(pixelRect({0, 0, kTemplate.width, kTemplate.height}, units).size());
}
