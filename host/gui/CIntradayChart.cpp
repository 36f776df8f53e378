#include "host/gui/CIntradayChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "hostapi/QuoteItems.h"
#include "platform/core/VelkClockText.h"
#include "platform/qt/QtText.h"

namespace {

const QColor kPriceColour(240, 240, 240);
const QColor kRising(255, 60, 60);
const QColor kFalling(0, 210, 0);
const QColor kMarkerColour(255, 200, 0);

QLineSeries* LevelLine(const QString& name, const QColor& colour)
{
    auto* line = new QLineSeries;
    line->setName(name);
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.2);
    line->setPen(pen);
    return line;
}

QString ClockText(int seconds)
{
    return QString::fromStdString(VelkClockText(seconds));
}

int DecimalsOf(const CString& text)
{
    const std::size_t dot = text.find('.');
    return dot == CString::npos ? 0 : static_cast<int>(text.size() - dot - 1);
}

} // namespace

CIntradayChart::CIntradayChart(unsigned char market, const std::string& code, int tradeDate,
                               int dayStart, int dayEnd, QWidget* parent)
    : QWidget(parent, Qt::Window), m_byMarket(market), m_strCode(code), m_nDayStart(dayStart),
      m_nDayEnd(dayEnd)
{
    char date[16];
    std::snprintf(date, sizeof date, "%08d", tradeDate);
    m_strDate = date;
    const QDate day(tradeDate / 10000, tradeDate / 100 % 100, tradeDate % 100);
    m_nMidnightMs =
        QDateTime(day.isValid() ? day : QDate(2000, 1, 3), QTime(0, 0)).toMSecsSinceEpoch();
    // A day without trades still gets the session's hours on its axis.
    if (m_nDayStart < 0 || m_nDayEnd <= m_nDayStart) {
        m_nDayStart = 9 * 3600 + 30 * 60;
        m_nDayEnd = 15 * 3600;
    }
    ReadFixedItems();

    m_pChart = new QChart;
    m_pChart->setTheme(QChart::ChartThemeDark);
    m_pChart->setBackgroundBrush(Qt::black);
    m_pChart->legend()->setAlignment(Qt::AlignTop);
    m_pChart->setMargins(QMargins(4, 4, 4, 4));

    m_pTimeAxis = new QDateTimeAxis;
    m_pTimeAxis->setFormat(QStringLiteral("HH:mm"));
    m_pTimeAxis->setTickCount(7);
    m_pTimeAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(AxisTime(m_nDayStart))),
                          QDateTime::fromMSecsSinceEpoch(qint64(AxisTime(m_nDayEnd))));
    m_pPriceAxis = new QValueAxis;
    m_pPriceAxis->setLabelFormat(QStringLiteral("%.") + QString::number(m_nDecimals) +
                                 QStringLiteral("f"));
    m_pPriceAxis->setTickCount(7);
    m_pVolumeAxis = new QValueAxis;
    m_pVolumeAxis->setVisible(false);
    m_pChart->addAxis(m_pTimeAxis, Qt::AlignBottom);
    m_pChart->addAxis(m_pPriceAxis, Qt::AlignLeft);
    m_pChart->addAxis(m_pVolumeAxis, Qt::AlignRight);

    m_pRisingBars = new QLineSeries;
    m_pFallingBars = new QLineSeries;
    m_pRisingArea = new QAreaSeries(m_pRisingBars);
    m_pFallingArea = new QAreaSeries(m_pFallingBars);
    // An area series does not own its outline; it goes with the area, which the chart owns.
    m_pRisingBars->setParent(m_pRisingArea);
    m_pFallingBars->setParent(m_pFallingArea);
    for (auto [area, colour] :
         {std::pair{m_pRisingArea, kRising}, std::pair{m_pFallingArea, kFalling}}) {
        area->setName(VelkFromUtf8("成交量"));
        area->setBrush(colour);
        area->setPen(QPen(colour, 0.5));
    }

    m_pPrevCloseLine = LevelLine(VelkFromUtf8("昨收"), QColor(170, 170, 170));
    m_pLimitUpLine = LevelLine(VelkFromUtf8("涨停价"), kRising);
    m_pLimitDownLine = LevelLine(VelkFromUtf8("跌停价"), kFalling);
    m_pPriceLine = new QLineSeries;
    m_pPriceLine->setName(VelkFromUtf8("价格"));
    m_pPriceLine->setPen(QPen(kPriceColour, 1.5));
    m_pMarkerSeries = new QScatterSeries;
    m_pMarkerSeries->setName(VelkFromUtf8("报警"));
    m_pMarkerSeries->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    m_pMarkerSeries->setMarkerSize(11);
    m_pMarkerSeries->setColor(kMarkerColour);
    m_pMarkerSeries->setBorderColor(Qt::black);

    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(m_pRisingArea),
                                    static_cast<QAbstractSeries*>(m_pFallingArea)}) {
        m_pChart->addSeries(series);
        series->attachAxis(m_pTimeAxis);
        series->attachAxis(m_pVolumeAxis);
    }
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(m_pPrevCloseLine),
                                    static_cast<QAbstractSeries*>(m_pLimitUpLine),
                                    static_cast<QAbstractSeries*>(m_pLimitDownLine),
                                    static_cast<QAbstractSeries*>(m_pPriceLine),
                                    static_cast<QAbstractSeries*>(m_pMarkerSeries)}) {
        m_pChart->addSeries(series);
        series->attachAxis(m_pTimeAxis);
        series->attachAxis(m_pPriceAxis);
    }
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(m_pRisingArea),
                                    static_cast<QAbstractSeries*>(m_pFallingArea)})
        for (QLegendMarker* marker : m_pChart->legend()->markers(series))
            marker->setVisible(false);

    const qreal left = AxisTime(m_nDayStart);
    const qreal right = AxisTime(m_nDayEnd);
    if (m_prevClose > 0)
        m_pPrevCloseLine->replace(QList<QPointF>{{left, m_prevClose}, {right, m_prevClose}});
    if (m_limitUp > 0)
        m_pLimitUpLine->replace(QList<QPointF>{{left, m_limitUp}, {right, m_limitUp}});
    if (m_limitDown > 0)
        m_pLimitDownLine->replace(QList<QPointF>{{left, m_limitDown}, {right, m_limitDown}});
    connect(m_pMarkerSeries, &QScatterSeries::hovered, this, &CIntradayChart::ShowMarkerTip);

    m_pView = new QChartView(m_pChart, this);
    m_pView->setRenderHint(QPainter::Antialiasing);
    m_pHeader = new QLabel(this);
    m_pHeader->setTextFormat(Qt::RichText);
    m_pShowLimits = new QCheckBox(VelkFromUtf8("显示涨跌停范围"), this);
    connect(m_pShowLimits, &QCheckBox::toggled, this, [this] { UpdateRanges(); });

    auto* top = new QHBoxLayout;
    top->addWidget(m_pHeader, 1);
    top->addWidget(m_pShowLimits);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(m_pView, 1);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(220, 220, 220));
    setPalette(palette);
    setAutoFillBackground(true);

    setWindowTitle(VelkFromUtf8("分时走势 ") + VelkFromGbk(m_strCode) + QLatin1Char(' ') +
                   m_strName);
    resize(900, 560);
    UpdateRanges();
    UpdateHeader();
}

