#pragma once
// The Windows dialog templates' geometry on Qt widgets: dialog units turned
// into pixels with the dialog font's character size, measured as Windows
// measures it.
#include "ui/dialog_template.h"

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

namespace qelisp::qt {

// The units for `dialog` in `font`, widened so that no text is clipped.
DialogBaseUnits baseUnitsOf(const QFont& font, const DialogTemplate& dialog);

QRect pixelRect(const DialogRect& rect, DialogBaseUnits units);

QString textOf(std::string_view text);

// The height `text` takes wrapped at `width`, as a word-wrapping QLabel lays
// out plain text.
int wrappedHeight(const QFontMetrics& metrics, const QString& text, int width);

// The dialog font: the desktop's face at the template's size.
QFont dialogFont(const DialogTemplate& dialog);

}  // namespace qelisp::qt
