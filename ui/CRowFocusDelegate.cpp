#include "ui/CRowFocusDelegate.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QTableView>

CRowFocusDelegate::CRowFocusDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

CRowFocusDelegate::~CRowFocusDelegate() = default;

void CRowFocusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem cell(option);
    cell.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, cell, index);

    const auto* view = qobject_cast<const QTableView*>(option.widget);
    if (!view)
        return;
    const QModelIndex current = view->currentIndex();
    const bool focused = view->hasFocus() || view->viewport()->hasFocus();
    if (!focused || !current.isValid() || current.row() != index.row() ||
        current.parent() != index.parent())
        return;

    // Each cell draws its share of the row's frame: the frame is laid over the whole row and cut
    // to the cell, so the pieces join up whatever the column widths.
    const QHeaderView* columns = view->horizontalHeader();
    QStyleOptionFocusRect frame;
    frame.QStyleOption::operator=(option);
    frame.rect =
        QRect(-columns->offset(), option.rect.top(), columns->length(), option.rect.height());
    frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    frame.backgroundColor = option.palette.color(
        group, (option.state & QStyle::State_Selected) ? QPalette::Highlight : QPalette::Window);
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, option.widget);
    painter->restore();
}
