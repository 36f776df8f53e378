#include "host/gui/CQuoteBoardDelegate.h"

#include <QApplication>
#include <QBrush>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace {

Qt::Alignment AlignmentOf(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<Qt::Alignment>())
        return value.value<Qt::Alignment>();
    if (value.metaType() == QMetaType::fromType<Qt::AlignmentFlag>())
        return value.value<Qt::AlignmentFlag>();
    return value.isValid() ? Qt::Alignment(value.toInt()) : Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

CQuoteBoardDelegate::CQuoteBoardDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

CQuoteBoardDelegate::~CQuoteBoardDelegate() = default;

void CQuoteBoardDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Normal
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    } else {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.canConvert<QBrush>())
            painter->fillRect(option.rect, qvariant_cast<QBrush>(background));
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    QColor colour =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    if (!selected) {
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (foreground.canConvert<QBrush>())
            colour = qvariant_cast<QBrush>(foreground).color();
    }
    // The style keeps as much room on either side of an item's text.
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    painter->save();
    painter->setFont(option.font);
    painter->setPen(colour);
    painter->drawText(option.rect.adjusted(margin, 0, -margin, 0),
                      static_cast<int>(AlignmentOf(index.data(Qt::TextAlignmentRole))) |
                          Qt::TextSingleLine,
                      text);
    painter->restore();
}
