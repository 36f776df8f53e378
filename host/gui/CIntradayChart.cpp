#include "host/gui/CIntradayChart.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
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
const QColor kAverageColour(255, 210, 60);
const QColor kCrossColour(150, 150, 200);
// The volume pane's share of the chart's height.
constexpr int kPriceStretch = 3;
constexpr int kVolumeStretch = 1;

QLineSeries* CrossLine()
{
    auto* line = new QLineSeries;
    QPen pen(kCrossColour);
    pen.setWidthF(1.0);
    pen.setStyle(Qt::DotLine);
    line->setPen(pen);
    return line;
}

void HideFromLegend(QChart* chart, QAbstractSeries* series)
{
    for (QLegendMarker* marker : chart->legend()->markers(series))
        marker->setVisible(false);
}

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

    m_pTimeAxis = MakeTimeAxis();
    m_pPriceAxis = new QValueAxis;
    m_pPriceAxis->setLabelFormat(QStringLiteral("%.") + QString::number(m_nDecimals) +
                                 QStringLiteral("f"));
    m_pPriceAxis->setTickCount(7);
    // The same ticks as the price scale, so that each percent stands beside its price.
    m_pPercentAxis = new QValueAxis;
    m_pPercentAxis->setLabelFormat(QStringLiteral("%.2f%%"));
    m_pPercentAxis->setTickCount(7);
    m_pPercentAxis->setGridLineVisible(false);
    m_pPercentAxis->setVisible(m_prevClose > 0);
    m_pChart->addAxis(m_pTimeAxis, Qt::AlignBottom);
    m_pChart->addAxis(m_pPriceAxis, Qt::AlignLeft);
    m_pChart->addAxis(m_pPercentAxis, Qt::AlignRight);

    m_pVolumeChart = new QChart;
    m_pVolumeChart->setTheme(QChart::ChartThemeDark);
    m_pVolumeChart->setBackgroundBrush(Qt::black);
    m_pVolumeChart->legend()->hide();
    m_pVolumeChart->setMargins(QMargins(4, 0, 4, 4));
    m_pVolumeTimeAxis = MakeTimeAxis();
    m_pVolumeAxis = new QValueAxis;
    m_pVolumeAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_pVolumeAxis->setTickCount(3);
    m_pVolumeChart->addAxis(m_pVolumeTimeAxis, Qt::AlignBottom);
    m_pVolumeChart->addAxis(m_pVolumeAxis, Qt::AlignLeft);

    m_pRisingBars = new QLineSeries;
    m_pFallingBars = new QLineSeries;
    m_pRisingArea = new QAreaSeries(m_pRisingBars);
    m_pFallingArea = new QAreaSeries(m_pFallingBars);
    // An area series does not own its outline; it goes with the area, which the chart owns.
    m_pRisingBars->setParent(m_pRisingArea);
    m_pFallingBars->setParent(m_pFallingArea);
    for (auto [area, colour] :
         {std::pair{m_pRisingArea, kRising}, std::pair{m_pFallingArea, kFalling}}) {
        area->setName(tr("成交量"));
        area->setBrush(colour);
        area->setPen(QPen(colour, 0.5));
    }
    m_pVolumeCross = CrossLine();

    m_pPrevCloseLine = LevelLine(tr("昨收"), QColor(170, 170, 170));
    m_pLimitUpLine = LevelLine(tr("涨停价"), kRising);
    m_pLimitDownLine = LevelLine(tr("跌停价"), kFalling);
    m_pPriceLine = new QLineSeries;
    m_pPriceLine->setName(tr("价格"));
    m_pPriceLine->setPen(QPen(kPriceColour, 1.5));
    m_pAverageLine = new QLineSeries;
    m_pAverageLine->setName(tr("均价"));
    m_pAverageLine->setPen(QPen(kAverageColour, 1.2));
    m_pMarkerSeries = new QScatterSeries;
    m_pMarkerSeries->setName(tr("报警"));
    m_pMarkerSeries->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    m_pMarkerSeries->setMarkerSize(11);
    m_pMarkerSeries->setColor(kMarkerColour);
    m_pMarkerSeries->setBorderColor(Qt::black);
    m_pCrossVertical = CrossLine();
    m_pCrossHorizontal = CrossLine();

    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(m_pRisingArea),
                                    static_cast<QAbstractSeries*>(m_pFallingArea),
                                    static_cast<QAbstractSeries*>(m_pVolumeCross)}) {
        m_pVolumeChart->addSeries(series);
        series->attachAxis(m_pVolumeTimeAxis);
        series->attachAxis(m_pVolumeAxis);
    }
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(m_pPrevCloseLine),
                                    static_cast<QAbstractSeries*>(m_pLimitUpLine),
                                    static_cast<QAbstractSeries*>(m_pLimitDownLine),
                                    static_cast<QAbstractSeries*>(m_pAverageLine),
                                    static_cast<QAbstractSeries*>(m_pPriceLine),
                                    static_cast<QAbstractSeries*>(m_pMarkerSeries),
                                    static_cast<QAbstractSeries*>(m_pCrossVertical),
                                    static_cast<QAbstractSeries*>(m_pCrossHorizontal)}) {
        m_pChart->addSeries(series);
        series->attachAxis(m_pTimeAxis);
        series->attachAxis(m_pPriceAxis);
    }
    HideFromLegend(m_pChart, m_pCrossVertical);
    HideFromLegend(m_pChart, m_pCrossHorizontal);

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
    m_pVolumeView = new QChartView(m_pVolumeChart, this);
    m_pVolumeView->setRenderHint(QPainter::Antialiasing);
    // The window takes the keys; the views would scroll with the arrows.
    for (QChartView* view : {m_pView, m_pVolumeView}) {
        view->setFocusPolicy(Qt::NoFocus);
        view->viewport()->setMouseTracking(true);
        view->viewport()->installEventFilter(this);
    }
    // The volume pane's plot lines up under the price pane's, whatever the widths of their
    // scales.
    connect(m_pChart, &QChart::plotAreaChanged, this, [this] { AlignPanes(); });
    connect(m_pVolumeChart, &QChart::plotAreaChanged, this, [this] { AlignPanes(); });

    m_pHeader = new QLabel(this);
    m_pHeader->setTextFormat(Qt::RichText);
    m_pCrossInfo = new QLabel(this);
    m_pCrossInfo->setObjectName(QStringLiteral("crosshairInfo"));
    m_pShowLimits = new QCheckBox(tr("显示涨跌停范围"), this);
    m_pShowLimits->setFocusPolicy(Qt::NoFocus);
    connect(m_pShowLimits, &QCheckBox::toggled, this, [this] { UpdateRanges(); });

    auto* top = new QHBoxLayout;
    top->addWidget(m_pHeader, 1);
    top->addWidget(m_pShowLimits);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(m_pCrossInfo);
    layout->addWidget(m_pView, kPriceStretch);
    layout->addWidget(m_pVolumeView, kVolumeStretch);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(220, 220, 220));
    setPalette(palette);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    auto shortcut = [this](const QKeySequence& keys, auto action) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
    shortcut(QKeySequence(Qt::Key_Left), [this] { MoveCrosshair(-1); });
    shortcut(QKeySequence(Qt::Key_Right), [this] { MoveCrosshair(1); });

    setWindowTitle(tr("分时走势 ") + VelkFromGbk(m_strCode) + QLatin1Char(' ') + m_strName);
    resize(900, 600);
    UpdateRanges();
    UpdateHeader();
    UpdateCrosshair();
}

