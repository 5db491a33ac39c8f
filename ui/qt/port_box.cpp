#include "ui/qt/port_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace qelisp::qt {

namespace {

// Space around and between the columns, in pixels.
constexpr int kPadding = 4;
constexpr int kColumnGap = 12;

}  // namespace

void PortItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString name = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorRole text = selected ? QPalette::HighlightedText : QPalette::Text;
    QRect rect = option.rect.adjusted(kPadding, 0, -kPadding, 0);
    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(text));
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, name);
    rect.setLeft(rect.left() + nameColumn + kColumnGap);
    if (!selected) painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
    const QString description = index.data(kDescriptionRole).toString();
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(description, Qt::ElideRight, rect.width()));
    painter->restore();
}

QSize PortItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString description = index.data(kDescriptionRole).toString();
    const int width = kPadding + nameColumn +
                      (description.isEmpty() ? 0 : kColumnGap + option.fontMetrics.horizontalAdvance(description)) +
                      kPadding;
    return {std::max(size.width(), width), size.height()};
}

PortBox::PortBox(QWidget* parent) : QComboBox(parent), delegate_(this) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);  // the model keeps the list
    setItemDelegate(&delegate_);
}

void PortBox::setEntries(const std::vector<PortEntry>& entries, int selected) {
    const QString shown = currentText();
    const bool typing = currentIndex() < 0 ? !shown.isEmpty() : shown != itemText(currentIndex());
    clear();
    const QFontMetrics metrics(font());
    delegate_.nameColumn = 0;
    int descriptions = 0;
    for (const PortEntry& entry : entries) {
        const QString name = QString::fromStdString(entry.name);
        const QString description = QString::fromStdString(entry.description);
        addItem(name, entry.index);
        setItemData(count() - 1, description, PortItemDelegate::kDescriptionRole);
        delegate_.nameColumn = std::max(delegate_.nameColumn, metrics.horizontalAdvance(name));
        descriptions = std::max(descriptions, metrics.horizontalAdvance(description));
    }
    // The dropped list as wide as its rows, never narrower than the box.
    const int rows = kPadding + delegate_.nameColumn + (descriptions > 0 ? kColumnGap + descriptions : 0) + kPadding;
    const int frame = 2 * view()->frameWidth() + view()->verticalScrollBar()->sizeHint().width();
    view()->setMinimumWidth(std::max(width(), rows + frame));
    showIndex(selected);
    if (typing) setEditText(shown);
}

void PortBox::showIndex(int index) { setCurrentIndex(findData(index)); }

void PortBox::showPopup() {
    if (beforePopup) beforePopup();
    QComboBox::showPopup();
}

}  // namespace qelisp::qt
