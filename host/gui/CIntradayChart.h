#pragma once

#include <QMargins>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "engine/VelkRecords.h"

class QAreaSeries;
class QCategoryAxis;
class QCheckBox;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QChart;
class QChartView;

// The intraday chart of one stock: the price line, the average price (均价) and, in a pane of
// its own with a scale, the volume of every minute of the day so far; the previous close and the
// limit prices as lines, a percent scale against the previous close on the right, and a marker at
// each of the stock's alerts with its reasons as tooltip. Time is marked at round minutes. A
// crosshair, moved minute by minute with the arrow keys or following the mouse, reads out the
// time, price, average and volume under it. Esc or Ctrl+W closes the window, which opens wholly
// on its screen. Refresh brings it up to date with the quote service's ticks and the engine's
// alert list.
class CIntradayChart final : public QWidget {
    Q_OBJECT
public:
    struct Marker {
        int time = 0;
        double price = 0;
        QString reason;
        bool operator==(const Marker&) const = default;
    };

    // tradeDate is yyyymmdd; the time axis runs from dayStart to dayEnd, seconds since midnight.
    CIntradayChart(unsigned char market, const std::string& code, int tradeDate, int dayStart,
                   int dayEnd, QWidget* parent = nullptr);
    ~CIntradayChart() override;

    unsigned char Market() const { return m_byMarket; }
    const std::string& Code() const { return m_strCode; }

    void Refresh(const CAlertRecordList& alerts);

    // The alerts shown, in the order of the engine's list.
    const std::vector<Marker>& Markers() const { return m_markers; }
    // The trades drawn so far, and the last of their prices.
    int TickCount() const { return static_cast<int>(m_prices.size()); }
    double LastPrice() const { return m_prices.empty() ? 0.0 : m_prices.back().second; }
    // Volume of the minute starting at the given second (a multiple of 60), in shares.
    double MinuteVolume(int minuteStart) const;
    // The average price of the day (money traded over shares traded) after each trade drawn.
    const std::vector<double>& AveragePrices() const { return m_averages; }
    // The time axis: the seconds of its marks and their texts.
    std::vector<int> TimeTicks() const;
    QStringList TimeTickLabels() const;

    // The crosshair stands on a minute that traded: its start (a multiple of 60), or -1 while
    // it is not shown. Steps of -1 and 1 go to the previous and the next such minute; the first
    // step puts it on the last one.
    int CrosshairMinute() const { return m_nCrossMinute; }
    void MoveCrosshair(int steps);
    void SetCrosshairMinute(int minuteStart);
    // The last price, the average price and the volume (shares) of the crosshair's minute.
    double CrosshairPrice() const;
    double CrosshairAverage() const;
    double CrosshairVolume() const;
    // What the crosshair reads out, as shown above the chart.
    QString CrosshairText() const;
    double PrevClose() const { return m_prevClose; }
    double LimitUp() const { return m_limitUp; }
    // The tooltip of the marker nearest to a time and price.
    QString MarkerTip(int time, double price) const;
    QChart* Chart() const { return m_pChart; }
    QChart* VolumeChart() const { return m_pVolumeChart; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Minute {
        double volume = 0; // shares
        double last = 0;
        double average = 0;
    };

    // Keeps the window, frame included, inside the available area of its screen.
    void FitOnScreen();
    void AlignPanes();
    void UpdateCrosshair();
    void ReadFixedItems();
    void ReadNewTicks();
    void UpdateMarkers(const CAlertRecordList& alerts);
    void UpdateVolume();
    void UpdateRanges();
    void UpdateHeader();
    void ShowMarkerTip(const QPointF& point, bool entered);
    static qreal AxisTime(int seconds) { return qreal(seconds); }
    static int SecondsOf(qreal axisTime);
    QCategoryAxis* MakeTimeAxis() const;

    unsigned char m_byMarket;
    std::string m_strCode;
    std::string m_strDate;
    int m_nDayStart;
    int m_nDayEnd;
    QString m_strName;
    int m_nDecimals = 2;
    double m_prevClose = 0;
    double m_limitUp = 0;
    double m_limitDown = 0;
    std::vector<std::pair<int, double>> m_prices; // time, price of every trade
    std::vector<double> m_averages;               // the average price after every trade
    double m_amount = 0;                          // money traded so far
    double m_volume = 0;                          // shares traded so far
    std::map<int, Minute> m_minutes;              // by the minute's start
    std::vector<Marker> m_markers;
    bool m_bVolumeChanged = false;
    int m_nCrossMinute = -1;
    bool m_bPlaced = false;
    // The frame the window was last fitted with; the first fit is made with any frame.
    QMargins m_fittedFrame{-1, -1, -1, -1};

    QChart* m_pChart = nullptr;
    QChartView* m_pView = nullptr;
    QChart* m_pVolumeChart = nullptr;
    QChartView* m_pVolumeView = nullptr;
    QLabel* m_pHeader = nullptr;
    QLabel* m_pCrossInfo = nullptr;
    QCheckBox* m_pShowLimits = nullptr;
    QCategoryAxis* m_pTimeAxis = nullptr;
    QCategoryAxis* m_pVolumeTimeAxis = nullptr;
    QValueAxis* m_pPriceAxis = nullptr;
    QValueAxis* m_pPercentAxis = nullptr;
    QValueAxis* m_pVolumeAxis = nullptr;
    QLineSeries* m_pPriceLine = nullptr;
    QLineSeries* m_pAverageLine = nullptr;
    QLineSeries* m_pCrossVertical = nullptr;
    QLineSeries* m_pCrossHorizontal = nullptr;
    QLineSeries* m_pVolumeCross = nullptr;
    QLineSeries* m_pPrevCloseLine = nullptr;
    QLineSeries* m_pLimitUpLine = nullptr;
    QLineSeries* m_pLimitDownLine = nullptr;
    QLineSeries* m_pRisingBars = nullptr;
    QLineSeries* m_pFallingBars = nullptr;
    QAreaSeries* m_pRisingArea = nullptr;
    QAreaSeries* m_pFallingArea = nullptr;
    QScatterSeries* m_pMarkerSeries = nullptr;
};
