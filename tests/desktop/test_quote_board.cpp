// The quote board as a trader reads it: the order of its rows, its marks and columns, its group
// tabs and what it keeps for the next run, on real widgets.

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include "host/gui/CQuoteBoard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "host/gui/CTextWidthBound.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/qt/QtText.h"
#include "tests/support/CTempDir.h"

namespace {

QStringList Texts(std::initializer_list<const char*> items)
{
    QStringList texts;
    for (const char* item : items)
        texts << QString::fromLatin1(item);
    return texts;
}

struct Stock {
    const char* code;
    const char* name;
    double prevClose;
    double last; // 0: no trade today
    double volume;
};

// Three stocks that traded, three that did not, one that traded without a previous close.
const Stock kStocks[] = {
    {"600001", "中国石化", 10.00, 10.50, 5000}, {"600002", "北京银行", 10.00, 9.50, 800},
    {"600003", "安徽合力", 20.00, 20.10, 1200}, {"600004", "华能国际", 8.00, 0, 0},
    {"600005", "浦发银行", 6.00, 0, 0},         {"600006", "东方航空", 4.00, 0, 0},
    {"600007", "招商银行", 0, 30.00, 300},
};

class QuoteBoardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CQuoteStore& store = CQuoteStore::Instance();
        store.Reset();
        store.AddMarket(1, "SH", 1);
        for (const Stock& s : kStocks) {
            store.AddSymbol(1, s.code, VelkToGbk(VelkFromUtf8(s.name)));
            if (s.prevClose > 0)
                store.SetItem(1, s.code, X1Format::Price(QuoteItem::kPrevClose, s.prevClose));
            if (s.last > 0)
                Trade(s.code, s.last, s.volume, 9 * 3600 + 40 * 60);
        }
    }
    void TearDown() override { CQuoteStore::Instance().Reset(); }

    static void Trade(const char* code, double price, double volume, int time)
    {
        CQuoteStore& store = CQuoteStore::Instance();
        store.SetItem(1, code, X1Format::Price(QuoteItem::kLastPrice, price));
        store.SetItem(1, code, X1Format::Volume(QuoteItem::kVolume, volume));
        store.SetItem(1, code, X1Format::Time(QuoteItem::kTime, time / 3600, time / 60 % 60, 0));
    }

    static QStringList Column(const CQuoteBoard& board, int column)
    {
        QStringList texts;
        for (int r = 0; r < board.Proxy()->rowCount(); ++r)
            texts << board.Proxy()->index(r, column).data().toString();
        return texts;
    }
    static QStringList TradedFlags(const CQuoteBoard& board)
    {
        QStringList flags;
        for (int r = 0; r < board.Proxy()->rowCount(); ++r)
            flags << (board.Proxy()->index(r, 0).data(CQuoteBoardModel::kTradedRole).toBool()
                          ? QStringLiteral("T")
                          : QStringLiteral("-"));
        return flags;
    }
};

TEST_F(QuoteBoardTest, StocksWithoutATradeStayBelowInEveryColumnAndDirection)
{
    CQuoteBoard board;
    board.Model()->Reload();
    board.show();
    const QStringList tradedFirst = Texts({"T", "T", "T", "T", "-", "-", "-"});
    for (int column = 0; column < CQuoteBoardModel::kColumnCount; ++column)
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            SCOPED_TRACE(column);
            SCOPED_TRACE(order);
            board.View()->sortByColumn(column, order);
            EXPECT_EQ(TradedFlags(board), tradedFirst);
        }

    // The header clicked as a user clicks it, both ways; the stock without a change (no
    // previous close) stays below the changes too.
    QHeaderView* header = board.View()->horizontalHeader();
    const int x = header->sectionViewportPosition(CQuoteBoardModel::kChangePercent) + 5;
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        EXPECT_EQ(TradedFlags(board), tradedFirst);
        const QStringList percents = Column(board, CQuoteBoardModel::kChangePercent);
        EXPECT_EQ(percents.mid(3), Texts({"-", "-", "-", "-"}));
        const bool descending = header->sortIndicatorOrder() == Qt::DescendingOrder;
        EXPECT_EQ(percents.front(),
                  descending ? QStringLiteral("+5.00%") : QStringLiteral("-5.00%"));
    }
}