CIntradayChart::~CIntradayChart() = default;

int CIntradayChart::SecondsOf(qreal axisTime)
{
    return static_cast<int>(std::llround(axisTime));
}

std::vector<int> CIntradayChart::TimeTicks() const
{
    // The finest round step that leaves at most a dozen marks.
    constexpr int kSteps[] = {5, 10, 15, 30, 60, 120};
    int step = 60 * 60;
    for (int minutes : kSteps) {
        step = minutes * 60;
        if ((m_nDayEnd - m_nDayStart) / step < 12)
            break;
    }
    std::vector<int> ticks;
    for (int t = (m_nDayStart + step - 1) / step * step; t <= m_nDayEnd; t += step)
        ticks.push_back(t);
    return ticks;
}

QStringList CIntradayChart::TimeTickLabels() const
{
    QStringList labels;
    for (int t : TimeTicks())
        labels << QStringLiteral("%1:%2")
                      .arg(t / 3600, 2, 10, QLatin1Char('0'))
                      .arg(t / 60 % 60, 2, 10, QLatin1Char('0'));
    return labels;
}

QCategoryAxis* CIntradayChart::MakeTimeAxis() const
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(AxisTime(m_nDayStart), AxisTime(m_nDayEnd));
    axis->setStartValue(AxisTime(m_nDayStart));
    const std::vector<int> ticks = TimeTicks();
    const QStringList labels = TimeTickLabels();
    for (std::size_t i = 0; i < ticks.size(); ++i)
        axis->append(labels[static_cast<qsizetype>(i)], AxisTime(ticks[i]));
    return axis;
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
    return it == m_minutes.end() ? 0.0 : it->second.volume;
}

