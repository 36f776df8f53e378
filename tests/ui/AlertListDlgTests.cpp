#include <QAbstractItemModelTester>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>

#include <algorithm>
#include <random>

#include "platform/core/VelkFile.h"
#include "platform/qt/QtText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CAlertListDlg.h"
#include "ui/CAlertListModel.h"

namespace {

QString Utf8(const char* text)
{
    return QString::fromUtf8(text);
}

// Keeps the rectangle of every focus frame drawn with it.
class CFocusFrameProbe final : public QProxyStyle {
public:
    CFocusFrameProbe() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_FrameFocusRect)
            m_frames.push_back(option->rect);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    mutable std::vector<QRect> m_frames;
};

class AlertListDlgTest : public ::testing::Test {
protected:
    AlertListDlgTest() : m_backend(m_store), m_boxes(m_recorder), m_main(&m_mainWindow)
    {
        m_store.SetTradeDate(20211201);
    }

    std::unique_ptr<CAlertListDlg> MakeDialog()
    {
        return std::make_unique<CAlertListDlg>(&m_alerts, &m_prices, &m_mainWindow);
    }

    QString Cell(CAlertListDlg& dlg, int row, int column)
    {
        return dlg.Model()->index(row, column).data().toString();
    }

    void ClickRow(CAlertListDlg& dlg, int row)
    {
        QTableView* list = dlg.ListControl();
        QRect rect = list->visualRect(dlg.Model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    // What the platform delivers for a double click: press, release, double click, release.
    static void DoubleClick(QTableView* list, QPoint at)
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    CScopedWorkDir m_dir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend;
    CScriptedMessageBox m_recorder;
    CScopedMessageBoxService m_boxes;
    CRecordingMainWindow m_mainWindow;
    CScopedMainWindow m_main;
    CAlertRecordList m_alerts;
    std::vector<Ta_VELKPRICEALERT> m_prices;
};

TEST(AlertListFonts, SimplifiedChineseFontIsInstalled)
{
    // Without one every Chinese text renders as empty boxes, and nothing else would notice.
    const QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    ASSERT_FALSE(families.isEmpty());
    // The template's "宋体" resolves to one of them.
    CAlertListDlg dlg(nullptr, nullptr);
    EXPECT_TRUE(families.contains(QFontInfo(dlg.font()).family()))
        << QFontInfo(dlg.font()).family().toStdString();
}

TEST_F(AlertListDlgTest, CellsAreFormattedAlignedAndColoured)
{
    m_alerts = {MakeRecord(1, "600000", 34200, 10.5f, 123456.0f, "浦发银行", "达到上限价"),
                MakeRecord(1, "600001", 86399, 0.004f, 49.0f)};
    auto dlg = MakeDialog();
    dlg->FillAlertList();
    ASSERT_EQ(dlg->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(*dlg, 0, 0), Utf8("股票"));
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("23:59:59"));
    EXPECT_EQ(Cell(*dlg, 1, 0), Utf8("浦发银行"));
    EXPECT_EQ(Cell(*dlg, 1, 1), QStringLiteral("09:30:00"));
    EXPECT_EQ(Cell(*dlg, 1, 2), QStringLiteral("10.50"));
    EXPECT_EQ(Cell(*dlg, 1, 3), QStringLiteral("1235"));
    EXPECT_EQ(Cell(*dlg, 1, 4), Utf8("达到上限价"));
    EXPECT_EQ(Cell(*dlg, 0, 2), QStringLiteral("0.004"));
    EXPECT_EQ(Cell(*dlg, 0, 3), QStringLiteral("0"));
    // Three decimals only for a price that has a third one (funds and ETFs).
    const std::pair<float, const char*> prices[] = {
        {10.0f, "10.00"},        {2.344f, "2.344"},       {2.345f, "2.345"}, {2.35f, "2.35"},
        {12345.67f, "12345.67"}, {99999.99f, "99999.99"}, {0.0005f, "0.001"}};
    for (const auto& [price, text] : prices)
        EXPECT_EQ(CAlertListModel::PriceText(price), QLatin1String(text)) << price;

    const char* headers[] = {"股票名称", "时间", "价格", "成交量", "预警原因"};
    const int widths[] = {80, 60, 60, 60, 100};
    const bool left[] = {true, false, false, false, true};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(dlg->Model()->headerData(c, Qt::Horizontal).toString(), Utf8(headers[c]));
        EXPECT_EQ(dlg->ListControl()->columnWidth(c), widths[c]);
        auto align = dlg->Model()->index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(bool(align & Qt::AlignLeft), left[c]) << c;
        EXPECT_EQ(bool(align & Qt::AlignRight), !left[c]) << c;
    }
    EXPECT_EQ(dlg->Model()->index(0, 2).data(Qt::ForegroundRole).value<QBrush>().color(),
              QColor(255, 0, 0));
    EXPECT_EQ(dlg->Model()->index(0, 2).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(0, 0, 0));
    EXPECT_EQ(dlg->ListControl()->palette().color(QPalette::Base), QColor(0, 0, 0));
    EXPECT_EQ(dlg->ListControl()->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(AlertListDlgTest, TheFocusFrameGoesRoundTheWholeCurrentRow)
{
    m_alerts = {MakeRecord(1, "600000", 36001), MakeRecord(1, "600001", 36000)};
    CFocusFrameProbe probe;
    auto dlg = MakeDialog();
    QTableView* list = dlg->ListControl();
    list->setStyle(&probe);
    dlg->show();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    const int rowWidth = list->horizontalHeader()->length();
    for (int column : {0, 2, 4}) {
        list->selectionModel()->setCurrentIndex(dlg->Model()->index(1, column),
                                                QItemSelectionModel::NoUpdate);
        probe.m_frames.clear();
        list->viewport()->repaint();
        ASSERT_FALSE(probe.m_frames.empty()) << column;
        const QRect row = list->visualRect(dlg->Model()->index(1, 0));
        for (const QRect& frame : probe.m_frames)
            EXPECT_EQ(frame, QRect(0, row.top(), rowWidth, row.height())) << column;
    }
}

TEST_F(AlertListDlgTest, NameCutInsideADoubleByteCharacterShowsOnlyWholeCharacters)
{
    Ta_ALERTRECORD record = MakeRecord(1, "600000", 36000);
    std::string gbk = TextCodec::Utf8ToGbk("浦发");
    gbk += gbk[0]; // the lead byte of a third character, cut off
    VelkCopyText(record.m_szName, gbk);
    m_alerts = {record};
    auto dlg = MakeDialog();
    dlg->FillAlertList();
    EXPECT_EQ(Cell(*dlg, 0, 0), Utf8("浦发"));
}

TEST_F(AlertListDlgTest, ControlsCarryTheirTemplateIdsAndTexts)
{
    auto dlg = MakeDialog();
    EXPECT_EQ(dlg->windowTitle(), Utf8("报警列表"));
    EXPECT_EQ(dlg->Control(1108), dlg->ListControl());
    struct {
        int id;
        const char* text;
    } buttons[] = {{2, "关  闭"}, {1110, "设  置"}, {1106, "分  析"}};
    for (const auto& b : buttons) {
        auto* button = qobject_cast<QPushButton*>(dlg->Control(b.id));
        ASSERT_NE(button, nullptr) << b.id;
        EXPECT_EQ(button->text(), Utf8(b.text));
        EXPECT_TRUE(button->inherits("CXPButton"));
        EXPECT_EQ(button->font(), dlg->ListControl()->font());
    }
}

TEST(AlertListImages, StripIsSixteenPixelsWithTheMaskColourTransparent)
{
    const QImage strip = CAlertListDlg::LoadImageStrip().toImage();
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(strip.height(), 16);
    EXPECT_EQ(strip.width() % 16, 0);
    EXPECT_EQ(qAlpha(strip.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(strip.pixel(7, 1)), 255);
}

TEST_F(AlertListDlgTest, ListShowsNineAndAQuarterRows)
{
    m_alerts = {MakeRecord(1, "600000", 100)};
    for (bool empty : {true, false}) {
        CAlertRecordList none;
        CAlertListDlg dlg(empty ? &none : &m_alerts, &m_prices, &m_mainWindow);
        dlg.FillAlertList();
        const int h = dlg.ListControl()->verticalHeader()->defaultSectionSize();
        EXPECT_GE(h, 16);
        EXPECT_EQ(dlg.ListControl()->height(), 9 * h + h / 4);
        if (!empty) {
            EXPECT_EQ(dlg.ListControl()->rowHeight(0), h);
        }
    }
}

TEST_F(AlertListDlgTest, FillSortsTheEngineListLatestFirstInPlace)
{
    for (bool laterFirst : {true, false}) {
        Ta_ALERTRECORD a = MakeRecord(1, "A", 36000), b = MakeRecord(1, "B", 35999);
        m_alerts = laterFirst ? CAlertRecordList{a, b} : CAlertRecordList{b, a};
        std::filesystem::remove_all(m_dir.AlertDir());
        auto dlg = MakeDialog();
        dlg->show();
        ASSERT_EQ(dlg->Model()->rowCount(), 2);
        EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("10:00:00"));
        EXPECT_EQ(Cell(*dlg, 1, 1), QStringLiteral("09:59:59"));
        EXPECT_EQ(VelkFieldText(m_alerts[0].m_szCode), "A");
    }
}

TEST_F(AlertListDlgTest, FillWithoutThePriceListShowsNoRowsAndLeavesTheOrder)
{
    m_alerts = {MakeRecord(1, "A", 1), MakeRecord(1, "B", 2)};
    CAlertListDlg dlg(&m_alerts, nullptr, &m_mainWindow);
    dlg.FillAlertList();
    EXPECT_EQ(dlg.Model()->rowCount(), 0);
    EXPECT_EQ(VelkFieldText(m_alerts[0].m_szCode), "A");
}

TEST_F(AlertListDlgTest, InsertPutsTheEnginesNewFrontRecordOnTop)
{
    m_alerts = {MakeRecord(1, "OLD", 40000)};
    auto dlg = MakeDialog();
    dlg->FillAlertList();
    QAbstractItemModelTester tester(dlg->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    Ta_ALERTRECORD fresh = MakeRecord(2, "NEW", 30000);
    m_alerts.push_front(fresh);
    dlg->InsertAlertItem(fresh);
    QTRY_COMPARE(dlg->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("08:20:00"));
    EXPECT_EQ(Cell(*dlg, 1, 1), QStringLiteral("11:06:40"));
    // Showing again puts the rows back in time order.
    dlg->show();
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("11:06:40"));
    dlg->ClearAlertList();
    EXPECT_EQ(dlg->Model()->rowCount(), 0);
    EXPECT_TRUE(m_alerts.empty());
}

TEST_F(AlertListDlgTest, DayFileSizesDecideTheRecordCount)
{
    const std::vector<Ta_ALERTRECORD> stored = {MakeRecord(1, "F1", 100), MakeRecord(1, "F2", 200)};
    ASSERT_TRUE(VelkCreateDirectories(m_dir.AlertDir()));
    const std::string damaged = m_dir.DayFile("20211201") + ".damaged";
    for (std::size_t extra : {0u, 10u, 124u}) {
        const std::string original = RecordsBytes(stored) + std::string(extra, 'x');
        ASSERT_TRUE(VelkReplaceFile(m_dir.DayFile("20211201"), original));
        m_alerts = {MakeRecord(1, "MEM", 300)};
        {
            auto dlg = MakeDialog();
            ASSERT_EQ(m_alerts.size(), 3u) << extra;
            EXPECT_EQ(VelkFieldText(m_alerts[1].m_szCode), "F1");
            EXPECT_EQ(VelkFieldText(m_alerts[2].m_szCode), "F2");
            EXPECT_EQ(std::memcmp(&m_alerts[2], &stored[1], sizeof(Ta_ALERTRECORD)), 0);
        }
        // Written back whole, without the trailing bytes; the damaged original is kept beside
        // it, and a copy kept earlier is not overwritten by a later one.
        std::string bytes;
        ASSERT_TRUE(VelkReadFile(m_dir.DayFile("20211201"), bytes));
        EXPECT_EQ(bytes.size(), 3 * sizeof(Ta_ALERTRECORD));
        std::string kept;
        EXPECT_EQ(VelkReadFile(damaged, kept), extra != 0) << extra;
        if (extra != 0) {
            EXPECT_EQ(kept, RecordsBytes(stored) + std::string(10, 'x')) << extra;
        }
    }
}

TEST_F(AlertListDlgTest, UnterminatedTextsOfADayFileEndInsideTheirFields)
{
    Ta_ALERTRECORD damaged = MakeRecord(1, "F1", 100);
    std::memset(damaged.m_szCode, '6', sizeof damaged.m_szCode);
    std::memset(damaged.m_szName, 'n', sizeof damaged.m_szName);
    std::memset(damaged.m_szReason, 'r', sizeof damaged.m_szReason);
    ASSERT_TRUE(VelkCreateDirectories(m_dir.AlertDir()));
    ASSERT_TRUE(VelkReplaceFile(m_dir.DayFile("20211201"), RecordsBytes({damaged})));
    m_alerts.clear();
    auto dlg = MakeDialog();
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(std::strlen(m_alerts[0].m_szCode), 11u);
    EXPECT_EQ(std::strlen(m_alerts[0].m_szName), 49u);
    EXPECT_EQ(std::strlen(m_alerts[0].m_szReason), 49u);
    dlg->FillAlertList();
    EXPECT_EQ(Cell(*dlg, 0, 0), QString(49, QLatin1Char('n')));
}

TEST_F(AlertListDlgTest, DestructionCreatesTheDirectoryAndWritesTheListInItsOrder)
{
    // Two records, and more than three of the pieces the file is written in.
    for (int count : {2, 3 * 512 + 7}) {
        std::filesystem::remove_all(m_dir.AlertDir());
        m_alerts.clear();
        for (int i = 0; i < count; ++i)
            m_alerts.push_back(MakeRecord(1, std::to_string(i), 50000 - i));
        const std::vector<Ta_ALERTRECORD> expected(m_alerts.begin(), m_alerts.end());
        MakeDialog().reset();
        std::string bytes;
        ASSERT_TRUE(VelkReadFile(m_dir.DayFile("20211201"), bytes));
        EXPECT_TRUE(bytes == RecordsBytes(expected)) << count;
    }
}

TEST_F(AlertListDlgTest, UnsetTradingDateUsesTheZeroFileName)
{
    m_store.SetTradeDate(0);
    m_alerts = {MakeRecord(1, "A", 100)};
    MakeDialog().reset();
    EXPECT_TRUE(VelkFileExists(m_dir.DayFile("00000000")));
}

TEST_F(AlertListDlgTest, ClearLeavesAnEmptyDayFile)
{
    m_alerts = {MakeRecord(1, "A", 100)};
    {
        auto dlg = MakeDialog();
        dlg->ClearAlertList();
    }
    std::string bytes = "x";
    ASSERT_TRUE(VelkReadFile(m_dir.DayFile("20211201"), bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(AlertListDlgTest, AnalyseWithoutSelectionWarnsAndSendsNothing)
{
    m_alerts = {MakeRecord(1, "600000", 100)};
    auto dlg = MakeDialog();
    dlg->show();
    QTest::mouseClick(dlg->Control(1106), Qt::LeftButton);
    ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
    EXPECT_EQ(m_recorder.m_boxes[0].text, "请选择一个报警信号!");
    EXPECT_EQ(m_recorder.m_boxes[0].caption, "警告");
    EXPECT_EQ(m_recorder.m_boxes[0].flags, VelkMsgBox::kIconExclamation);
    EXPECT_TRUE(m_mainWindow.m_received.empty());
}

TEST_F(AlertListDlgTest, AnalyseAndDoubleClickSendTheChosenStock)
{
    m_alerts = {MakeRecord(1, "600000", 200), MakeRecord(2, "000001", 100)};
    auto dlg = MakeDialog();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    const int analyse = VelkRegisterWindowMessage("MSG_ANALYSE");

    ClickRow(*dlg, 1);
    QTest::mouseClick(dlg->Control(1106), Qt::LeftButton);
    ASSERT_EQ(m_mainWindow.m_received.size(), 1u);
    EXPECT_EQ(m_mainWindow.m_received[0].message, analyse);
    EXPECT_EQ(m_mainWindow.m_received[0].wParam, 0u);
    EXPECT_EQ(m_mainWindow.m_received[0].symbol, CSymbolInfo(2, "000001"));

    QTableView* list = dlg->ListControl();
    QRect row0 = list->visualRect(dlg->Model()->index(0, 3));
    DoubleClick(list, row0.center());
    ASSERT_EQ(m_mainWindow.m_received.size(), 2u);
    EXPECT_EQ(m_mainWindow.m_received[1].symbol, CSymbolInfo(1, "600000"));

    // Below the last row there is nothing to analyse.
    DoubleClick(list, QPoint(10, list->viewport()->height() - 2));
    EXPECT_EQ(m_mainWindow.m_received.size(), 2u);
    EXPECT_TRUE(m_recorder.m_boxes.empty());
}

TEST_F(AlertListDlgTest, SettingsPostsCommand668)
{
    auto dlg = MakeDialog();
    dlg->show();
    QTest::mouseClick(dlg->Control(1110), Qt::LeftButton);
    EXPECT_TRUE(m_mainWindow.m_received.empty()); // posted, not sent
    // QTRY_* report to QTest, which GoogleTest never hears: a timeout would pass silently.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_mainWindow.m_received.size() == 1; }));
    EXPECT_EQ(m_mainWindow.m_received[0].message, VelkCommandMessage());
    EXPECT_EQ(m_mainWindow.m_received[0].wParam, 668u);
    EXPECT_EQ(m_mainWindow.m_received[0].lParam, 0);
}

TEST_F(AlertListDlgTest, WithoutMainWindowNothingIsSent)
{
    m_alerts = {MakeRecord(1, "600000", 200)};
    auto dlg = std::make_unique<CAlertListDlg>(&m_alerts, &m_prices, nullptr);
    VelkSetMainWindow(nullptr);
    dlg->show();
    ClickRow(*dlg, 0);
    QTest::mouseClick(dlg->Control(1106), Qt::LeftButton);
    QTest::mouseClick(dlg->Control(1110), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_mainWindow.m_received.empty());
    EXPECT_TRUE(m_recorder.m_boxes.empty());
}

TEST_F(AlertListDlgTest, CloseHidesAndShowingAgainRefreshesFromTheEngine)
{
    m_alerts = {MakeRecord(1, "A", 100)};
    auto dlg = MakeDialog();
    QPointer<CAlertListDlg> alive(dlg.get());
    dlg->show();
    QTest::mouseClick(dlg->Control(2), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    dlg->show();
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    ASSERT_TRUE(alive);

    m_alerts.push_back(MakeRecord(1, "B", 50000));
    dlg->show();
    ASSERT_EQ(dlg->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("13:53:20"));
}

TEST_F(AlertListDlgTest, NoKeyActsInTheWindow)
{
    m_alerts = {MakeRecord(1, "A", 300), MakeRecord(1, "B", 200), MakeRecord(1, "C", 100)};
    auto dlg = MakeDialog();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    ClickRow(*dlg, 0);
    QTableView* list = dlg->ListControl();
    ASSERT_EQ(list->currentIndex().row(), 0);

    for (QWidget* target : {static_cast<QWidget*>(dlg.get()), static_cast<QWidget*>(list),
                            dlg->Control(1106), dlg->Control(2)}) {
        for (Qt::Key key :
             {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Down})
            QTest::keyClick(target, key);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(list->currentIndex().row(), 0);
    EXPECT_TRUE(m_mainWindow.m_received.empty());
    EXPECT_TRUE(m_recorder.m_boxes.empty());
}

TEST_F(AlertListDlgTest, FillSortsALargeShuffledListWithoutLosingARecord)
{
    // The day file joined to the session's alerts: many records, times out of order, many equal;
    // then the same with times no day has, as a damaged file may bring.
    for (bool damaged : {false, true}) {
        std::mt19937 random(7);
        std::filesystem::remove_all(m_dir.AlertDir());
        m_alerts.clear();
        std::vector<std::pair<std::int32_t, int>> keys;
        for (int i = 0; i < 20000; ++i) {
            std::int32_t time = 34200 + static_cast<std::int32_t>(random() % 3000);
            if (damaged && i % 5000 == 17)
                time = i % 2 ? -3 : 90000 + i;
            m_alerts.push_back(MakeRecord(1, std::to_string(i), time));
            keys.emplace_back(time, i);
        }
        auto dlg = MakeDialog();
        dlg->FillAlertList();
        ASSERT_EQ(m_alerts.size(), keys.size());
        // Latest first; records of one second keep the order they had.
        std::vector<std::pair<std::int32_t, int>> after;
        for (const Ta_ALERTRECORD& record : m_alerts)
            after.emplace_back(+record.m_nTime, std::stoi(VelkFieldText(record.m_szCode)));
        std::stable_sort(keys.begin(), keys.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        EXPECT_TRUE(after == keys) << damaged;
        EXPECT_EQ(dlg->Model()->rowCount(), 20000);
    }
}

TEST_F(AlertListDlgTest, ABurstOfAlertsIsOneInsertionAndRowsKeepTheirRecordsUntilThen)
{
    m_alerts = {MakeRecord(1, "600000", 30000), MakeRecord(2, "000001", 29000)};
    auto dlg = MakeDialog();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    QSignalSpy inserted(dlg->Model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 300; ++i) {
        Ta_ALERTRECORD record = MakeRecord(3, "N" + std::to_string(i), 31000 + i);
        m_alerts.push_front(record);
        dlg->InsertAlertItem(record);
    }
    // Until the rows are announced, row 0 still shows, and analyses, what it showed.
    ASSERT_EQ(dlg->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("08:20:00"));
    QTableView* list = dlg->ListControl();
    DoubleClick(list, list->visualRect(dlg->Model()->index(1, 0)).center());
    ASSERT_EQ(m_mainWindow.m_received.size(), 1u);
    EXPECT_EQ(m_mainWindow.m_received[0].symbol, CSymbolInfo(2, "000001"));

    QTRY_COMPARE(dlg->Model()->rowCount(), 302);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("08:41:39"));
    EXPECT_EQ(Cell(*dlg, 301, 1), QStringLiteral("08:03:20"));
    ClickRow(*dlg, 0);
    QTest::mouseClick(dlg->Control(1106), Qt::LeftButton);
    ASSERT_EQ(m_mainWindow.m_received.size(), 2u);
    EXPECT_EQ(m_mainWindow.m_received[1].symbol, CSymbolInfo(3, "N299"));
}

TEST_F(AlertListDlgTest, ModelStaysConsistentThroughFillInsertAndClear)
{
    m_alerts = {MakeRecord(1, "A", 1), MakeRecord(1, "B", 3), MakeRecord(1, "C", 2)};
    auto dlg = MakeDialog();
    QAbstractItemModelTester tester(dlg->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    dlg->FillAlertList();
    for (int i = 0; i < 3; ++i) {
        Ta_ALERTRECORD r = MakeRecord(1, "N", 10 + i);
        m_alerts.push_front(r);
        dlg->InsertAlertItem(r);
    }
    QTRY_COMPARE(dlg->Model()->rowCount(), 6);
    dlg->FillAlertList();
    EXPECT_EQ(Cell(*dlg, 0, 1), QStringLiteral("00:00:12"));
    dlg->ClearAlertList();
    EXPECT_EQ(dlg->Model()->rowCount(), 0);
}

} // namespace
