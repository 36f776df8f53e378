#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/KQDialog.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CPinyinIndex.h"
#include "hostlibs/CQuoteStore.h"
#include "hostlibs/MarketKeyTable.h"
#include "platform/core/TextCodec.h"
#include "tests/support/GbkText.h"

namespace {

std::vector<std::uint32_t> Match(const CPinyinIndex& index, const std::string& typed,
                                 std::size_t max = 50)
{
    std::vector<std::uint32_t> out;
    index.Match(typed, max, out);
    return out;
}

// A table the way a module fills it, with its own entry array.
class CTestTable {
public:
    CTestTable(const std::vector<std::pair<std::string, std::string>>& entries, std::uint32_t msg)
    {
        m_table.nFlag = 1;
        m_table.nMsg = msg;
        m_table.nCapacity = static_cast<std::uint32_t>(entries.size());
        m_table.pItems = KQ_hAllocKeyItems(m_table.nCapacity);
        TaKeyRegisterItem* items = KQ_pGetKeyItems(m_table.pItems);
        for (const auto& [code, name] : entries) {
            TaKeyRegisterItem& item = items[m_table.nCount++];
            std::strncpy(item.szCode, code.c_str(), sizeof item.szCode - 1);
            std::strncpy(item.szName, name.c_str(), sizeof item.szName - 1);
        }
    }
    ~CTestTable() { KQ_FreeKeyItems(m_table.pItems); }
    TaKeyRegisterTable* Get() { return &m_table; }

private:
    TaKeyRegisterTable m_table{};
};

class CRecordingWizard : public CKeyWizzard {
public:
    using CKeyWizzard::CKeyWizzard;
    bool OnSelectCode(std::uint32_t nMsg, const char* pszCode) override
    {
        m_picks.emplace_back(nMsg, pszCode);
        return true;
    }
    void OnInputCheck() override
    {
        ++m_nChecks;
        CKeyWizzard::OnInputCheck();
    }
    QLineEdit* Input() const { return findChild<QLineEdit*>(); }
    QListWidget* List() const { return findChild<QListWidget*>(); }
    QStringList Shown() const
    {
        QStringList rows;
        for (int i = 0; i < List()->count(); ++i)
            rows << List()->item(i)->text();
        return rows;
    }

    std::vector<std::pair<std::uint32_t, std::string>> m_picks;
    int m_nChecks = 0;
};

const std::vector<std::pair<std::string, std::string>>& Stocks()
{
    static const std::vector<std::pair<std::string, std::string>> stocks = {
        {"600000.SH", Gbk("浦发银行")}, {"GSYH.IX", Gbk("指数")},
        {"000001.SZ", Gbk("平安银行")}, {"601398.SH", Gbk("工商银行")},
        {"000002.SZ", Gbk("万科Ａ")},   {"600519.SH", Gbk("贵州茅台")},
        {"000004.SZ", Gbk("*ST国华")},  {"000027.SZ", Gbk("深圳能源")},
        {"000651.SZ", Gbk("格力电器")},
    };
    return stocks;
}

constexpr std::uint32_t kMsg = 0xC123;

} // namespace

TEST(PinyinInitials, LevelOneRunsCoverEveryCharacterInOrder)
{
    // Initials never step backwards through the level-1 block and every character has one.
    char previous = 'a';
    for (unsigned lead = 0xB0; lead <= 0xD7; ++lead) {
        for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
            if (lead == 0xD7 && trail > 0xF9)
                break;
            const char c = CPinyinIndex::InitialOf(static_cast<unsigned char>(lead),
                                                   static_cast<unsigned char>(trail));
            ASSERT_GE(c, previous) << std::hex << lead << trail;
            ASSERT_LE(c, 'z');
            ASSERT_NE(c, 'i');
            ASSERT_NE(c, 'u');
            ASSERT_NE(c, 'v');
            previous = c;
        }
    }
    // The last character of one run and the first of the next.
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("澳芭")), "ab");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("昔压匝座")), "xyzz");
    EXPECT_EQ(CPinyinIndex::InitialOf(0xD7, 0xFA), 0);
}