void CIntradayChart::Refresh(const CAlertRecordList& alerts)
{
    const std::size_t before = m_prices.size();
    ReadNewTicks();
    if (m_prices.size() != before) {
        QList<QPointF> points;
        QList<QPointF> averages;
        points.reserve(static_cast<qsizetype>(m_prices.size() - before));
        averages.reserve(static_cast<qsizetype>(m_prices.size() - before));
        for (std::size_t i = before; i < m_prices.size(); ++i) {
            points.append(QPointF(AxisTime(m_prices[i].first), m_prices[i].second));
            averages.append(QPointF(AxisTime(m_prices[i].first), m_averages[i]));
        }
        m_pPriceLine->append(points);
        m_pAverageLine->append(averages);
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
            m_averages.push_back(m_averages.empty() ? m_prices.back().second : m_averages.back());
            continue;
        }
        m_prices.emplace_back(time, price);
        m_amount += price * volume;
        m_volume += volume;
        // Before any volume (a row without one) the average is the price itself.
        m_averages.push_back(m_volume > 0 ? m_amount / m_volume : price);
        Minute& minute = m_minutes[time - time % 60];
        minute.volume += volume;
        minute.last = price;
        minute.average = m_averages.back();
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
        const double lots = minute.volume / 100.0;
        QList<QPointF>& bars = minute.last >= previous ? rising : falling;
        bars.append({AxisTime(start + 6), 0});
        bars.append({AxisTime(start + 6), lots});
        bars.append({AxisTime(start + 54), lots});
        bars.append({AxisTime(start + 54), 0});
        previous = minute.last;
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
    for (double average : m_averages) {
        low = std::min(low, average);
        high = std::max(high, average);
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
    m_pPriceAxis->setRange(bottom, top);
    if (m_prevClose > 0)
        m_pPercentAxis->setRange((bottom - m_prevClose) / m_prevClose * 100.0,
                                 (top - m_prevClose) / m_prevClose * 100.0);

    double maxLots = 0;
    for (const auto& [start, minute] : m_minutes)
        maxLots = std::max(maxLots, minute.volume / 100.0);
    m_pVolumeAxis->setRange(0, maxLots > 0 ? maxLots * 1.1 : 1.0);
    // Round figures on the volume scale, as on the price scale's grid.
    m_pVolumeAxis->applyNiceNumbers();
    UpdateCrosshair();
}

void CIntradayChart::AlignPanes()
{
    // Each pane lays itself out; their margins move the volume plot under the price plot. Where
    // the volume scale's figures need more room than the prices', the price pane gives it.
    const QRectF price = m_pChart->plotArea();
    const QRectF volume = m_pVolumeChart->plotArea();
    if (price.width() <= 0 || volume.width() <= 0)
        return;
    const int left = static_cast<int>(std::lround(price.left() - volume.left()));
    const int right = static_cast<int>(std::lround(volume.right() - price.right()));
    if (left == 0 && right == 0)
        return;
    QMargins margins = m_pVolumeChart->margins();
    if (margins.left() + left < 0) {
        QMargins priceMargins = m_pChart->margins();
        priceMargins.setLeft(priceMargins.left() - (margins.left() + left));
        m_pChart->setMargins(priceMargins);
        return;
    }
    margins.setLeft(margins.left() + left);
    margins.setRight(std::max(0, margins.right() + right));
    m_pVolumeChart->setMargins(margins);
}

void CIntradayChart::MoveCrosshair(int steps)
{
    if (m_minutes.empty() || steps == 0)
        return;
    auto it = m_minutes.find(m_nCrossMinute);
    if (it == m_minutes.end()) {
        SetCrosshairMinute(std::prev(m_minutes.end())->first);
        return;
    }
    for (; steps < 0 && it != m_minutes.begin(); ++steps)
        --it;
    for (; steps > 0 && std::next(it) != m_minutes.end(); --steps)
        ++it;
    SetCrosshairMinute(it->first);
}

void CIntradayChart::SetCrosshairMinute(int minuteStart)
{
    m_nCrossMinute = m_minutes.count(minuteStart) ? minuteStart : -1;
    UpdateCrosshair();
}

double CIntradayChart::CrosshairPrice() const
{
    auto it = m_minutes.find(m_nCrossMinute);
    return it == m_minutes.end() ? 0.0 : it->second.last;
}

double CIntradayChart::CrosshairAverage() const
{
    auto it = m_minutes.find(m_nCrossMinute);
    return it == m_minutes.end() ? 0.0 : it->second.average;
}

double CIntradayChart::CrosshairVolume() const
{
    auto it = m_minutes.find(m_nCrossMinute);
    return it == m_minutes.end() ? 0.0 : it->second.volume;
}

QString CIntradayChart::CrosshairText() const
{
    auto it = m_minutes.find(m_nCrossMinute);
    if (it == m_minutes.end())
        return tr("← → 移动十字线    Esc 关闭");
    const Minute& minute = it->second;
    QString text = QStringLiteral("%1:%2")
                       .arg(m_nCrossMinute / 3600, 2, 10, QLatin1Char('0'))
                       .arg(m_nCrossMinute / 60 % 60, 2, 10, QLatin1Char('0')) +
                   tr("  价格 ") + QString::number(minute.last, 'f', m_nDecimals);
    if (m_prevClose > 0) {
        const double percent = (minute.last - m_prevClose) / m_prevClose * 100.0;
        text += QStringLiteral(" (%1%2%)")
                    .arg(percent > 0.005 ? QStringLiteral("+") : QString())
                    .arg(percent, 0, 'f', 2);
    }
    text += tr("  均价 ") + QString::number(minute.average, 'f', m_nDecimals) + tr("  成交量 ") +
            QString::number(std::floor(minute.volume / 100.0), 'f', 0) + tr("手");
    return text;
}

void CIntradayChart::UpdateCrosshair()
{
    m_pCrossInfo->setText(CrosshairText());
    if (m_minutes.find(m_nCrossMinute) == m_minutes.end()) {
        m_pCrossVertical->clear();
        m_pCrossHorizontal->clear();
        m_pVolumeCross->clear();
        return;
    }
    // In the middle of its minute, where the minute's volume bar stands.
    const qreal x = AxisTime(m_nCrossMinute + 30);
    const double price = CrosshairPrice();
    m_pCrossVertical->replace(QList<QPointF>{{x, m_pPriceAxis->min()}, {x, m_pPriceAxis->max()}});
    m_pCrossHorizontal->replace(
        QList<QPointF>{{AxisTime(m_nDayStart), price}, {AxisTime(m_nDayEnd), price}});
    m_pVolumeCross->replace(QList<QPointF>{{x, 0}, {x, m_pVolumeAxis->max()}});
}

void CIntradayChart::FitOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame is known once a window manager has framed the window; until then, room for a
    // usual title bar and border.
    QMargins frame(geometry().left() - frameGeometry().left(),
                   geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(),
                   frameGeometry().bottom() - geometry().bottom());
    if (frame == m_fittedFrame)
        return;
    m_fittedFrame = frame;
    if (frame.isNull())
        frame = QMargins(4, 30, 4, 4);
    const QSize room(available.width() - frame.left() - frame.right(),
                     available.height() - frame.top() - frame.bottom());
    if (width() > room.width() || height() > room.height())
        resize(std::min(width(), room.width()), std::min(height(), room.height()));
    // A window's position is that of its frame.
    const QSize framed(width() + frame.left() + frame.right(),
                       height() + frame.top() + frame.bottom());
    QPoint origin = pos();
    if (!m_bPlaced && parentWidget()) {
        // First shown: over the middle of the window it was opened from.
        origin = parentWidget()->window()->frameGeometry().center() -
                 QPoint(framed.width() / 2, framed.height() / 2);
    }
    const int x = std::clamp(origin.x(), available.left(),
                             std::max(available.left(), available.right() + 1 - framed.width()));
    const int y = std::clamp(origin.y(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - framed.height()));
    move(x, y);
}

