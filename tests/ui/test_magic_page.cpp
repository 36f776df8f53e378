#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "engine/CMagicStatusTable.h"
#include "platform/core/VelkFile.h"
#include "tests/support/CRecordingSettingsSink.h"
#include "tests/support/GbkText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CMagicAlertDlg.h"
#include "ui/CSelectStockDlg.h"
#include "ui/CSelectStockEvent.h"
#include "ui/CVelkPropertySheet.h"
#include "ui/CVelkWindowing.h"

namespace {

using Checks = std::vector<int>;

Ta_VELKPRICEALERT Stock(unsigned char market, const std::string& code, const Checks& switches)
{
    Ta_VELKPRICEALERT record = MakeWatch(market, code, code);
    for (std::size_t i = 0; i < switches.size(); ++i)
        record.m_nMagic[i] = switches[i];
    return record;
}

Checks Switches(const Ta_VELKPRICEALERT& record, int n)
{
    Checks switches;
    for (int i = 0; i < n; ++i)
        switches.push_back(std::int32_t{record.m_nMagic[i]});
    return switches;
}

QListWidget* Signals(const CMagicAlertDlg& page)
{
    return qobject_cast<QListWidget*>(page.Control(12007));
}
QListWidget* Stocks(const CMagicAlertDlg& page)
{
    return qobject_cast<QListWidget*>(page.Control(12012));
}
void Click(const CMagicAlertDlg& page, int id)
{
    QTest::mouseClick(qobject_cast<QPushButton*>(page.Control(id)), Qt::LeftButton);
}

Checks Boxes(const CMagicAlertDlg& page)
{
    Checks checks;
    for (int i = 0; i < Signals(page)->count(); ++i)
        checks.push_back(Signals(page)->item(i)->checkState() == Qt::Checked ? 1 : 0);
    return checks;
}

void ClickRow(const CMagicAlertDlg& page, int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QListWidget* list = Stocks(page);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                      list->visualItemRect(list->item(row)).center());
}

// The user makes the entry current and toggles its box with the space bar.
void ToggleEntry(const CMagicAlertDlg& page, int entry)
{
    Signals(page)->setFocus();
    Signals(page)->setCurrentRow(entry);
    QTest::keyClick(Signals(page), Qt::Key_Space);
}

void SendKey(QWidget* target, QEvent::Type type, int key, bool repeat = false)
{
    QKeyEvent event(type, key, Qt::ControlModifier, QString(), repeat);
    QApplication::sendEvent(target, &event);
}

class MagicPageTest : public ::testing::Test {
protected:
    MagicPageTest()
    {
        std::filesystem::create_directories(m_dir.Temp().File("SYS"));
        m_store.SetTradeDate(20211201);
        m_store.AddMarket(1, "SH", 10); // market 1's level-1 number is 10
        m_store.AddMarket(10, "SHL", 10);
        for (unsigned char market : {1, 10}) {
            m_store.AddSymbol(market, "600000", Gbk("浦发银行"));
            m_store.AddSymbol(market, "600036", Gbk("招商银行"));
        }
        m_store.AddSymbol(1, "600519", Gbk("贵州茅台"));
        m_store.SetCurrentUser("u1");
        m_store.AddUserGroup("u1", Gbk("银行"), {{1, "600000"}, {1, "999999"}, {1, "600036"}});
        m_store.AddUserGroup("u1", Gbk("白酒"), {{1, "600519"}});
        Catalogue(6);
        VelkMagicStatusTable().SetEntries({});
        VelkShortcutLatch() = 1;
    }

    void Catalogue(int n)
    {
        std::vector<CString> numbers, names;
        for (int i = 0; i < n; ++i) {
            numbers.push_back(std::to_string(i < 13 ? i : i + 2)); // the service skips 13 and 14
            names.push_back("signal " + std::to_string(i));
        }
        m_store.SetMagicCatalogue(numbers, names);
    }

    std::unique_ptr<CMagicAlertDlg> Open(std::vector<Ta_VELKPRICEALERT> list, int count = -2)
    {
        m_list = std::move(list);
        m_count = count == -2 ? static_cast<int>(m_list.size()) : count;
        auto page = std::make_unique<CMagicAlertDlg>();
        page->AttachList(&m_list, &m_count);
        page->CreatePageWindow();
        page->show();
        return page;
    }

