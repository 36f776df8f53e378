#pragma once

#include <QStyledItemDelegate>

// Paints a board cell as the item style does — the selection or the cell's background, the text
// in its colour and alignment — without the style's general path for items. That path lays out
// every text for wrapping and eliding, which the board never does, and asks the model for roles it
// does not have: a whole market trading repaints the board several times a second with hundreds
// of figures, and the window takes no input while it paints.
class CQuoteBoardDelegate final : public QStyledItemDelegate {
public:
    explicit CQuoteBoardDelegate(QObject* parent = nullptr);
    ~CQuoteBoardDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
