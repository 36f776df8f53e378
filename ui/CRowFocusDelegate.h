#pragma once

#include <QStyledItemDelegate>

// Paints the cells of a table view whose rows are selected whole: the keyboard focus is shown
// as one frame round the current row, as the platform's report lists show it, never round the
// single cell that happens to be current.
class CRowFocusDelegate final : public QStyledItemDelegate {
public:
    explicit CRowFocusDelegate(QObject* parent = nullptr);
    ~CRowFocusDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
