#include "host/gui/CSeekBar.h"

#include <QMouseEvent>
#include <algorithm>

CSeekBar::CSeekBar(QWidget* parent) : QProgressBar(parent)
{
    setCursor(Qt::PointingHandCursor);
}

int CSeekBar::ValueAt(int x) const
{
    const int span = std::max(1, width() - 1);
    const double share = std::clamp(double(x) / double(span), 0.0, 1.0);
    return minimum() + static_cast<int>(share * (maximum() - minimum()) + 0.5);
}

void CSeekBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QProgressBar::mousePressEvent(event);
        return;
    }
    m_bDragging = true;
    setValue(ValueAt(event->position().toPoint().x()));
    event->accept();
}

void CSeekBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging) {
        QProgressBar::mouseMoveEvent(event);
        return;
    }
    setValue(ValueAt(event->position().toPoint().x()));
    event->accept();
}

void CSeekBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_bDragging || event->button() != Qt::LeftButton) {
        QProgressBar::mouseReleaseEvent(event);
        return;
    }
    m_bDragging = false;
    const int value = ValueAt(event->position().toPoint().x());
    setValue(value);
    event->accept();
    Q_EMIT SeekRequested(value);
}
