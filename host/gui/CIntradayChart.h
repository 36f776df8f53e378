#pragma once

#include <QString>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "engine/VelkRecords.h"

class QAreaSeries;
class QCheckBox;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QDateTimeAxis;
class QChart;
class QChartView;

// The intraday chart of one stock: the price line and the volume of every minute of the day
// so far, the previous close and the limit prices as lines, and a marker at each of the
// stock's alerts with its reasons as tooltip. Refresh brings it up to date with the quote
// service's ticks and the engine's alert list.
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
    double PrevClose() const { return m_prevClose; }
    double LimitUp() const { return m_limitUp; }
    // The tooltip of the marker nearest to a time and price.
    QString MarkerTip(int time, double price) const;
    QChart* Chart() const { return m_pChart; }

private:
    void ReadFixedItems();
    void ReadNewTicks();
    void UpdateMarkers(const CAlertRecordList& alerts);
    void UpdateVolume();
    void UpdateRanges();
    void UpdateHeader();
    void ShowMarkerTip(const QPointF& point, bool entered);
    qreal AxisTime(int seconds) const;
    int SecondsOf(qreal axisTime) const;

    unsigned char m_byMarket;
    std::string m_strCode;
    std::string m_strDate;
    qint64 m_nMidnightMs = 0;
    int m_nDayStart;
    int m_nDayEnd;
    QString m_strName;
    int m_nDecimals = 2;
    double m_prevClose = 0;
    double m_limitUp = 0;
    double m_limitDown = 0;
    std::vector<std::pair<int, double>> m_prices;       // time, price of every trade
    std::map<int, std::pair<double, double>> m_minutes; // minute start -> volume, last price
    std::vector<Marker> m_markers;
    bool m_bVolumeChanged = false;

    QChart* m_pChart = nullptr;
    QChartView* m_pView = nullptr;
    QLabel* m_pHeader = nullptr;
    QCheckBox* m_pShowLimits = nullptr;
    QDateTimeAxis* m_pTimeAxis = nullptr;
    QValueAxis* m_pPriceAxis = nullptr;
    QValueAxis* m_pVolumeAxis = nullptr;
    QLineSeries* m_pPriceLine = nullptr;
    QLineSeries* m_pPrevCloseLine = nullptr;
    QLineSeries* m_pLimitUpLine = nullptr;
    QLineSeries* m_pLimitDownLine = nullptr;
    QLineSeries* m_pRisingBars = nullptr;
    QLineSeries* m_pFallingBars = nullptr;
    QAreaSeries* m_pRisingArea = nullptr;
    QAreaSeries* m_pFallingArea = nullptr;
    QScatterSeries* m_pMarkerSeries = nullptr;
};
