#pragma once

#include <QLabel>
#include <QTimer>

class CAlertFanOut;

// The outputs' state in the main window's status bar: the alerts delivered, those waiting, and
// in red those failed or dropped from a full queue, with each output's counts over it. A robot
// that refuses every alert is seen here rather than found out later. Hidden while no output is
// configured.
class COutputsStatusLabel final : public QLabel {
    Q_OBJECT
public:
    // fanOut must outlive the label.
    explicit COutputsStatusLabel(const CAlertFanOut& fanOut, QWidget* parent = nullptr);

    // Reads the outputs' counts now; a timer does so every second.
    void Refresh();

private:
    const CAlertFanOut& m_fanOut;
    QTimer m_timer;
};
