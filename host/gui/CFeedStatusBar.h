#pragma once

#include <QWidget>

class CLiveFeed;
class QLabel;

// The feed's part of the status bar: where the connection stands (连接中, 实时, 中断，N 秒后重试),
// messages per second and the lag of the newest trade behind the wall clock. A feed silent
// while the market trades shows 行情中断 in red. Hidden while no feed is followed.
class CFeedStatusBar final : public QWidget {
    Q_OBJECT
public:
    explicit CFeedStatusBar(QWidget* parent = nullptr);

    void Show(const CLiveFeed& feed);

private:
    QLabel* m_pState;
    QLabel* m_pRate;
    QLabel* m_pLag;
};
