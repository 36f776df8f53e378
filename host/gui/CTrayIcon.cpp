#include "host/gui/CTrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimeZone>

#include "host/outputs/CDesktopNotifier.h"

CTrayIcon::CTrayIcon(CDesktopNotifier& notifier, Clock clock, QObject* parent)
    : QObject(parent), m_notifier(notifier), m_clock(std::move(clock))
{
    m_pIcon = new QSystemTrayIcon(this);
    m_pMenu = new QMenu;
    m_pActShow = m_pMenu->addAction(tr("显示窗口"));
    m_pMenu->addSeparator();
    QMenu* pause = m_pMenu->addMenu(tr("暂停通知"));
    m_pActPause15 = pause->addAction(tr("15 分钟"));
    m_pActPauseHour = pause->addAction(tr("1 小时"));
    m_pActPauseTomorrow = pause->addAction(tr("直到明天"));
    m_pActResume = m_pMenu->addAction(tr("恢复通知"));
    m_pMenu->addSeparator();
    m_pActQuit = m_pMenu->addAction(tr("退出"));
    m_pIcon->setContextMenu(m_pMenu);

    connect(m_pActShow, &QAction::triggered, this, &CTrayIcon::ShowWindowRequested);
    connect(m_pActQuit, &QAction::triggered, this, &CTrayIcon::QuitRequested);
    connect(m_pActPause15, &QAction::triggered, this,
            [this] { PauseNotifications(Pause::Minutes15); });
    connect(m_pActPauseHour, &QAction::triggered, this,
            [this] { PauseNotifications(Pause::Hour); });
    connect(m_pActPauseTomorrow, &QAction::triggered, this,
            [this] { PauseNotifications(Pause::UntilTomorrow); });
    connect(m_pActResume, &QAction::triggered, this, &CTrayIcon::ResumeNotifications);
    // The pause ends by the clock; the menu says so when it is opened.
    connect(m_pMenu, &QMenu::aboutToShow, this, &CTrayIcon::UpdatePauseState);
    connect(m_pIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT ShowWindowRequested();
            });
    connect(m_pIcon, &QSystemTrayIcon::messageClicked, this, &CTrayIcon::ShowWindowRequested);
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(200);
    connect(&m_repaint, &QTimer::timeout, this, &CTrayIcon::UpdateIcon);
    UpdateIcon();
    UpdatePauseState();
}

CTrayIcon::~CTrayIcon()
{
    delete m_pMenu;
}

bool CTrayIcon::TrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::Show()
{
    m_pIcon->show();
}

bool CTrayIcon::IsShown() const
{
    return m_pIcon->isVisible();
}

void CTrayIcon::AddUnseen(int count)
{
    if (count <= 0)
        return;
    m_nUnseen += count;
    if (!m_repaint.isActive())
        m_repaint.start();
}

void CTrayIcon::ClearUnseen()
{
    if (m_nUnseen == 0)
        return;
    m_nUnseen = 0;
    m_repaint.stop();
    UpdateIcon();
}

QDateTime CTrayIcon::PauseEnd(Pause pause, const QDateTime& now)
{
    switch (pause) {
    case Pause::Minutes15:
        return now.addSecs(15 * 60);
    case Pause::Hour:
        return now.addSecs(3600);
    case Pause::UntilTomorrow:
        return QDateTime(now.date().addDays(1), QTime(0, 0), now.timeZone());
    }
    return now;
}

void CTrayIcon::PauseNotifications(Pause pause)
{
    m_notifier.PauseUntil(PauseEnd(pause, Now()));
    UpdatePauseState();
}

void CTrayIcon::ResumeNotifications()
{
    m_notifier.PauseUntil(QDateTime());
    UpdatePauseState();
}

QAction* CTrayIcon::PauseAction(Pause pause) const
{
    switch (pause) {
    case Pause::Minutes15:
        return m_pActPause15;
    case Pause::Hour:
        return m_pActPauseHour;
    case Pause::UntilTomorrow:
        return m_pActPauseTomorrow;
    }
    return nullptr;
}

QString CTrayIcon::ToolTip() const
{
    QString tip = QStringLiteral("velk-host");
    if (m_nUnseen > 0)
        tip += QLatin1Char('\n') + tr("%1 条报警未查看").arg(m_nUnseen);
    if (m_notifier.IsPaused())
        tip += QLatin1Char('\n') + tr("通知已暂停");
    return tip;
}

void CTrayIcon::ShowMessage(const QString& title, const QString& body, bool critical)
{
    m_pIcon->showMessage(title, body,
                         critical ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

void CTrayIcon::UpdateIcon()
{
    QPixmap pixmap = QApplication::windowIcon().pixmap(64, 64);
    if (pixmap.isNull()) {
        pixmap = QPixmap(64, 64);
        pixmap.fill(QColor(200, 30, 30));
    }
    if (m_nUnseen > 0) {
        const QString count = m_nUnseen > 99 ? QStringLiteral("99+") : QString::number(m_nUnseen);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF badge(pixmap.width() - 40, 0, 40, 30);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(230, 0, 0));
        painter.drawRoundedRect(badge, 14, 14);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(count.size() > 2 ? 15 : 20);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, count);
    }
    m_pIcon->setIcon(QIcon(pixmap));
    m_pIcon->setToolTip(ToolTip());
}

void CTrayIcon::UpdatePauseState()
{
    m_pActResume->setEnabled(m_notifier.IsPaused());
    m_pIcon->setToolTip(ToolTip());
}
