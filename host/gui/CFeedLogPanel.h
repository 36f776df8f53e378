#pragma once

#include <QDockWidget>

#include "host/feed/CFeedRunner.h"

class QLabel;
class QTreeWidget;

// A dock of the feed's skipped lines: the first few of each kind with the line number and why,
// and how many were skipped in all.
class CFeedLogPanel final : public QDockWidget {
    Q_OBJECT
public:
    explicit CFeedLogPanel(QWidget* parent = nullptr);

    void Add(CFeedRunner::Fault fault, long line, const QString& why);
    void SetTotal(long long skipped);
    void Clear();
    int Rows() const;

private:
    QTreeWidget* m_pList;
    QLabel* m_pTotal;
};