    // Adds through the stock entry dialog: a stock picked in the wizard and/or a group.
    static void Add(CMagicAlertDlg& page, unsigned char market, const std::string& code,
                    const char* groupUtf8)
    {
        QTimer::singleShot(0, [=] {
            auto* dlg = dynamic_cast<CSelectStockDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            if (!code.empty()) {
                QCoreApplication::postEvent(
                    dlg, new CSelectStockEvent(VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL"),
                                               Ta_SELECTSTOCK{market, code}));
                QCoreApplication::processEvents();
            }
            if (groupUtf8)
                qobject_cast<QComboBox*>(dlg->Control(3002))
                    ->setCurrentText(QString::fromUtf8(groupUtf8));
            QTest::mouseClick(qobject_cast<QPushButton*>(dlg->Control(1)), Qt::LeftButton);
        });
        CModalGuard guard;
        QTest::mouseClick(qobject_cast<QPushButton*>(page.Control(12010)), Qt::LeftButton);
    }

    // Runs script inside the settings sheet, on the "vira" tab.
    static void InSheet(std::function<void(CVelkPropertySheet&, CMagicAlertDlg&)> script)
    {
        QTimer::singleShot(0, [script] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            for (int i = 0; i < sheet->GetPageCount(); ++i) {
                if (auto* page = dynamic_cast<CMagicAlertDlg*>(sheet->GetPage(i))) {
                    sheet->TabControl()->setCurrentIndex(i);
                    script(*sheet, *page);
                    return;
                }
            }
            ADD_FAILURE() << "no vira tab";
        });
    }

    // Every message box so far as "text|caption|flags" (48: exclamation, OK).
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> shown;
        for (const auto& box : m_boxes.m_boxes)
            shown.push_back(box.text + "|" + box.caption + "|" + std::to_string(box.flags));
        return shown;
    }

    std::string StatusFile() const { return m_dir.Temp().File("SYS/MagicStatus.cfg"); }

    CScopedWorkDir m_dir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxService{m_boxes};
    std::vector<Ta_VELKPRICEALERT> m_list;
    int m_count = 0;
};

} // namespace

TEST_F(MagicPageTest, TheBoxesShowAndWriteTheCombinedStateOfTheSelectedStocks)
{
    auto page =
        Open({Stock(10, "600000", {1, 1, 1, 0, 1, 1}), Stock(10, "600036", {1, 1, 0, 1, 1, 1})});
    EXPECT_EQ(Stocks(*page)->selectedItems(), QList<QListWidgetItem*>{Stocks(*page)->item(1)})
        << "the last row";
    EXPECT_EQ(Boxes(*page), (Checks{1, 1, 0, 1, 1, 1}));

    ClickRow(*page, 0, Qt::ControlModifier);
    EXPECT_EQ(Boxes(*page), (Checks{1, 1, 0, 0, 1, 1}));
    ToggleEntry(*page, 5);
    EXPECT_EQ(Boxes(*page), (Checks{1, 1, 0, 0, 1, 0}));
    for (const Ta_VELKPRICEALERT& record : page->GetStocks())
        EXPECT_EQ(Switches(record, 6), (Checks{1, 1, 0, 0, 1, 0})) << record.m_szCode;

    ClickRow(*page, 0);
    EXPECT_EQ(Boxes(*page), (Checks{1, 1, 0, 0, 1, 0}));
    Stocks(*page)->clearSelection();
    EXPECT_EQ(Boxes(*page), (Checks{1, 1, 1, 1, 1, 1})) << "no selection shows every box checked";
    const std::vector<Ta_VELKPRICEALERT> before = page->GetStocks();
    ToggleEntry(*page, 1);
    EXPECT_EQ(Boxes(*page)[1], 0);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(RawBytes(page->GetStocks()[i]), RawBytes(before[i]))
            << "a click without a selection changes no stock";
    EXPECT_TRUE(m_list[0].m_nMagic[2] == 1) << "the engine's list waits for the commit";
}

TEST_F(MagicPageTest, DeletingTheFirstRowClearsTheBoxesAndALaterRowShowsTheNewLastRow)
{
    struct Case {
        int row;
        std::vector<std::string> left;
        Checks boxes;
    };
    for (const Case& c : {Case{1, {"600000", "600519"}, {0, 0, 1, 1, 0, 0}},
                          Case{0, {"600036", "600519"}, {0, 0, 0, 0, 0, 0}}}) {
        auto page = Open({Stock(10, "600000", {1, 1, 1, 1, 1, 1}), Stock(10, "600036", {1}),
                          Stock(1, "600519", {0, 0, 1, 1})});
        ClickRow(*page, c.row);
        Click(*page, 12011);
        std::vector<std::string> left;
        for (const Ta_VELKPRICEALERT& record : page->GetStocks())
            left.push_back(VelkFieldText(record.m_szCode));
        EXPECT_EQ(left, c.left) << c.row;
        EXPECT_EQ(Stocks(*page)->count(), 2);
        EXPECT_TRUE(Stocks(*page)->item(1)->isSelected()) << c.row;
        EXPECT_EQ(Boxes(*page), c.boxes) << c.row;
        EXPECT_EQ(Switches(page->GetStocks()[1], 4), (Checks{0, 0, 1, 1})) << "the switches stay";
    }
}