TEST(PinyinInitials, StockNamesWithLevelTwoHanziFullWidthLettersAndPolyphones)
{
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("深圳能源")), "szny");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("顺鑫农业")), "sxny");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("峆一药业")), "hyyy"); // a GBK extension hanzi
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("万科Ａ")), "wka");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("*ST国华")), "stgh");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("泽璟制药-U")), "zjzyu");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("平安银行")), "payx");
    EXPECT_EQ(CPinyinIndex::Initials(Gbk("平安银行"), true), "payh");
    // A name cut inside its last character keeps the initials of the whole ones.
    const std::string cut = Gbk("平安银行").substr(0, 7);
    EXPECT_EQ(CPinyinIndex::Initials(cut), "pay");
    // A hanzi of unknown reading holds its place: nothing typed skips over it.
    const std::string unknown = Gbk("平亍安");
    EXPECT_EQ(CPinyinIndex::Initials(unknown).size(), 3u);
    CPinyinIndex index;
    index.Add("1.X", unknown.c_str());
    EXPECT_TRUE(Match(index, "pa").empty());
    EXPECT_EQ(Match(index, "p").size(), 1u);
}

TEST(PinyinIndex, CodeMatchesFirstThenNameMatchesEachInTableOrder)
{
    CPinyinIndex index;
    for (const auto& [code, name] : Stocks())
        index.Add(code.c_str(), name.c_str());

    EXPECT_EQ(Match(index, "60"), (std::vector<std::uint32_t>{0, 3, 5}));
    EXPECT_EQ(Match(index, "600"), (std::vector<std::uint32_t>{0, 5}));
    // GSYH.IX by its code, then 工商银行 and 贵州茅台, 格力电器 by their names.
    EXPECT_EQ(Match(index, "g"), (std::vector<std::uint32_t>{1, 3, 5, 8}));
    EXPECT_EQ(Match(index, "GS"), (std::vector<std::uint32_t>{1, 3}));
    // 工商银行 by the bank reading of 行; the code match is not repeated.
    EXPECT_EQ(Match(index, "gsyh"), (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(Match(index, "PAYH"), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(Match(index, "payx"), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(Match(index, "sz"), (std::vector<std::uint32_t>{7}));
    EXPECT_EQ(Match(index, "wka"), (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(Match(index, Gbk("平安")), (std::vector<std::uint32_t>{2}));
    EXPECT_TRUE(Match(index, "sh").empty()); // codes match from their start only
    EXPECT_TRUE(Match(index, "").empty());
    EXPECT_TRUE(Match(index, "600000.SH.LONGER.THAN.ANY").empty());
}

TEST(PinyinIndex, ShowsAtMostTheLimitWithCodeMatchesFirst)
{
    CPinyinIndex index;
    char code[16];
    for (int i = 0; i < 120; ++i) {
        std::snprintf(code, sizeof code, "6%05d.SH", i);
        index.Add(code, Gbk("测试").c_str());
    }
    index.Add("CS0001.IX", "");
    const auto byCode = Match(index, "6");
    ASSERT_EQ(byCode.size(), 50u);
    EXPECT_EQ(byCode.front(), 0u);
    EXPECT_EQ(byCode.back(), 49u);
    const auto byName = Match(index, "cs");
    ASSERT_EQ(byName.size(), 50u);
    EXPECT_EQ(byName.front(), 120u);
    EXPECT_EQ(byName[1], 0u);
}

TEST(KeyHandles, ArraysAndWindowsResolveOnlyWhileTheyLive)
{
    EXPECT_EQ(KQ_hAllocKeyItems(0), 0u);
    const std::uint32_t items = KQ_hAllocKeyItems(3);
    ASSERT_NE(items, 0u);
    ASSERT_NE(KQ_pGetKeyItems(items), nullptr);
    EXPECT_EQ(KQ_nGetKeyItemCapacity(items), 3u);
    EXPECT_EQ(KQ_pGetKeyItems(items)[2].szCode[0], '\0');
    KQ_FreeKeyItems(items);
    EXPECT_EQ(KQ_pGetKeyItems(items), nullptr);
    EXPECT_EQ(KQ_nGetKeyItemCapacity(items), 0u);

    EXPECT_EQ(KQ_hGetWindowHandle(nullptr), 0u);
    auto* window = new QWidget;
    const std::uint32_t handle = KQ_hGetWindowHandle(window);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(KQ_hGetWindowHandle(window), handle);
    EXPECT_EQ(KQ_pWindowFromHandle(handle), window);
    delete window;
    EXPECT_EQ(KQ_pWindowFromHandle(handle), nullptr);
}

class KeyWizzardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_wizard.Create(nullptr);
        m_wizard.AddKeyTableReg(m_table.Get());
        m_wizard.show();
    }

    CTestTable m_table{Stocks(), kMsg};
    CRecordingWizard m_wizard{nullptr};
};

TEST_F(KeyWizzardTest, TypingNarrowsTheListAndEnterPicksTheChosenRow)
{
    QTest::keyClicks(m_wizard.Input(), QStringLiteral("60"));
    EXPECT_EQ(m_wizard.m_nChecks, 2);
    const QStringList rows = m_wizard.Shown();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("600000.SH")));
    EXPECT_TRUE(rows[0].endsWith(QString::fromUtf8("浦发银行")));
    EXPECT_EQ(m_wizard.List()->currentRow(), 0);

    QTest::keyClick(m_wizard.Input(), Qt::Key_Up);
    EXPECT_EQ(m_wizard.List()->currentRow(), 0);
    QTest::keyClick(m_wizard.Input(), Qt::Key_Down);
    QTest::keyClick(m_wizard.Input(), Qt::Key_Down);
    QTest::keyClick(m_wizard.Input(), Qt::Key_Down);
    EXPECT_EQ(m_wizard.List()->currentRow(), 2);
    QTest::keyClick(m_wizard.Input(), Qt::Key_Up);
    QTest::keyClick(m_wizard.Input(), Qt::Key_Return);

    ASSERT_EQ(m_wizard.m_picks.size(), 1u);
    EXPECT_EQ(m_wizard.m_picks[0], std::make_pair(kMsg, std::string("601398.SH")));
    EXPECT_FALSE(m_wizard.isVisible());
    // Opened again, it starts from an empty input.
    m_wizard.show();
    EXPECT_TRUE(m_wizard.Input()->text().isEmpty());
    EXPECT_EQ(m_wizard.List()->count(), 0);
}

TEST_F(KeyWizzardTest, EmptiedInputAndEscapeHideWithoutPicking)
{
    QTest::keyClicks(m_wizard.Input(), QStringLiteral("pa"));
    EXPECT_EQ(m_wizard.Shown().size(), 1);
    QTest::keyClick(m_wizard.Input(), Qt::Key_Backspace);
    EXPECT_TRUE(m_wizard.isVisible());
    EXPECT_EQ(m_wizard.Shown().size(), 2); // 浦发银行 joins 平安银行
    QTest::keyClick(m_wizard.Input(), Qt::Key_Backspace);
    EXPECT_EQ(m_wizard.m_nChecks, 4);
    EXPECT_FALSE(m_wizard.isVisible());

    m_wizard.show();
    QTest::keyClicks(m_wizard.Input(), QStringLiteral("g"));
    QTest::keyClick(m_wizard.Input(), Qt::Key_Escape);
    EXPECT_FALSE(m_wizard.isVisible());
    EXPECT_TRUE(m_wizard.m_picks.empty());
}

TEST_F(KeyWizzardTest, DoubleClickPicksThatRowAndAPostedKeyStartsTheInput)
{
    QCoreApplication::postEvent(
        &m_wizard, new QKeyEvent(QEvent::KeyPress, Qt::Key_G, Qt::NoModifier, QStringLiteral("g")));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_wizard.Input()->text(), QStringLiteral("g"));
    ASSERT_EQ(m_wizard.Shown().size(), 4);

    QListWidget* list = m_wizard.List();
    QCoreApplication::processEvents();
    const QRect row = list->visualItemRect(list->item(3));
    ASSERT_TRUE(row.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_TRUE(m_wizard.m_picks.empty());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    ASSERT_EQ(m_wizard.m_picks.size(), 1u);
    EXPECT_EQ(m_wizard.m_picks[0].second, "000651.SZ");
}

TEST_F(KeyWizzardTest, ATableWhoseArrayIsGoneOrOvercountedPicksNothingAndShowsNoGarbage)
{
    TaKeyRegisterTable bad = *m_table.Get();
    bad.nCount = 1000; // more than were allocated
    CRecordingWizard wizard(nullptr);
    wizard.Create(nullptr);
    wizard.AddKeyTableReg(&bad);
    wizard.show();
    QTest::keyClicks(wizard.Input(), QStringLiteral("0"));
    EXPECT_EQ(wizard.Shown().size(), 5);
    for (const QString& row : wizard.Shown())
        EXPECT_FALSE(row.contains(QChar::ReplacementCharacter)) << row.toStdString();

    CTestTable gone({{"600000.SH", Gbk("浦发银行")}}, kMsg);
    CRecordingWizard second(nullptr);
    second.Create(nullptr);
    second.AddKeyTableReg(gone.Get());
    second.show();
    QTest::keyClicks(second.Input(), QStringLiteral("6"));
    KQ_FreeKeyItems(gone.Get()->pItems);
    QTest::keyClick(second.Input(), Qt::Key_Return);
    EXPECT_TRUE(second.m_picks.empty());
}

TEST(PinyinIndex, InitialsTheQuoteServiceGivesMatchBesideTheNamesOwn)
{
    // A hanzi of unknown reading: only the initials a source gives reach the stock.
    const std::string name = Gbk("平亍安");
    CPinyinIndex index;
    index.Add("1.X", name.c_str(), "PCA");
    index.Add("2.X", Gbk("平安银行").c_str(), "");
    EXPECT_EQ(Match(index, "pca"), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(Match(index, "p"), (std::vector<std::uint32_t>{0, 1})) << "the name's own still";
    EXPECT_EQ(Match(index, "payh"), (std::vector<std::uint32_t>{1})) << "no initials given";
}

TEST(PinyinIndex, TheWizardOverEveryMarketFindsAStockByTheInitialsOfItsSymbol)
{
    CQuoteStore store;
    CScopedHostBackend backend(store);
    store.AddMarket(1, "SH", 1);
    store.AddSymbol(1, "600999", Gbk("平亍安"));
    store.SetItem(1, "600999", X1Format::Text(QuoteItem::kPinyin, "pca"));
    store.AddSymbol(1, "600000", Gbk("浦发银行"));
    TaKeyRegisterTable table{};
    VelkFillMarketKeyTable(table, 0, 1);
    {
        CRecordingWizard wizard(nullptr);
        wizard.Create(nullptr);
        wizard.AddKeyTableReg(&table);
        wizard.show();
        QTest::keyClicks(wizard.Input(), QStringLiteral("pca"));
        const QStringList rows = wizard.Shown();
        ASSERT_EQ(rows.size(), 1);
        EXPECT_TRUE(rows[0].startsWith(QStringLiteral("600999.SH")));
        wizard.Input()->clear();
        QTest::keyClicks(wizard.Input(), QStringLiteral("pfyh"));
        EXPECT_EQ(wizard.Shown().size(), 1) << "names without given initials as before";
    }
    KQ_FreeKeyItems(table.pItems);
}