TEST_F(QuoteBoardTest, NamesSortByPinyin)
{
    CQuoteBoard board;
    board.Model()->Reload();
    board.View()->sortByColumn(CQuoteBoardModel::kName, Qt::AscendingOrder);
    // an, bei, zhao, zhong among the traded; dong, hua, pu below them.
    EXPECT_EQ(
        Column(board, CQuoteBoardModel::kName),
        QStringList({VelkFromUtf8("安徽合力"), VelkFromUtf8("北京银行"), VelkFromUtf8("招商银行"),
                     VelkFromUtf8("中国石化"), VelkFromUtf8("东方航空"), VelkFromUtf8("华能国际"),
                     VelkFromUtf8("浦发银行")}));
}

TEST_F(QuoteBoardTest, RowsAtTheirLimitsAreMarkedAndSaySo)
{
    CQuoteStore& store = CQuoteStore::Instance();
    for (const char* code : {"600001", "600002", "600003"}) {
        store.SetItem(1, code,
                      X1Format::Price(QuoteItem::kLimitUp, code[5] == '3' ? 22.00 : 10.50));
        store.SetItem(1, code,
                      X1Format::Price(QuoteItem::kLimitDown, code[5] == '3' ? 18.00 : 9.50));
    }
    CQuoteBoard board;
    CQuoteBoardModel& model = *board.Model();
    model.Reload();
    struct Case {
        const char* code;
        int limit;
        QVariant background;
        const char* said;
    } cases[] = {{"600001", 1, QVariant(CQuoteBoardModel::kLimitUpBackground), "涨停"},
                 {"600002", -1, QVariant(CQuoteBoardModel::kLimitDownBackground), "跌停"},
                 {"600003", 0, QVariant(), nullptr},
                 {"600004", 0, QVariant(), nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const int row = model.RowOf(1, c.code);
        EXPECT_EQ(model.index(row, 0).data(CQuoteBoardModel::kLimitRole).toInt(), c.limit);
        for (int column : {int(CQuoteBoardModel::kCode), int(CQuoteBoardModel::kTime)})
            EXPECT_EQ(model.index(row, column).data(Qt::BackgroundRole), c.background);
        const QString spoken =
            model.index(row, CQuoteBoardModel::kLast).data(Qt::AccessibleTextRole).toString();
        EXPECT_EQ(spoken.contains(VelkFromUtf8("涨停")) || spoken.contains(VelkFromUtf8("跌停")),
                  c.said != nullptr)
            << spoken.toStdString();
        if (c.said) {
            EXPECT_TRUE(spoken.startsWith(VelkFromUtf8(c.said)));
        }
    }
    // Off the limit again, the mark goes at the next flush.
    Trade("600001", 10.40, 6000, 9 * 3600 + 41 * 60);
    model.MarkTraded(1, "600001");
    model.Flush();
    EXPECT_EQ(model.index(model.RowOf(1, "600001"), 0).data(CQuoteBoardModel::kLimitRole).toInt(),
              0);
}

// What the board's own cell painter draws on screen: a limit row's background, a figure in its
// rising or falling colour, the selection over both.
TEST_F(QuoteBoardTest, CellsArePaintedWithTheirBackgroundColourAndSelection)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.SetItem(1, "600001", X1Format::Price(QuoteItem::kLimitUp, 10.50));
    store.SetItem(1, "600002", X1Format::Price(QuoteItem::kLimitDown, 9.50));
    CQuoteBoard board;
    board.Model()->Reload();
    board.resize(900, 400);
    board.show();
    QTableView* view = board.View();
    auto cell = [&](const char* code, int column) {
        const QModelIndex source = board.Model()->index(board.Model()->RowOf(1, code), column);
        return view->visualRect(board.Proxy()->mapFromSource(source));
    };
    auto paintedIn = [&](const QRect& rect, const QColor& colour) {
        const QImage image = view->viewport()->grab().toImage();
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                count += QColor(image.pixel(x, y)) == colour;
        return count;
    };
    auto cornerOf = [&](const QRect& rect) {
        return QColor(view->viewport()->grab().toImage().pixel(rect.left() + 1, rect.top() + 1));
    };
    EXPECT_EQ(cornerOf(cell("600001", CQuoteBoardModel::kCode)),
              CQuoteBoardModel::kLimitUpBackground);
    EXPECT_EQ(cornerOf(cell("600002", CQuoteBoardModel::kTime)),
              CQuoteBoardModel::kLimitDownBackground);
    EXPECT_EQ(cornerOf(cell("600003", CQuoteBoardModel::kCode)),
              view->palette().color(QPalette::Base));
    // 20.10 over 20.00 rises; its figures stand in the rising colour, at the cell's right.
    const QRect last = cell("600003", CQuoteBoardModel::kLast);
    EXPECT_GT(paintedIn(last.adjusted(last.width() / 2, 0, 0, 0), CQuoteBoardModel::kRising), 0);
    EXPECT_EQ(paintedIn(last, CQuoteBoardModel::kFalling), 0);

    view->selectRow(board.Proxy()
                        ->mapFromSource(board.Model()->index(board.Model()->RowOf(1, "600001"), 0))
                        .row());
    EXPECT_EQ(cornerOf(cell("600001", CQuoteBoardModel::kCode)),
              view->palette().color(QPalette::Highlight));
}

