#pragma once

#include <QObject>
#include <functional>
#include <string>

class CVelkAlert;
class QPoint;
class QTableView;
class QWidget;

// 今日静音 on the module's alert list window, from the host's side. The window is the module's
// and stays exactly as it is; the host finds it among its main window's children once the
// module has made it, and a right click on an alert's row offers to mute that alert's stock for
// the trading day (the market monitor keeps the mute in MarketMonitor.cfg).
class CAlertListMuteHook final : public QObject {
    Q_OBJECT
public:
    using EngineGetter = std::function<CVelkAlert*()>;

    // mainWindow owns the module's windows; engine answers the engine of the day in force (null
    // between days).
    CAlertListMuteHook(QWidget* mainWindow, EngineGetter engine);

    // The stock of the alert that a row of the window's list shows, found in the engine's alert
    // list by the row's name, time and reason; false when no record matches.
    static bool StockOfRow(const CVelkAlert& engine, const QTableView& list, int row,
                           unsigned char& market, std::string& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void HookWindows();
    void ShowMenu(QTableView* list, const QPoint& pos);

    QWidget* m_pMainWindow;
    EngineGetter m_engine;
};
