#include "ui/qt/port_box.h"

#include "ui/elide_middle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

#include <algorithm>

namespace qelisp::qt {

namespace {

// Space around and between the columns, in pixels.
constexpr int kPadding = 4;
constexpr int kColumnGap = 12;

// QLineEdit's own space between its contents and its text, which Qt keeps
// private.
constexpr int kLineEditMargin = 2;

// The edit's panel, as QLineEdit describes it to the style.
QStyleOptionFrame panelOf(const QLineEdit* edit) {
    QStyleOptionFrame panel;
    panel.initFrom(edit);
    panel.rect = edit->rect();
    panel.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, edit) : 0;
    panel.state |= QStyle::State_Sunken;
    return panel;
}

QString elided(const QString& name, int width, const QFontMetrics& metrics) {
    return QString::fromStdString(elideMiddle(name.toStdString(), width, [&](std::string_view text) {
        return metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }));
}

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
    const QString description = index.data(kDescriptionRole).toString();
    // With no description beside it, the name may take the row.
    const int nameWidth = description.isEmpty() ? rect.width() : std::min(nameColumn, rect.width());
    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(text));
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, elided(name, nameWidth, option.fontMetrics));
    rect.setLeft(rect.left() + nameColumn + kColumnGap);
    if (!selected) painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
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
    // The list is as wide as it may be; what does not fit is shortened.
    view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lineEdit()->installEventFilter(this);
    // A pick from the list or with the arrow keys.
    connect(this, &QComboBox::currentIndexChanged, this, [this] { entryShown(); });
}

void PortBox::setEntries(const std::vector<PortEntry>& entries, int selected) {
    const bool editing = editing_;
    const QString shown = currentText();
    const bool typing = currentIndex() < 0 ? !shown.isEmpty() : shown != itemText(currentIndex());
    clear();
    const QFontMetrics metrics(font());
    int names = 0;
    int descriptions = 0;
    for (const PortEntry& entry : entries) {
        const QString name = QString::fromStdString(entry.name);
        const QString description = QString::fromStdString(entry.description);
        addItem(name, entry.index);
        setItemData(count() - 1, description, PortItemDelegate::kDescriptionRole);
        names = std::max(names, metrics.horizontalAdvance(name));
        descriptions = std::max(descriptions, metrics.horizontalAdvance(description));
    }
    // The dropped list as wide as its rows, never narrower than the box and
    // never wider than half the screen. A name too long for that gives up
    // its middle, leaving the descriptions at least a third.
    const int frame = 2 * view()->frameWidth() + view()->verticalScrollBar()->sizeHint().width();
    const int widest = std::max(width(), screen()->availableGeometry().width() / 2);
    const int room = widest - frame - 2 * kPadding;
    delegate_.nameColumn =
        std::min(names, descriptions > 0 ? std::max(room - kColumnGap - descriptions, room * 2 / 3) : room);
    const int rows = kPadding + delegate_.nameColumn + (descriptions > 0 ? kColumnGap + descriptions : 0) + kPadding;
    view()->setMinimumWidth(std::clamp(rows + frame, width(), widest));
    showIndex(selected);
    if (typing) {
        setEditText(shown);
        editing_ = editing;
    }
}

void PortBox::showIndex(int index) {
    setCurrentIndex(findData(index));
    entryShown();
}

void PortBox::entryShown() {
    editing_ = false;
    // Where the edit starts when someone clicks into it: at the head, which
    // is where the shortened name begins too.
    lineEdit()->setCursorPosition(0);
    lineEdit()->update();
}

void PortBox::showPopup() {
    if (beforePopup) beforePopup();
    QComboBox::showPopup();
}

QRect PortBox::textRect() const {
    // Where the edit draws its text: as QLineEdit places it.
    const QLineEdit* edit = lineEdit();
    const QStyleOptionFrame panel = panelOf(edit);
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &panel, edit);
    return contents.marginsRemoved(edit->textMargins()).adjusted(kLineEditMargin, 0, -kLineEditMargin, 0);
}

QString PortBox::shownText() const {
    const QLineEdit* edit = lineEdit();
    return editing_ ? edit->text() : elided(edit->text(), textRect().width(), edit->fontMetrics());
}

bool PortBox::startsEditing(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu: return true;
        case QEvent::KeyPress:
            // The arrow keys pick an entry, Enter confirms, Tab leaves.
            switch (static_cast<const QKeyEvent*>(event)->key()) {
                case Qt::Key_Up:
                case Qt::Key_Down:
                case Qt::Key_PageUp:
                case Qt::Key_PageDown:
                case Qt::Key_F4:
                case Qt::Key_Return:
                case Qt::Key_Enter:
                case Qt::Key_Escape:
                case Qt::Key_Tab:
                case Qt::Key_Backtab:
                case Qt::Key_Shift:
                case Qt::Key_Control:
                case Qt::Key_Alt:
                case Qt::Key_Meta: return false;
                default: return true;
            }
        default: return false;
    }
}

void PortBox::startEditingOn(const QEvent* event) {
    if (editing_ || !startsEditing(event)) return;
    editing_ = true;
    lineEdit()->update();
}

void PortBox::keyPressEvent(QKeyEvent* event) {
    startEditingOn(event);
    QComboBox::keyPressEvent(event);
}

void PortBox::contextMenuEvent(QContextMenuEvent* event) {
    startEditingOn(event);
    QComboBox::contextMenuEvent(event);
}

void PortBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    entryShown();
}

bool PortBox::eventFilter(QObject* watched, QEvent* event) {
    QLineEdit* edit = lineEdit();
    if (watched == edit) startEditingOn(event);
    // While someone types, the edit is itself; a name that fits needs no help.
    if (watched != edit || shownText() == edit->text()) {
        if (watched == edit && event->type() == QEvent::ToolTip) {
            QToolTip::hideText();
            return true;
        }
        return QComboBox::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Paint) {
        // A paint event's filter may paint the widget: Qt marks it as in
        // its paint event before the filters see it.
        QPainter painter(edit);
        const QStyleOptionFrame panel = panelOf(edit);
        edit->style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, edit);
        // All of it selected (tabbed to, or picked): shown so, as the edit would.
        const QString shown = shownText();
        QRect text = textRect();
        if (edit->hasSelectedText() && edit->selectedText() == edit->text()) {
            text.setWidth(edit->fontMetrics().horizontalAdvance(shown));
            painter.fillRect(text, edit->palette().highlight());
            painter.setPen(edit->palette().highlightedText().color());
        } else {
            painter.setPen(edit->palette().text().color());
        }
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
        return true;
    }
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), edit->text(), edit);
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace qelisp::qt