CIntradayChart::~CIntradayChart() = default;

qreal CIntradayChart::AxisTime(int seconds) const
{
    return qreal(m_nMidnightMs + qint64(seconds) * 1000);
}

int CIntradayChart::SecondsOf(qreal axisTime) const
{
    return static_cast<int>(std::llround((axisTime - qreal(m_nMidnightMs)) / 1000.0));
}

void CIntradayChart::ReadFixedItems()
{
    std::vector<X1Format> values;
    const std::vector<unsigned short> items = {QuoteItem::kName, QuoteItem::kPrevClose,
                                               QuoteItem::kLimitUp, QuoteItem::kLimitDown};
    if (!BK_bGetItemDataByItemNo(m_byMarket, m_strCode, items, values, true, nullptr) ||
        values.size() < items.size())
        return;
    if (values[0].GetKind() != X1Format::kNone)
        m_strName = VelkFromGbk(static_cast<CString>(values[0]));
    m_prevClose = double(values[1]);
    m_limitUp = double(values[2]);
    m_limitDown = double(values[3]);
    if (values[1].GetKind() != X1Format::kNone)
        m_nDecimals = std::max(DecimalsOf(values[1].s_GetAsString()), 2);
}

double CIntradayChart::MinuteVolume(int minuteStart) const
{
    auto it = m_minutes.find(minuteStart);
    return it == m_minutes.end() ? 0.0 : it->second.first;
}