void CIntradayChart::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_bPlaced) {
        FitOnScreen();
        m_bPlaced = true;
        // Again once the window manager has put a frame of another size around the window;
        // a size given after the first showing (a picture's) stands otherwise.
        QTimer::singleShot(100, this, [this] { FitOnScreen(); });
    }
    setFocus();
}

bool CIntradayChart::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove &&
        (watched == m_pView->viewport() || watched == m_pVolumeView->viewport())) {
        const bool volume = watched == m_pVolumeView->viewport();
        QChartView* view = volume ? m_pVolumeView : m_pView;
        QChart* chart = volume ? m_pVolumeChart : m_pChart;
        const QPointF scene =
            view->mapToScene(static_cast<QMouseEvent*>(event)->position().toPoint());
        const QPointF point = chart->mapFromScene(scene);
        if (chart->plotArea().contains(point)) {
            const int seconds = SecondsOf(
                chart
                    ->mapToValue(point, volume ? static_cast<QAbstractSeries*>(m_pRisingArea)
                                               : m_pPriceLine)
                    .x());
            // The minute under the mouse, or the last one that traded before it.
            auto it = m_minutes.upper_bound(seconds);
            if (it != m_minutes.begin())
                SetCrosshairMinute(std::prev(it)->first);
        }
    }
    return QWidget::eventFilter(watched, event);
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
    text += QStringLiteral("&nbsp;&nbsp;") + tr("报警 ") + QString::number(m_markers.size());
    m_pHeader->setText(text);
}
