#include "host/gui/CScreenshots.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <map>

#include "engine/CVelkAlert.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CHistoryWindow.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "host/gui/CReplayController.h"
#include "hostapi/KQBkApi.h"
#include "hostapi/QuoteItems.h"
#include "platform/qt/QtText.h"

namespace {

// Long enough for a window to be laid out and painted once on the offscreen platform.
constexpr int kSettleMs = 150;
// A sheet that does not close (a message box nobody answers) must not keep the run forever.
constexpr int kModalLimitMs = 15000;

void Settle()
{
    QEventLoop loop;
    QTimer::singleShot(kSettleMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void CloseModals()
{
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

void TypeKey(QWidget* target, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

} // namespace

CScreenshots::CScreenshots(CDesktopMainWindow& window, QString folder,
                           const std::atomic<bool>* stop)
    : m_window(window), m_strFolder(std::move(folder)), m_pStop(stop)
{
}

bool CScreenshots::Stopped(QString& error) const
{
    if (!m_pStop || !m_pStop->load())
        return false;
    CloseModals();
    error = QStringLiteral("stopped before every picture was taken");
    return true;
}

bool CScreenshots::Save(const QPixmap& picture, const QString& name, QStringList& written,
                        QString& error) const
{
    if (Stopped(error))
        return false;
    const QString path = QDir(m_strFolder).filePath(name);
    if (picture.isNull() || !picture.save(path, "PNG")) {
        error = QStringLiteral("cannot write ") + path;
        return false;
    }
    written.append(name);
    return true;
}

bool CScreenshots::SaveModalSheet(const std::function<void()>& open, const QString& name,
                                  QStringList& written, QString& error) const
{
    bool ok = true;
    QTimer shoot;
    shoot.setSingleShot(true);
    QObject::connect(&shoot, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        const auto* tabs = modal->findChild<QTabWidget*>();
        // A sheet without pages is not worth a picture.
        if (tabs && tabs->count() > 0)
            ok = Save(modal->grab(), name, written, error);
        CloseModals();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] {
        ok = false;
        error = QStringLiteral("the window for ") + name + QStringLiteral(" did not close");
        CloseModals();
    });
    shoot.start(kSettleMs);
    limit.start(kModalLimitMs);
    open();
    return ok && !Stopped(error);
}

bool CScreenshots::Take(QStringList& written, QString& error)
{
    CReplayController* controller = m_window.Controller();
    CVelkAlert* engine = m_window.Engine();
    if (!engine || !controller->IsAttached()) {
        error = QStringLiteral("no trading day is open");
        return false;
    }
    if (!QDir().mkpath(m_strFolder)) {
        error = QStringLiteral("cannot create ") + m_strFolder;
        return false;
    }
    m_window.resize(kWidth, kHeight);
    m_window.show();

    // The whole day at full speed, through the event loop as on a screen.
    if (controller->GetState() != CReplayController::State::Finished) {
        QEventLoop loop;
        QObject::connect(controller, &CReplayController::StateChanged, &loop,
                         [&loop](CReplayController::State state) {
                             if (state == CReplayController::State::Finished)
                                 loop.quit();
                         });
        controller->SetSpeed(CReplayController::kFastest);
        controller->Play();
        if (!Stopped(error))
            loop.exec();
        // A signal during the replay leaves the loop with the application's quit.
        if (Stopped(error)) {
            controller->Pause();
            return false;
        }
    }
    m_window.RefreshViews();

    // The day's movers on top, the first of them chosen.
    CQuoteBoard* board = m_window.Board();
    board->View()->sortByColumn(CQuoteBoardModel::kChangePercent, Qt::DescendingOrder);
    board->View()->selectRow(0);
    board->View()->setFocus();
    Settle();
    if (!Save(m_window.grab(), QStringLiteral("main-window.png"), written, error))
        return false;

    m_window.ShowAlertList();
    Settle();
    QWidget* alertList = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == VelkFromUtf8("报警列表"))
            alertList = widget;
    if (alertList && !Save(alertList->grab(), QStringLiteral("alert-list.png"), written, error))
        return false;
    m_window.HideAlertList();

    // The chart shows most when its stock reached a limit price: the limit line is then on
    // the chart too. Among those, or else among all, the stock with the most alerts.
    std::map<std::pair<unsigned char, std::string>, int> alertsPerStock;
    for (const Ta_ALERTRECORD& alert : engine->GetAlertRecords())
        ++alertsPerStock[{alert.m_byMarket, VelkFieldText(alert.m_szCode)}];
    auto reachedLimit = [](const std::pair<unsigned char, std::string>& stock) {
        std::vector<X1Format> values;
        if (!BK_bGetItemDataByItemNo(stock.first, stock.second,
                                     {QuoteItem::kDayHigh, QuoteItem::kDayLow, QuoteItem::kLimitUp,
                                      QuoteItem::kLimitDown},
                                     values, true, nullptr) ||
            values.size() < 4)
            return false;
        const double high = values[0], low = values[1], up = values[2], down = values[3];
        return (up > 0 && high >= up) || (down > 0 && low > 0 && low <= down);
    };
    auto most = alertsPerStock.end();
    bool mostAtLimit = false;
    for (auto it = alertsPerStock.begin(); it != alertsPerStock.end(); ++it) {
        const bool atLimit = reachedLimit(it->first);
        if (most == alertsPerStock.end() || (atLimit && !mostAtLimit) ||
            (atLimit == mostAtLimit && it->second > most->second)) {
            most = it;
            mostAtLimit = atLimit;
        }
    }
    if (most != alertsPerStock.end()) {
        if (CIntradayChart* chart = m_window.OpenChart(most->first.first, most->first.second)) {
            chart->resize(kChartWidth, kChartHeight);
            Settle();
            const bool saved = Save(chart->grab(), QStringLiteral("chart.png"), written, error);
            chart->close();
            if (!saved)
                return false;
        }
    }

    if (!SaveModalSheet([this] { m_window.OpenSettings(); }, QStringLiteral("settings.png"),
                        written, error))
        return false;
    if (!SaveModalSheet([this] { m_window.OpenRatioSettings(); },
                        QStringLiteral("ratio-settings.png"), written, error))
        return false;

    // The wizard is a window of its own over the board; the picture puts the two together.
    TypeKey(board->View(), Qt::Key_6, QStringLiteral("6"));
    Settle();
    if (Stopped(error))
        return false;
    if (CBoardKeyWizzard* wizard = board->Wizard()) {
        for (const char digit : {'0', '0', '1'})
            TypeKey(wizard, Qt::Key_0 + (digit - '0'), QString(QLatin1Char(digit)));
        Settle();
        QPixmap picture = m_window.grab();
        QPainter painter(&picture);
        painter.drawPixmap(wizard->mapToGlobal(QPoint(0, 0)) - m_window.mapToGlobal(QPoint(0, 0)),
                           wizard->grab());
        painter.end();
        wizard->hide();
        if (!Save(picture, QStringLiteral("keyboard-wizard.png"), written, error))
            return false;
    }

    if (m_pHistory) {
        // The day's last frame is written before the window reads the rows; the window's
        // dates are those around the day replayed, not the machine's.
        m_pHistory->WaitWritten();
        const CTradingDay* day = m_window.Session().Day();
        const QDate date =
            day ? QDate::fromString(QString::number(day->TradeDate()), QStringLiteral("yyyyMMdd"))
                : QDate::currentDate();
        CHistoryWindow history(*m_pHistory, &m_window, [date] { return date; });
        history.show();
        Settle();
        const bool saved = Save(history.grab(), QStringLiteral("history.png"), written, error);
        history.close();
        if (!saved)
            return false;
    }
    return true;
}