void CIntradayChart::Refresh(const CAlertRecordList& alerts)
{
    const std::size_t before = m_prices.size();
    ReadNewTicks();
    if (m_prices.size() != before) {
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(m_prices.size() - before));
        for (std::size_t i = before; i < m_prices.size(); ++i)
            points.append(QPointF(AxisTime(m_prices[i].first), m_prices[i].second));
        m_pPriceLine->append(points);
    }
    UpdateMarkers(alerts);
    if (m_bVolumeChanged)
        UpdateVolume();
    if (m_prices.size() != before)
        UpdateRanges();
    UpdateHeader();
}

void CIntradayChart::ReadNewTicks()
{
    // Tick history belongs to the level-1 market, as the quote service keeps it.
    const unsigned char level1 = DA_byConvert2Level1ServiceID(m_byMarket);
    const long count = BK_lGetTickerCount(level1, m_strCode, m_strDate, true, true);
    const long have = static_cast<long>(m_prices.size());
    if (count <= have)
        return;
    std::vector<std::vector<X1Format>> rows;
    const long got =
        BK_lGetTickerByStartPos(rows, level1, m_strCode, have, count - have, m_strDate, true, true);
    const std::size_t n =
        std::min<std::size_t>(got > 0 ? static_cast<std::size_t>(got) : 0, rows.size());
    for (std::size_t r = 0; r < n; ++r) {
        int time = -1;
        double price = 0;
        double volume = 0;
        bool hasPrice = false;
        for (const X1Format& value : rows[r]) {
            switch (value.GetItemNo()) {
            case QuoteItem::kLastPrice:
                price = double(value);
                hasPrice = value.GetKind() != X1Format::kNone;
                break;
            case QuoteItem::kTime:
                if (value.GetKind() == X1Format::kTime)
                    time = value.GetHour() * 3600 + value.GetMinute() * 60 + value.GetSecond();
                break;
            case QuoteItem::kVolume:
                volume = double(value);
                break;
            default:
                break;
            }
        }
        // A row the chart cannot place still counts, so it is not asked for again.
        if (!hasPrice || time < 0) {
            m_prices.emplace_back(m_prices.empty() ? m_nDayStart : m_prices.back().first,
                                  m_prices.empty() ? m_prevClose : m_prices.back().second);
            continue;
        }
        m_prices.emplace_back(time, price);
        auto& minute = m_minutes[time - time % 60];
        minute.first += volume;
        minute.second = price;
        m_bVolumeChanged = true;
    }
}

void CIntradayChart::UpdateVolume()
{
    m_bVolumeChanged = false;
    QList<QPointF> rising;
    QList<QPointF> falling;
    double previous = m_prevClose;
    for (const auto& [start, minute] : m_minutes) {
        const double lots = minute.first / 100.0;
        QList<QPointF>& bars = minute.second >= previous ? rising : falling;
        bars.append({AxisTime(start + 6), 0});
        bars.append({AxisTime(start + 6), lots});
        bars.append({AxisTime(start + 54), lots});
        bars.append({AxisTime(start + 54), 0});
        previous = minute.second;
    }
    m_pRisingBars->replace(rising);
    m_pFallingBars->replace(falling);
}

