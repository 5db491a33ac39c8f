#pragma once
// The port box: an editable drop-down whose edit part shows the bare port
// name and whose dropped list shows each name with its description beside
// it, in a list as wide as they need. It says when it is about to drop, so
// that the list can be read again first.
#include "ui/main_window_model.h"

#include <QComboBox>
#include <QStyledItemDelegate>

#include <functional>
#include <vector>

namespace qelisp::qt {

// Draws a row of the dropped list: the name, then the description a shade
// lighter, in a column of its own.
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

    void showPopup() override;

private:
    PortItemDelegate delegate_;
};

}  // namespace qelisp::qt