TEST_F(QuoteBoardTest, OpenAmountAndVolumeRatioShowWhereTheQuoteHasThem)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.SetItem(1, "600001", X1Format::Price(QuoteItem::kOpenPrice, 10.20));
    store.SetItem(1, "600001", X1Format::Volume(QuoteItem::kAmount, 52300));
    store.SetItem(1, "600001", X1Format::Volume(QuoteItem::kAmount, 52300));
    // 5,000 shares in the ten minutes from 09:30 to 09:40 against 250 a minute over five days.
    store.SetItem(1, "600001", X1Format::Volume(QuoteItem::kFiveDayVolumePerMinute, 250));
    store.SetItem(1, "600002", X1Format::Volume(QuoteItem::kAmount, 3.456e9));
    CQuoteBoardModel model;
    model.Reload();
    auto cell = [&](const char* code, int column) {
        return model.index(model.RowOf(1, code), column).data().toString();
    };
    EXPECT_EQ(cell("600001", CQuoteBoardModel::kPrevClose), QStringLiteral("10.00"));
    EXPECT_EQ(cell("600001", CQuoteBoardModel::kOpen), QStringLiteral("10.20"));
    EXPECT_EQ(cell("600001", CQuoteBoardModel::kAmount),
              QStringLiteral("5.23") + VelkFromUtf8("万"));
    EXPECT_EQ(cell("600001", CQuoteBoardModel::kVolumeRatio), QStringLiteral("2.00"));
    EXPECT_EQ(cell("600002", CQuoteBoardModel::kAmount),
              QStringLiteral("34.56") + VelkFromUtf8("亿"));
    // Without the data: a dash, never a made-up zero.
    EXPECT_EQ(cell("600002", CQuoteBoardModel::kOpen), QStringLiteral("-"));
    EXPECT_EQ(cell("600002", CQuoteBoardModel::kVolumeRatio), QStringLiteral("-"));
    EXPECT_EQ(cell("600004", CQuoteBoardModel::kAmount), QStringLiteral("-"));
    EXPECT_EQ(cell("600004", CQuoteBoardModel::kPrevClose), QStringLiteral("8.00"));
}

TEST_F(QuoteBoardTest, GroupTabsShowOnlyTheirStocks)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.SetCurrentUser("demo");
    store.AddUserGroup(
        "demo", VelkToGbk(VelkFromUtf8("自选股")),
        {CSymbolInfo(1, "600001"), CSymbolInfo(1, "600004"), CSymbolInfo(1, "688999")});
    store.AddUserGroup("demo", VelkToGbk(VelkFromUtf8("银行")),
                       {CSymbolInfo(1, "600002"), CSymbolInfo(1, "600005")});
    CQuoteBoard board;
    board.Model()->Reload();
    board.show();
    QTabBar* tabs = board.GroupTabs();
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), VelkFromUtf8("全部"));
    EXPECT_EQ(tabs->tabText(1), VelkFromUtf8("自选股"));
    EXPECT_EQ(tabs->tabText(2), VelkFromUtf8("银行"));
    board.View()->sortByColumn(CQuoteBoardModel::kCode, Qt::AscendingOrder);

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    EXPECT_EQ(Column(board, CQuoteBoardModel::kCode), Texts({"600002", "600005"}));
    // The filter works within the group.
    board.FilterEdit()->setText(VelkFromUtf8("浦发"));
    EXPECT_EQ(Column(board, CQuoteBoardModel::kCode), Texts({"600005"}));
    board.FilterEdit()->clear();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(Column(board, CQuoteBoardModel::kCode), Texts({"600001", "600004"}));
    // A jump to a stock outside the group shows the whole board.
    EXPECT_TRUE(board.JumpTo(1, "600003"));
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(board.Proxy()->rowCount(), 7);
}