TEST_F(MagicPageTest, ShortcutsFireOncePerHeldKeyAndCtrlDPostsTheDeleteEvenWhenItIsDisabled)
{
    auto empty = Open({});
    EXPECT_FALSE(qobject_cast<QPushButton*>(empty->Control(12011))->isEnabled());
    ToggleEntry(*empty, 2);
    EXPECT_EQ(Boxes(*empty), (Checks{0, 0, 1, 0, 0, 0}));
    SendKey(Signals(*empty), QEvent::KeyPress, Qt::Key_D);
    SendKey(Signals(*empty), QEvent::KeyRelease, Qt::Key_D);
    QCoreApplication::processEvents();
    EXPECT_EQ(Boxes(*empty), (Checks{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(empty->GetStockCount(), 0);

    // Invert needs stocks, then a selection.
    SendKey(Stocks(*empty), QEvent::KeyPress, Qt::Key_R);
    SendKey(Stocks(*empty), QEvent::KeyRelease, Qt::Key_R);
    QCoreApplication::processEvents();
    auto page = Open({Stock(10, "600000", {1, 0, 1})});
    Stocks(*page)->clearSelection();
    Click(*page, 12008);
    const std::string app = QCoreApplication::applicationName().toStdString();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"请先在股票列表框中添加股票!|警告|48",
                                                 "请先在右边的列表框中选择股票!|" + app + "|0"}));

    ClickRow(*page, 0);
    EXPECT_EQ(Boxes(*page), (Checks{1, 0, 1, 0, 0, 0}));
    SendKey(Stocks(*page), QEvent::KeyPress, Qt::Key_R);
    for (int i = 0; i < 3; ++i) {
        SendKey(Stocks(*page), QEvent::KeyRelease, Qt::Key_R, true);
        SendKey(Stocks(*page), QEvent::KeyPress, Qt::Key_R, true);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Boxes(*page), (Checks{0, 1, 0, 1, 1, 1})) << "held down, Ctrl+R inverts once";
    EXPECT_EQ(Switches(page->GetStocks()[0], 6), (Checks{0, 1, 0, 1, 1, 1}));
    EXPECT_TRUE(Stocks(*page)->item(0)->isSelected());
    SendKey(Stocks(*page), QEvent::KeyRelease, Qt::Key_R);
    SendKey(Stocks(*page), QEvent::KeyPress, Qt::Key_R);
    QCoreApplication::processEvents();
    EXPECT_EQ(Switches(page->GetStocks()[0], 6), (Checks{1, 0, 1, 0, 0, 0}))
        << "released, it fires again";
}

TEST_F(MagicPageTest, AddingTakesLevelOneMarketsRefusesADuplicateAndSkipsKnownOrNamelessMembers)
{
    Catalogue(20);
    auto page = Open({});
    EXPECT_EQ(Signals(*page)->count(), 20);
    Add(*page, 10, "600000", "银行");
    ASSERT_EQ(page->GetStockCount(), 2)
        << "600000 of the group is the stock just added; 999999 has no name";
    EXPECT_EQ(VelkFieldText(page->GetStocks()[1].m_szCode), "600036");
    EXPECT_EQ(VelkFieldText(page->GetStocks()[1].m_szName), Gbk("招商银行"));
    for (const Ta_VELKPRICEALERT& record : page->GetStocks()) {
        EXPECT_EQ(+record.m_byMarket, 10);
        EXPECT_EQ(Switches(record, 18), Checks(18, 1)) << "every switch of a new stock is on";
    }
    EXPECT_TRUE(Stocks(*page)->item(1)->isSelected());
    EXPECT_EQ(Boxes(*page), [] {
        Checks c(20, 1);
        c[18] = c[19] = 0;
        return c;
    }()) << "entries past 18 have no switch";

    Add(*page, 1, "600036", "白酒");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"该股票已经在列表中!|警告|48"}));
    EXPECT_EQ(page->GetStockCount(), 2) << "the group chosen with a duplicate is not added";

    // Inverting the first of two neighbouring records must not reach into the second.
    ClickRow(*page, 0);
    Click(*page, 12008);
    EXPECT_EQ(Switches(page->GetStocks()[0], 18), Checks(18, 0));
    EXPECT_EQ(VelkFieldText(page->GetStocks()[1].m_szCode), "600036");
    EXPECT_EQ(+page->GetStocks()[1].m_byMarket, 10);
    EXPECT_EQ(Switches(page->GetStocks()[1], 18), Checks(18, 1));
}