void CIntradayChart::UpdateRanges()
{
    double low = m_prevClose;
    double high = m_prevClose;
    bool any = m_prevClose > 0;
    for (const auto& [time, price] : m_prices) {
        if (!any) {
            low = high = price;
            any = true;
        }
        low = std::min(low, price);
        high = std::max(high, price);
    }
    for (const Marker& marker : m_markers) {
        low = std::min(low, marker.price);
        high = std::max(high, marker.price);
    }
    if (m_pShowLimits->isChecked()) {
        if (m_limitUp > 0)
            high = std::max(high, m_limitUp);
        if (m_limitDown > 0)
            low = m_prevClose > 0 || any ? std::min(low, m_limitDown) : m_limitDown;
    }
    // Centred on the previous close, as intraday charts are drawn, so that rising and falling
    // read at a glance.
    const double centre = m_prevClose > 0 ? m_prevClose : (low + high) / 2.0;
    double reach = std::max(high - centre, centre - low);
    if (reach <= 0)
        reach = centre > 0 ? centre * 0.01 : 1.0;
    const double top = centre + reach * 1.08;
    const double bottom = centre - reach * 1.08;
    // The lower quarter of the plot belongs to the volume bars.
    m_pPriceAxis->setRange(bottom - (top - bottom) / 3.0, top);

    double maxLots = 0;
    for (const auto& [start, minute] : m_minutes)
        maxLots = std::max(maxLots, minute.first / 100.0);
    m_pVolumeAxis->setRange(0, maxLots > 0 ? maxLots * 4.0 : 1.0);
}

void CIntradayChart::UpdateMarkers(const CAlertRecordList& alerts)
{
    std::vector<Marker> markers;
    for (const Ta_ALERTRECORD& alert : alerts) {
        if (alert.m_byMarket != m_byMarket || VelkFieldText(alert.m_szCode) != m_strCode)
            continue;
        Marker marker;
        marker.time = alert.m_nTime;
        marker.price = alert.m_fPrice;
        marker.reason = VelkFromGbk(VelkFieldText(alert.m_szReason));
        markers.push_back(std::move(marker));
    }
    if (markers == m_markers)
        return;
    m_markers = std::move(markers);
    QList<QPointF> points;
    for (const Marker& marker : m_markers)
        points.append({AxisTime(marker.time), marker.price});
    m_pMarkerSeries->replace(points);
    UpdateRanges();
}

QString CIntradayChart::MarkerTip(int time, double price) const
{
    const double tolerance = 0.5 * std::pow(10.0, -m_nDecimals);
    QString tip;
    for (const Marker& marker : m_markers) {
        if (marker.time != time || std::fabs(marker.price - price) > tolerance)
            continue;
        if (!tip.isEmpty())
            tip += QLatin1Char('\n');
        tip += ClockText(marker.time) + QLatin1Char(' ') +
               QString::number(marker.price, 'f', m_nDecimals) + QLatin1Char(' ') + marker.reason;
    }
    return tip;
}

void CIntradayChart::ShowMarkerTip(const QPointF& point, bool entered)
{
    if (!entered) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(QCursor::pos(), MarkerTip(SecondsOf(point.x()), point.y()), m_pView);
}

void CIntradayChart::UpdateHeader()
{
    QString text =
        QStringLiteral("<b>%1 %2</b>").arg(VelkFromGbk(m_strCode), m_strName.toHtmlEscaped());
    if (!m_prices.empty()) {
        const int time = m_prices.back().first;
        const double last = m_prices.back().second;
        QString change;
        QColor colour(220, 220, 220);
        if (m_prevClose > 0) {
            const double delta = last - m_prevClose;
            colour = delta > 0 ? kRising : delta < 0 ? kFalling : colour;
            change = QStringLiteral(" %1%2 (%1%3%)")
                         .arg(delta > 0 ? QStringLiteral("+") : QString())
                         .arg(delta, 0, 'f', m_nDecimals)
                         .arg(delta / m_prevClose * 100.0, 0, 'f', 2);
        }
        text += QStringLiteral("&nbsp;&nbsp;<span style=\"color:%1\">%2%3</span>&nbsp;&nbsp;%4")
                    .arg(colour.name(), QString::number(last, 'f', m_nDecimals), change,
                         ClockText(time));
    }
    text +=
        QStringLiteral("&nbsp;&nbsp;") + VelkFromUtf8("报警 ") + QString::number(m_markers.size());
    m_pHeader->setText(text);
}