// A feed announces a market over many frames: each adds its new stocks after the rows there,
// a group's member that arrives late joins its tab, and a new row's figures get their room.
TEST_F(QuoteBoardTest, StocksAnnouncedLaterAreAddedAfterTheRowsThere)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.SetCurrentUser("demo");
    store.AddUserGroup("demo", VelkToGbk(VelkFromUtf8("自选股")),
                       {CSymbolInfo(1, "600001"), CSymbolInfo(1, "688999")});
    CQuoteBoard board;
    board.Model()->Reload();
    board.show();
    CQuoteBoardModel& model = *board.Model();
    const int before = model.rowCount();
    const int row600003 = model.RowOf(1, "600003");
    QTabBar* tabs = board.GroupTabs();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(Column(board, CQuoteBoardModel::kCode), Texts({"600001"}));

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy groups(&model, &CQuoteBoardModel::GroupsChanged);
    store.AddSymbol(1, "688999", VelkToGbk(VelkFromUtf8("科创样本")));
    store.AddSymbol(1, "601000", VelkToGbk(VelkFromUtf8("唐山港")));
    store.SetItem(1, "601000", X1Format::Price(QuoteItem::kPrevClose, 3.0));
    Trade("601000", 3.10, 987654321098.0, 10 * 3600);
    const int volumeWidth = board.View()->columnWidth(CQuoteBoardModel::kVolume);
    model.AddNewSymbols();
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(model.rowCount(), before + 2);
    EXPECT_EQ(model.RowOf(1, "600003"), row600003);
    EXPECT_GE(model.RowOf(1, "601000"), before);
    EXPECT_EQ(groups.count(), 1);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(Column(board, CQuoteBoardModel::kCode), Texts({"600001", "688999"}));
    QTRY_VERIFY(!board.IsFittingColumns());
    EXPECT_GT(board.View()->columnWidth(CQuoteBoardModel::kVolume), volumeWidth);

    // Nothing new: nothing changes.
    model.AddNewSymbols();
    EXPECT_EQ(model.rowCount(), before + 2);
    EXPECT_EQ(groups.count(), 1);
}

TEST_F(QuoteBoardTest, SortFilterAndGroupAreKeptForTheNextRun)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.SetCurrentUser("demo");
    store.AddUserGroup("demo", "A", {CSymbolInfo(1, "600001")});
    store.AddUserGroup("demo", "B", {CSymbolInfo(1, "600002"), CSymbolInfo(1, "600003")});
    CTempDir dir;
    QSettings settings(QString::fromStdString(dir.File("velk-host.conf")), QSettings::IniFormat);
    {
        CQuoteBoard board;
        board.UseSettings(&settings);
        board.Model()->Reload();
        board.show();
        QHeaderView* header = board.View()->horizontalHeader();
        const int x = header->sectionViewportPosition(CQuoteBoardModel::kVolume) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QTest::keyClicks(board.FilterEdit(), QStringLiteral("60000"));
        board.ShowGroup(2);
    }
    CQuoteBoard again;
    again.UseSettings(&settings);
    again.Model()->Reload();
    QHeaderView* header = again.View()->horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), CQuoteBoardModel::kVolume);
    EXPECT_EQ(header->sortIndicatorOrder(),
              settings.value(QStringLiteral("board/sortOrder")).toInt() == 1 ? Qt::DescendingOrder
                                                                             : Qt::AscendingOrder);
    EXPECT_EQ(again.FilterEdit()->text(), QStringLiteral("60000"));
    EXPECT_EQ(again.GroupTabs()->currentIndex(), 2);
    EXPECT_EQ(again.Proxy()->rowCount(), 2);
    // The two clicks sorted one way and back: the rows stand in the order of the second.
    const QStringList volumes = Column(again, CQuoteBoardModel::kVolume);
    ASSERT_EQ(volumes.size(), 2);
    EXPECT_EQ(volumes.front().toDouble() > volumes.back().toDouble(),
              header->sortIndicatorOrder() == Qt::DescendingOrder);
}