TEST_F(MagicPageTest, ThePageTakesTheWholeEngineListWhateverTheCountSays)
{
    // Magic.cfg keeps the list and the monitor reads the list: a count lagging behind it (a
    // record added through the host's pointer) must not drop records at OK.
    for (int count : {-1, 0, 1, 2, 5}) {
        auto page = Open({Stock(10, "600000", {1}), Stock(10, "600036", {1})}, count);
        EXPECT_EQ(Stocks(*page)->count(), 2) << count;
        EXPECT_EQ(page->GetStockCount(), 2) << count;
        page->OnApply();
        EXPECT_EQ(m_count, 2) << count;
        ASSERT_EQ(m_list.size(), 2u) << count;
        EXPECT_EQ(VelkFieldText(m_list[1].m_szCode), "600036") << count;
    }
    CMagicAlertDlg unbound;
    unbound.AttachList(nullptr, nullptr);
    unbound.CreatePageWindow();
    EXPECT_TRUE(unbound.OnApply());
}

TEST_F(MagicPageTest, AfterCtrlAOpenedTheStockDialogTheNextShortcutStillFires)
{
    auto page = Open({Stock(10, "600000", {1}), Stock(10, "600036", {1})});
    ASSERT_TRUE(Stocks(*page)->item(1)->isSelected());
    {
        CModalGuard guard;
        SendKey(Stocks(*page), QEvent::KeyPress, Qt::Key_A);
        // The letter's release goes to the stock dialog, never through the page.
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dynamic_cast<CSelectStockDlg*>(dialog), nullptr);
            SendKey(dialog, QEvent::KeyRelease, Qt::Key_A);
            qobject_cast<QDialog*>(dialog)->reject();
        });
        QCoreApplication::processEvents();
    }
    SendKey(Stocks(*page), QEvent::KeyPress, Qt::Key_D);
    SendKey(Stocks(*page), QEvent::KeyRelease, Qt::Key_D);
    QCoreApplication::processEvents();
    EXPECT_EQ(page->GetStockCount(), 1) << "Ctrl+D after the dialog deletes the selected stock";
    EXPECT_EQ(VelkShortcutLatch(), 1);
}

TEST_F(MagicPageTest, OkLeavesTheStatusOfEntriesWithoutASwitchAlone)
{
    Catalogue(20); // entries 18 and 19 carry the catalogue numbers 20 and 21
    VelkMagicStatusTable().SetEntries({{0, 0}, {20, 1}, {21, 1}});
    auto page = Open({Stock(10, "600000", Checks(18, 1))});
    EXPECT_EQ(Boxes(*page)[0], 1);
    page->OnApply();
    EXPECT_EQ(VelkMagicStatusTable().GetEntries(),
              (CMagicStatusTable::Entries{{0, 1}, {20, 1}, {21, 1}}));
}

