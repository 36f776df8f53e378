#pragma once

#include <QProgressBar>

// The replay's progress that the user can take hold of: a press or a drag moves the mark
// under the pointer, and letting go asks to seek there.
class CSeekBar final : public QProgressBar {
    Q_OBJECT
public:
    explicit CSeekBar(QWidget* parent = nullptr);

    // While the user drags, the replay's own progress does not move the mark.
    bool IsDragging() const { return m_bDragging; }
    // The value (within the range) under x, in the bar's coordinates.
    int ValueAt(int x) const;

Q_SIGNALS:
    void SeekRequested(int value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_bDragging = false;
};