TEST_F(QuoteBoardTest, FiguresAreNeverCutShortAndTheBoardScrollsSideways)
{
    CQuoteBoard board;
    board.Model()->Reload();
    board.resize(320, 300);
    board.show();
    QTableView* view = board.View();
    auto checkEveryCell = [&] {
        const QFontMetrics metrics(view->font());
        for (int r = 0; r < board.Proxy()->rowCount(); ++r)
            for (int c = 0; c < CQuoteBoardModel::kColumnCount; ++c) {
                const QString text = board.Proxy()->index(r, c).data().toString();
                EXPECT_LE(metrics.horizontalAdvance(text), view->columnWidth(c))
                    << text.toStdString();
            }
        for (int c = 0; c < CQuoteBoardModel::kColumnCount; ++c) {
            const QString title = board.Model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_LE(metrics.horizontalAdvance(title), view->columnWidth(c))
                << title.toStdString();
        }
    };
    checkEveryCell();
    EXPECT_EQ(view->textElideMode(), Qt::ElideNone);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);

    // A figure wider than any before widens its column at the flush that shows it.
    const int before = view->columnWidth(CQuoteBoardModel::kVolume);
    Trade("600003", 20.10, 987654321098.0, 10 * 3600);
    board.Model()->MarkTraded(1, "600003");
    board.Model()->Flush();
    EXPECT_GT(view->columnWidth(CQuoteBoardModel::kVolume), before);
    checkEveryCell();
}