TEST_F(MagicPageTest, CancelRewritesOnlyTheStatusFileAndOkCommitsTheListAndTheStates)
{
    Catalogue(16);
    auto entry = [](std::int32_t key, std::int32_t state) {
        return RawBytes(key) + RawBytes(state);
    };
    ASSERT_TRUE(VelkReplaceFile(StatusFile(), entry(15, 0) + entry(3, 1) + entry(13, 0) + "tail"));
    const Ta_VELKPRICEALERT watched = Stock(10, "600036", {0, 1, 0, 0});
    CSettingsBinding binding;
    binding.magicList = {watched};
    binding.magicCount = 1;
    CRecordingSettingsSink sink;
    CVelkWindowing windowing;

    InSheet([](CVelkPropertySheet& sheet, CMagicAlertDlg& page) {
        Add(page, 10, "600000", nullptr);
        sheet.reject();
    });
    {
        CModalGuard guard;
        EXPECT_EQ(windowing.RunSettingsSheet(binding, sink), VelkMsgBox::kIdCancel);
    }
    EXPECT_TRUE(sink.m_taken.empty()) << "cancelled";
    EXPECT_FALSE(binding.bMagicCommitted);
    ASSERT_EQ(binding.magicList.size(), 1u);
    EXPECT_EQ(RawBytes(binding.magicList[0]), RawBytes(watched)) << "cancelled";
    EXPECT_EQ(binding.magicCount, 1);
    std::string bytes;
    ASSERT_TRUE(VelkReadFile(StatusFile(), bytes));
    EXPECT_EQ(bytes, entry(3, 1) + entry(13, 0) + entry(15, 0));

    InSheet([](CVelkPropertySheet& sheet, CMagicAlertDlg& page) {
        Add(page, 10, "600000", nullptr);
        sheet.accept();
    });
    {
        CModalGuard guard;
        EXPECT_EQ(windowing.RunSettingsSheet(binding, sink), VelkMsgBox::kIdOk);
    }
    ASSERT_EQ(sink.m_taken.size(), 1u);
    const CSettingsBinding& taken = sink.m_taken[0];
    EXPECT_TRUE(taken.bMagicCommitted);
    ASSERT_EQ(taken.magicList.size(), 2u);
    EXPECT_EQ(taken.magicCount, 2);
    EXPECT_EQ(VelkFieldText(taken.magicList[1].m_szCode), "600000");
    // The boxes showed the new stock, every signal on. An entry updates the state of its
    // catalogue number (15 is the 14th entry); 13 is no signal of the catalogue, and the
    // signals the table never held are not added.
    EXPECT_EQ(VelkMagicStatusTable().GetEntries(),
              (CMagicStatusTable::Entries{{3, 1}, {13, 0}, {15, 1}}));
    ASSERT_TRUE(VelkReadFile(StatusFile(), bytes));
    EXPECT_EQ(CMagicStatusTable::Parse(bytes), VelkMagicStatusTable().GetEntries());
}

TEST_F(MagicPageTest, AStockAddedOnThePageRaisesItsSignalAfterOk)
{
    CTempDir sysDir;
    CVelkWindowing windowing;
    CRecordingSound sound;
    CFixedClock clock;
    CVelkServices services{&windowing, &VelkMessageBoxDispatcher(), &sound, &clock};
    auto engine = std::make_unique<CVelkAlert>(services);
    CString path = sysDir.Path();
    engine->SetSYSPath(path);
    engine->Start();

    InSheet([](CVelkPropertySheet& sheet, CMagicAlertDlg& page) {
        Add(page, 1, "600000", nullptr);
        sheet.accept();
    });
    {
        CModalGuard guard;
        engine->SetAlertCondition();
    }
    engine->WaitForRegistration();
    EXPECT_EQ(engine->GetMagicAlertCount(), 1);
    EXPECT_EQ(engine->GetMagicAlertMap().count("0a600000"), 1u);

    m_store.AddMagicRow(10, "20211201",
                        {X1Format::Text(1018, "600000"), X1Format::Time(143, 10, 15, 0),
                         X1Format::Price(125, 8.5), X1Format::Integer(1994, 4)});
    engine->GetNewMagicSignal(10);
    ASSERT_EQ(engine->GetAlertRecords().size(), 1u);
    EXPECT_EQ(VelkFieldText(engine->GetAlertRecords()[0].m_szCode), "600000");
    EXPECT_EQ(VelkFieldText(engine->GetAlertRecords()[0].m_szReason), "signal 4");
    engine.reset();
}

// Full disks and taken names: a save of the states that fails is told as the condition files'
// failures are, naming the file; a host without the folder keeps no states and hears nothing.
TEST_F(MagicPageTest, AStatusFileThatCannotBeWrittenIsToldAndAMissingFolderIsNot)
{
    VelkMagicStatusTable().SetEntries({{1, 0}});
    const std::string sys = m_dir.Temp().File("SYS");
    std::filesystem::remove_all(sys);
    Open({}).reset();
    EXPECT_TRUE(Shown().empty()) << "no SYS folder";
    EXPECT_FALSE(std::filesystem::exists(sys));

    std::filesystem::create_directories(StatusFile());
    ASSERT_TRUE(std::filesystem::is_directory(StatusFile()));
    Open({}).reset();
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_NE(Shown()[0].find("以下文件无法保存"), std::string::npos) << Shown()[0];
    EXPECT_NE(Shown()[0].find("MagicStatus.cfg"), std::string::npos) << Shown()[0];
    EXPECT_NE(Shown()[0].find("|警告|48"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(StatusFile())) << "the folder stays";
}
