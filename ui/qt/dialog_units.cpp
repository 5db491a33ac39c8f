#include "ui/qt/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

namespace qelisp::qt {

DialogBaseUnits baseUnitsOf(const QFont& font, const DialogTemplate& dialog) {
    const QFontMetrics metrics(font);
    const DialogBaseUnits units = baseUnitsFromFont(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
    return widenToFit(units, dialog.controls,
                      [&](std::string_view text) { return metrics.horizontalAdvance(textOf(text)); });
}

QRect pixelRect(const DialogRect& rect, DialogBaseUnits units) {
    const PixelRect p = toPixels(rect, units);
    return QRect(p.x, p.y, p.width, p.height);
}

int wrappedHeight(const QFontMetrics& metrics, const QString& text, int width) {
    return metrics.boundingRect(QRect(0, 0, width, 0x10000), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text)
        .height();
}

QString textOf(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont dialogFont(const DialogTemplate& dialog) {
    QFont font = QApplication::font();
    font.setPointSize(dialog.fontPoints);
    return font;
}

}  // namespace qelisp::qt