TEST_F(QuoteBoardTest, AFlushTellsNearbyChangedRowsAsOneRangeAndFarOnesApart)
{
    CQuoteStore& store = CQuoteStore::Instance();
    for (int i = 0; i < 40; ++i) {
        const std::string code = std::to_string(601000 + i);
        store.AddSymbol(1, code, "X");
        store.SetItem(1, code, X1Format::Price(QuoteItem::kPrevClose, 5.00));
    }
    CQuoteBoardModel model;
    model.Reload();
    ASSERT_GE(model.rowCount(), 40);
    // Rows 3 and 6 are near each other, row 35 far from both; each traded once or twice.
    const int near1 = 3, near2 = 6, far = 35;
    for (int row : {far, near1, near2, near1}) {
        const CQuoteBoardModel::Row& stock = model.RowAt(row);
        Trade(stock.code.c_str(), 5.10 + row / 100.0, 100, 10 * 3600);
        model.MarkTraded(stock.market, stock.code);
    }
    // A row between them changes in the quote service without a trade told to the board.
    const int between = near1 + 1;
    const QString shownBetween = model.index(between, CQuoteBoardModel::kLast).data().toString();
    Trade(model.RowAt(between).code.c_str(), 7.77, 100, 10 * 3600);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.Flush();
    ASSERT_EQ(changed.size(), 2);
    auto rows = [&](int signal) {
        return std::pair{changed[signal][0].value<QModelIndex>().row(),
                         changed[signal][1].value<QModelIndex>().row()};
    };
    EXPECT_EQ(rows(0), std::pair(near1, near2));
    EXPECT_EQ(rows(1), std::pair(far, far));
    EXPECT_EQ(changed[0][1].value<QModelIndex>().column(), CQuoteBoardModel::kColumnCount - 1);
    // Every traded row shows its new quote; the row between them, told within the range, shows
    // what it showed: only rows told of a trade are read again.
    EXPECT_EQ(model.index(near1, CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("5.13"));
    EXPECT_EQ(model.index(near2, CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("5.16"));
    EXPECT_EQ(model.index(far, CQuoteBoardModel::kLast).data().toString(), QStringLiteral("5.45"));
    EXPECT_EQ(model.index(between, CQuoteBoardModel::kLast).data().toString(), shownBetween);
    changed.clear();
    model.Flush();
    EXPECT_TRUE(changed.isEmpty()) << "a row is told once per trade, not at every flush";
}

TEST_F(QuoteBoardTest, AWholeMarketTradingAtOnceIsShownOverSeveralFlushesOldestFirst)
{
    CQuoteStore& store = CQuoteStore::Instance();
    const int extra = static_cast<int>(CQuoteBoardModel::kRowsPerFlush) + 50;
    for (int i = 0; i < extra; ++i)
        store.AddSymbol(1, std::to_string(700000 + i), "X");
    CQuoteBoardModel model;
    model.Reload();
    // Marked from the last row up: the first marked are the last rows.
    const int rows = model.rowCount();
    for (int row = rows - 1; row >= 0; --row) {
        const CQuoteBoardModel::Row& stock = model.RowAt(row);
        Trade(stock.code.c_str(), 3.21, 100, 10 * 3600);
        model.MarkTraded(stock.market, stock.code);
    }
    ASSERT_EQ(model.Marked(), static_cast<std::size_t>(rows));
    model.Flush();
    EXPECT_EQ(model.Marked(), static_cast<std::size_t>(rows) - CQuoteBoardModel::kRowsPerFlush);
    const int firstShown = rows - static_cast<int>(CQuoteBoardModel::kRowsPerFlush);
    EXPECT_EQ(model.index(firstShown, CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("3.21"));
    EXPECT_EQ(model.index(firstShown - 1, CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("-"))
        << "a row marked later was read before one marked earlier";
    // A row still waiting is not marked twice by another trade; the next flush shows the rest.
    model.MarkTraded(model.RowAt(0).market, model.RowAt(0).code);
    EXPECT_EQ(model.Marked(), static_cast<std::size_t>(rows) - CQuoteBoardModel::kRowsPerFlush);
    model.Flush();
    EXPECT_EQ(model.Marked(), 0u);
    EXPECT_EQ(model.index(0, CQuoteBoardModel::kLast).data().toString(), QStringLiteral("3.21"));
}

TEST(TextWidthBound, IsNeverBelowTheShapedWidthAndLeavesOtherScriptsToShaping)
{
    const char* figures[] = {"123456789.00", "-0.01", "+10.00%", "11:30:00", "1234.5万", "12.34亿",
                             "浦发银行",     "AV",    "To",      "WWW",      "ff",       "-"};
    QFont bold;
    bold.setBold(true);
    QFont large;
    large.setPointSize(17);
    for (const QFont& font : {QFont(), bold, large}) {
        const CTextWidthBound bound(font);
        const QFontMetrics metrics(font);
        for (const char* figure : figures) {
            const QString text = VelkFromUtf8(figure);
            const int shaped = metrics.horizontalAdvance(text);
            EXPECT_GE(bound.Of(text), shaped) << figure << " at " << font.pointSize() << " pt";
            // Close enough that columns sized by it stay as narrow as the figures.
            EXPECT_LE(bound.Of(text), shaped + 2 * text.size() + 2) << figure;
        }
        EXPECT_EQ(bound.Of(QString()), 0);
        for (const char* other : {"مرحبا", "e\u0301", "\U0001F600", "क्ष"})
            EXPECT_EQ(bound.Of(QString::fromUtf8(other)), -1) << other;
    }
}

} // namespace

// A whole market is measured a slice of rows at a time: right after the load the columns are
// still being fitted, and once the event loop has turned, the widest figure of the last row has
// widened its column all the same. A day closed while they are fitted stops the fitting.
TEST_F(QuoteBoardTest, ColumnsOfAWholeMarketAreFittedWhileTheLoopTurns)
{
    CQuoteStore& store = CQuoteStore::Instance();
    constexpr int kMany = 3000;
    for (int i = 0; i < kMany; ++i) {
        const std::string code = std::to_string(300000 + i);
        store.AddSymbol(1, code, "X");
        store.SetItem(1, code, X1Format::Price(QuoteItem::kPrevClose, 5.0));
    }
    // The widest previous close stands in the last row the model reads.
    store.SetItem(1, std::to_string(300000 + kMany - 1),
                  X1Format::Price(QuoteItem::kPrevClose, 123456789.0));
    CQuoteBoard board;
    board.Model()->Reload();
    ASSERT_GT(board.Model()->rowCount(), kMany);
    EXPECT_TRUE(board.IsFittingColumns());
    QTRY_VERIFY(!board.IsFittingColumns());
    const QFontMetrics metrics(board.View()->font());
    for (int c = 0; c < CQuoteBoardModel::kColumnCount; ++c) {
        int widest = 0;
        for (int r = 0; r < board.Model()->rowCount(); ++r)
            widest = std::max(
                widest, metrics.horizontalAdvance(board.Model()->index(r, c).data().toString()));
        EXPECT_LE(widest, board.View()->columnWidth(c)) << c;
    }

    board.Model()->Reload();
    EXPECT_TRUE(board.IsFittingColumns());
    board.Model()->Clear();
    EXPECT_FALSE(board.IsFittingColumns());
}
