#include "ui/qt/qelisp_about.h"

#include "ui/qt/dialog_units.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace {

using namespace qelisp::about_dialog;
using qelisp::qt::pixelRect;
using qelisp::qt::textOf;

// The icon shows at the desktop's icon size whatever the control's size.
constexpr int kIconPixels = 32;

}  // namespace

QelIspAbout::QelIspAbout(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(textOf(kTemplate.title));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(qelisp::qt::dialogFont(kTemplate));
    const qelisp::DialogBaseUnits units = qelisp::qt::baseUnitsOf(font(), kTemplate);

    auto* ok = new QPushButton(textOf(kControls[OkButton].text), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(pixelRect(kControls[OkButton].rect, units));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().pixmap(kIconPixels, kIconPixels));
    icon->setGeometry(QRect(pixelRect(kControls[Icon].rect, units).topLeft(), QSize(kIconPixels, kIconPixels)));

    // Read-only and without a frame, on the dialog's face: a frame would
    // leave room for three of the four lines.
    auto* box = new QPlainTextEdit(this);
    box->setObjectName(QStringLiteral("text"));
    box->setReadOnly(true);
    box->setFrameShape(QFrame::NoFrame);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->document()->setDocumentMargin(0);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    box->setPalette(palette);
    box->setPlainText(text);
    box->setGeometry(pixelRect(kControls[TextBox].rect, units));

    auto* notice = new QLabel(textOf(kControls[MakerNotice].text), this);
    notice->setObjectName(QStringLiteral("notice"));
    notice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    notice->setGeometry(pixelRect(kControls[MakerNotice].rect, units));

    setFixedSize(pixelRect({0, 0, kTemplate.width, kTemplate.height}, units).size());
}
