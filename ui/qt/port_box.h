#pragma once
// The port box: an editable drop-down whose edit part shows the bare port
// name and whose dropped list shows each name with its description beside
// it, in a list as wide as they need. A name too long for the box or the
// list shows its head and its tail (ui/elide_middle.h), in the box unless
// someone types in it; the box's tip and the list keep it whole. It says
// when it is about to drop, so that the list can be read again first.
#include "ui/main_window_model.h"

#include <QComboBox>
#include <QStyledItemDelegate>

#include <functional>
#include <vector>

namespace qelisp::qt {

// Draws a row of the dropped list: the name, then the description a shade
// lighter, in a column of its own; a name wider than its column shortened
// in the middle.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kDescriptionRole = Qt::UserRole + 1;
    int nameColumn = 0;  // pixels: the widest name

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class PortBox : public QComboBox {
public:
    explicit PortBox(QWidget* parent);

    // Called before the list drops.
    std::function<void()> beforePopup;

    // The model's entries, in order, with the one at model index `selected`
    // shown; each item's data is its index in the model's list. Text typed
    // and not yet confirmed stays in the edit.
    void setEntries(const std::vector<PortEntry>& entries, int selected);
    // The entry whose model index is `index` (-1: none) is shown.
    void showIndex(int index);
    // After a pick, Enter, or the focus gone: the edit shows an entry again.
    void entryShown();

    void showPopup() override;

    // What the closed box shows: the name whole, or shortened in the middle
    // when the box is too narrow for it; whole while someone types in it.
    QString shownText() const;

protected:
    // Draws the edit part with shownText(), and gives it the whole name as
    // its tip when that is shortened; a click in it starts typing.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The box has the focus and hands keys and its menu to the edit.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QRect textRect() const;
    // A key, a click or a menu in the edit that types or moves in its text,
    // rather than picking an entry or leaving.
    static bool startsEditing(const QEvent* event);
    void startEditingOn(const QEvent* event);

    bool editing_ = false;
    PortItemDelegate delegate_;
};

}  // namespace qelisp::qt
