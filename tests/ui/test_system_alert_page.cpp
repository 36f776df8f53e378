#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "platform/core/VelkFile.h"
#include "res/VelkStringTable.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/support/CRecordingSettingsSink.h"
#include "tests/support/GbkText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CSelectStockDlg.h"
#include "ui/CSelectStockEvent.h"
#include "ui/CSystemAlertDlg.h"
#include "ui/CVelkPropertySheet.h"
#include "ui/CVelkWindowing.h"

namespace {

using TA = CVelkAlertTestAccess;

std::string SystemFileBytes(const Ta_SYSTEMSWITCH& switches,
                            const std::vector<Ta_VELKPRICEALERT>& records)
{
    std::string bytes = RawBytes(switches);
    for (const Ta_VELKPRICEALERT& r : records)
        bytes += RawBytes(r);
    return bytes;
}

std::vector<std::string> Codes(const std::vector<Ta_VELKPRICEALERT>& records)
{
    std::vector<std::string> codes;
    for (const Ta_VELKPRICEALERT& r : records)
        codes.push_back(std::to_string(r.m_byMarket) + "/" + VelkFieldText(r.m_szCode));
    return codes;
}

template <typename T> T* Ctl(const CVelkPropertyPage& page, int id)
{
    return qobject_cast<T*>(page.Control(id));
}

QStringList Names(const CVelkPropertyPage& page)
{
    QStringList names;
    auto* list = Ctl<QListWidget>(page, 12015);
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

void Click(const CVelkPropertyPage& page, int id)
{
    QTest::mouseClick(Ctl<QAbstractButton>(page, id), Qt::LeftButton);
}

// Picks a stock (market 0 = none) and a group ("" = none) in the stock dialog and confirms.
void AnswerStockDialog(unsigned char market, const std::string& code, const char* groupUtf8,
                       bool ok = true)
{
    auto* dlg = dynamic_cast<CSelectStockDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->m_nMode, 1);
    if (market != 0) {
        QCoreApplication::postEvent(
            dlg, new CSelectStockEvent(VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL"),
                                       Ta_SELECTSTOCK{market, code}));
        QCoreApplication::processEvents();
    }
    auto* groups = qobject_cast<QComboBox*>(dlg->Control(3002));
    groups->setCurrentIndex(groups->findText(QString::fromUtf8(groupUtf8)));
    QTest::mouseClick(dlg->Control(ok ? 1 : 2), Qt::LeftButton);
}

// Sends a key to whichever widget has the focus, as the platform delivers it.
void Key(QEvent::Type type, int key, bool autoRepeat = false)
{
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QKeyEvent event(type, key, Qt::ControlModifier, QString(), autoRepeat);
    QApplication::sendEvent(target, &event);
}

void CtrlKey(int key)
{
    Key(QEvent::KeyPress, key);
    Key(QEvent::KeyRelease, key);
    QCoreApplication::processEvents();
}

class SystemAlertPageTest : public ::testing::Test {
protected:
    SystemAlertPageTest()
    {
        m_store.AddMarket(1, "SH", 1);
        m_store.AddMarket(2, "SZ", 2);
        m_store.AddSymbol(1, "600000", Gbk("浦发银行"));
        m_store.AddSymbol(1, "600036", Gbk("招商银行"));
        m_store.AddSymbol(1, "601398", Gbk("工商银行"));
        m_store.AddSymbol(2, "000001", Gbk("平安银行"));
        m_store.AddSymbol(2, "000002", Gbk("万科A"));
        m_store.AddSymbol(2, "600000", Gbk("同码"));
        m_store.SetCurrentUser("u1");
        VelkShortcutLatch() = 1;
    }

    void WriteSystemFile(const Ta_SYSTEMSWITCH& switches,
                         const std::vector<Ta_VELKPRICEALERT>& records)
    {
        ASSERT_TRUE(VelkReplaceFile(SystemFile(), SystemFileBytes(switches, records)));
    }
    std::string SystemFile() const { return m_dir.File("System_alert.cfg"); }
    // What the engine writes to System_alert.cfg when it takes the page's commit.
    std::string CommittedBytes() const
    {
        EXPECT_TRUE(m_binding.bSystemCommitted);
        return SystemFileBytes(m_binding.systemSwitches, m_binding.systemList);
    }
    std::string ReadSystemFile() const
    {
        std::string bytes;
        VelkReadFile(SystemFile(), bytes);
        return bytes;
    }

    // The page bound as the sheet binds it, with its window created and shown.
    std::unique_ptr<CSystemAlertDlg> OpenPage()
    {
        auto page = std::make_unique<CSystemAlertDlg>();
        m_binding.strSysPath = m_dir.Path();
        page->BindSettings(m_binding);
        page->CreatePageWindow();
        page->show();
        page->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(page.get()));
        return page;
    }

    // Clicks Add; the stock dialog it opens is answered by the given lambda.
    void RunAdd(CSystemAlertDlg& page, std::function<void()> answer)
    {
        QTimer::singleShot(0, std::move(answer));
        CModalGuard guard;
        Click(page, 1090);
    }

    const std::vector<Ta_VELKPRICEALERT> kTwo{MakeWatch(1, "600000", Gbk("浦发银行")),
                                              MakeWatch(2, "000002", Gbk("万科A"))};

    CTempDir m_dir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxService{m_boxes};
    // The sheet's copies of the engine's settings, which the page starts from and commits into.
    CSettingsBinding m_binding;
};

TEST_F(SystemAlertPageTest, TheRangeDecidesWhatTheListShowsAndWhichControlsAreEnabled)
{
    struct Case {
        int range;
        int checkedRadio; // 0: none
    };
    for (const Case c : {Case{2, 12002}, Case{1, 12001}, Case{0, 12000}, Case{7, 0}}) {
        SCOPED_TRACE(c.range);
        WriteSystemFile({1, 0, 1, c.range}, kTwo);
        auto page = OpenPage();
        for (int radio : {12000, 12001, 12002})
            EXPECT_EQ(Ctl<QRadioButton>(*page, radio)->isChecked(), radio == c.checkedRadio)
                << radio;
        const bool selfSet = c.range == 2;
        auto* list = Ctl<QListWidget>(*page, 12015);
        EXPECT_EQ(list->count(), selfSet ? 2 : 0);
        for (int id : {12015, 1090, 1088, 1087})
            EXPECT_EQ(page->Control(id)->isEnabled(), selfSet) << id;
        EXPECT_EQ(page->m_vecStock.size(), 2u) << "the stocks are kept whatever is shown";
        if (selfSet) {
            EXPECT_EQ(Names(*page),
                      (QStringList{QString::fromUtf8("浦发银行"), QString::fromUtf8("万科A")}));
            EXPECT_EQ(list->selectedItems(), QList<QListWidgetItem*>{list->item(1)});
            EXPECT_EQ(QApplication::focusWidget(), list);
        }
        // A range the page cannot show is committed as it was.
        page->OnOK();
        EXPECT_EQ(CommittedBytes(), SystemFileBytes({1, 0, 1, c.range}, kTwo));
    }

    WriteSystemFile({0, 0, 1, 1}, kTwo);
    auto page = OpenPage();
    Click(*page, 12002);
    EXPECT_EQ(Names(*page).size(), 2);
    EXPECT_TRUE(page->Control(1088)->isEnabled());
}

TEST_F(SystemAlertPageTest, EditsAreCommittedWhateverTheRangeAndCommittingAgainChangesNothing)
{
    WriteSystemFile({1, 1, 0, 2}, kTwo);
    m_binding.systemList = {MakeWatch(1, "601398")};
    auto page = OpenPage();
    auto* list = Ctl<QListWidget>(*page, 12015);
    list->clearSelection();
    Click(*page, 1088);
    EXPECT_EQ(page->m_vecStock.size(), 2u) << "Delete without a selection";
    list->item(0)->setSelected(true);
    Click(*page, 1088);
    // System defaults touch the switches only; 12001 hides the list but keeps the stocks.
    Click(*page, 1107);
    EXPECT_TRUE(Ctl<QRadioButton>(*page, 12002)->isChecked());
    Click(*page, 12001);
    EXPECT_EQ(list->count(), 0);
    const std::string expected = SystemFileBytes({0, 0, 1, 1}, {kTwo[1]});

    // The sheet's OK reaches OnApply, which commits through OnOK as well; either way, and
    // again, the result is the same.
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(page->OnApply());
        EXPECT_EQ(CommittedBytes(), expected);
        EXPECT_EQ(Codes(m_binding.systemList), std::vector<std::string>{"2/000002"});
        EXPECT_EQ(RawBytes(m_binding.systemSwitches), RawBytes(Ta_SYSTEMSWITCH{0, 0, 1, 1}));
        EXPECT_EQ(ReadSystemFile(), SystemFileBytes({1, 1, 0, 2}, kTwo))
            << "the page leaves the file to the engine";
    }
}

TEST_F(SystemAlertPageTest, WithoutAReadableFileThePageStartsFromTheEnginesSwitchesAndList)
{
    m_binding.systemList = {MakeWatch(1, "601398", Gbk("工商银行"))};
    m_binding.systemSwitches = {0, 1, 0, 2};
    auto page = OpenPage();
    EXPECT_FALSE(Ctl<QCheckBox>(*page, 1092)->isChecked());
    EXPECT_TRUE(Ctl<QCheckBox>(*page, 1093)->isChecked());
    EXPECT_FALSE(Ctl<QCheckBox>(*page, 1094)->isChecked());
    EXPECT_EQ(Names(*page), QStringList{QString::fromUtf8("工商银行")});
    EXPECT_FALSE(VelkFileExists(SystemFile())) << "nothing is written before the commit";
    EXPECT_FALSE(m_binding.bSystemCommitted);
    EXPECT_EQ(Codes(m_binding.systemList), std::vector<std::string>{"1/601398"});
}

TEST_F(SystemAlertPageTest, AddRefusesAListedCodeWhateverItsMarketAndAppendsAGroupsNewMembers)
{
    m_store.AddUserGroup("u1", Gbk("银行"),
                         {CSymbolInfo(2, "000002"), CSymbolInfo(1, "600036"),
                          CSymbolInfo(1, "601398"), CSymbolInfo(9, "999999"),
                          CSymbolInfo(2, "000001"), CSymbolInfo(1, "600036")});
    WriteSystemFile({0, 0, 1, 2}, kTwo);
    auto page = OpenPage();

    RunAdd(*page, [] { AnswerStockDialog(2, "600000", ""); });
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, "该股票已经在列表中!");
    EXPECT_EQ(m_boxes.m_boxes[0].caption, "警告");
    EXPECT_EQ(m_boxes.m_boxes[0].flags, VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
    EXPECT_EQ(Names(*page).size(), 2);

    RunAdd(*page, [] { AnswerStockDialog(1, "601398", "", false); });
    EXPECT_EQ(page->m_vecStock.size(), 2u) << "cancelled";

    // The chosen stock first, then the group's members in order: listed codes (also the one
    // just chosen and a repeat) are passed over silently, a stock without quotes is skipped.
    RunAdd(*page, [] { AnswerStockDialog(1, "601398", "银行"); });
    EXPECT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(Codes(page->m_vecStock), (std::vector<std::string>{"1/600000", "2/000002", "1/601398",
                                                                 "1/600036", "2/000001"}));
    EXPECT_EQ(Names(*page),
              (QStringList{QString::fromUtf8("浦发银行"), QString::fromUtf8("万科A"),
                           QString::fromUtf8("工商银行"), QString::fromUtf8("招商银行"),
                           QString::fromUtf8("平安银行")}));
    EXPECT_TRUE(page->Control(1088)->isEnabled());
}

TEST_F(SystemAlertPageTest, CtrlShortcutsFireOncePerPressAndOnlyForTheSelfSetRange)
{
    WriteSystemFile({0, 0, 1, 1}, {MakeWatch(1, "600000"), MakeWatch(1, "600036"),
                                   MakeWatch(1, "601398"), MakeWatch(2, "000001")});
    auto page = OpenPage();
    for (QWidget* focus : {page->Control(1092), static_cast<QWidget*>(page.get())}) {
        focus->setFocus();
        CModalGuard guard; // a stock dialog opened by mistake is closed, and fails the test
        for (int key : {Qt::Key_A, Qt::Key_C, Qt::Key_D})
            CtrlKey(key);
    }
    EXPECT_EQ(page->m_vecStock.size(), 4u);

    Click(*page, 12002);
    ASSERT_EQ(QApplication::focusWidget(), page->Control(12015));
    // Held down: the platform repeats release-press pairs marked as repeats.
    Key(QEvent::KeyPress, Qt::Key_D);
    for (int i = 0; i < 5; ++i) {
        Key(QEvent::KeyRelease, Qt::Key_D, true);
        Key(QEvent::KeyPress, Qt::Key_D, true);
    }
    Key(QEvent::KeyRelease, Qt::Key_D);
    QCoreApplication::processEvents();
    EXPECT_EQ(Codes(page->m_vecStock),
              (std::vector<std::string>{"1/600000", "1/600036", "1/601398"}));
    // A key for the page window itself is answered once, not by the latch and the page both.
    page->setFocus();
    CtrlKey(Qt::Key_D);
    EXPECT_EQ(page->m_vecStock.size(), 2u);

    // Ctrl+A opens the stock dialog, and the letter's release goes to that dialog: the next
    // shortcut on the page must still work.
    {
        CModalGuard guard;
        Key(QEvent::KeyPress, Qt::Key_A);
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dynamic_cast<CSelectStockDlg*>(dialog), nullptr);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier);
            QApplication::sendEvent(dialog, &release);
            AnswerStockDialog(0, "", "", false);
        });
        QCoreApplication::processEvents();
    }
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    CtrlKey(Qt::Key_D);
    EXPECT_EQ(page->m_vecStock.size(), 1u);
    // Ctrl+C asks before it clears; No, the default, keeps the list.
    CtrlKey(Qt::Key_C);
    EXPECT_EQ(page->m_vecStock.size(), 1u);
    ASSERT_FALSE(m_boxes.m_boxes.empty());
    EXPECT_EQ(m_boxes.m_boxes.back().flags,
              VelkMsgBox::kYesNo | VelkMsgBox::kIconExclamation | VelkMsgBox::kDefaultSecond);
    m_boxes.m_answers = {VelkMsgBox::kIdYes};
    CtrlKey(Qt::Key_C);
    EXPECT_TRUE(page->m_vecStock.empty());
    EXPECT_EQ(Names(*page).size(), 0);
}

// The settings sheet as the engine runs it, with the real windows.
class SystemAlertSheetTest : public SystemAlertPageTest {
protected:
    SystemAlertSheetTest()
    {
        CVelkServices services{&m_windowing, &VelkMessageBoxDispatcher(), &m_sound, &m_clock};
        m_engine = std::make_unique<CVelkAlert>(services);
        CString path = m_dir.Path();
        m_engine->SetSYSPath(path);
    }

    // Runs SetAlertCondition; the sheet is handed to the lambda, which ends it.
    void RunSheet(std::function<void(CVelkPropertySheet&)> drive)
    {
        QTimer::singleShot(0, [drive] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            drive(*sheet);
        });
        CModalGuard guard;
        m_engine->SetAlertCondition();
    }

    static CVelkPropertyPage& FirstPage(CVelkPropertySheet& sheet) { return *sheet.GetPage(0); }
    static void Press(CVelkPropertySheet& sheet, int id)
    {
        for (QPushButton* b : sheet.findChildren<QPushButton*>()) {
            if (b->property("controlId").toInt() == id)
                QTest::mouseClick(b, Qt::LeftButton);
        }
    }

    std::map<std::string, std::string> DirectoryBytes() const
    {
        std::map<std::string, std::string> files;
        // The folder's lock file is no content: it stays from the first save on.
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
            if (entry.path().filename() != ".velk.lock")
                VelkReadFile(entry.path().string(), files[entry.path().filename().string()]);
        return files;
    }

    CScopedWorkDir m_work;
    CVelkWindowing m_windowing;
    CRecordingSound m_sound;
    CFixedClock m_clock;
    std::unique_ptr<CVelkAlert> m_engine;
};

TEST_F(SystemAlertSheetTest, OkAfterOnlyTheFirstTabCommitsThatPageAndSavesTheConditions)
{
    WriteSystemFile({0, 0, 1, 2}, {kTwo[0]});
    m_engine->Start();
    TA::SetPriceList(*m_engine, {MakeWatch(1, "600036", "", 9.5f, 8.0f)});
    TA::SetMagicList(*m_engine, {MakeWatch(2, "000001")});
    TA::Options(*m_engine).m_nSoundMode = 2;
    const Ta_OTHERALERT options = TA::Options(*m_engine);
    ASSERT_FALSE(VelkFileExists(m_dir.File("alert.cfg")));

    RunSheet([](CVelkPropertySheet& sheet) {
        EXPECT_EQ(sheet.TabControl()->currentIndex(), 0);
        EXPECT_EQ(sheet.TabControl()->tabText(0), QString::fromUtf8("系统预警"));
        std::vector<int> sheetButtons;
        for (QPushButton* b : sheet.findChildren<QPushButton*>()) {
            if (!FirstPage(sheet).isAncestorOf(b))
                sheetButtons.push_back(b->property("controlId").toInt());
        }
        std::sort(sheetButtons.begin(), sheetButtons.end());
        EXPECT_EQ(sheetButtons, (std::vector<int>{1, 2})) << "OK and Cancel, no Apply";
        Ctl<QCheckBox>(FirstPage(sheet), 1092)->click();
        Press(sheet, 1);
    });

    EXPECT_EQ(RawBytes(m_engine->GetSystemSwitch()), RawBytes(Ta_SYSTEMSWITCH{1, 0, 1, 2}));
    EXPECT_EQ(Codes(TA::SystemList(*m_engine)), std::vector<std::string>{"1/600000"});
    EXPECT_EQ(m_engine->GetSystemAlertMap().count("1600000"), 1u);
    EXPECT_EQ(Codes(TA::PriceList(*m_engine)), std::vector<std::string>{"1/600036"});
    EXPECT_FLOAT_EQ(TA::PriceList(*m_engine)[0].m_fUpper, 9.5f);
    EXPECT_EQ(Codes(TA::MagicList(*m_engine)), std::vector<std::string>{"2/000001"});
    EXPECT_EQ(RawBytes(TA::Options(*m_engine)), RawBytes(options));
    EXPECT_TRUE(TA::WorkerJoinable(*m_engine));

    CVelkAlert reloaded(CVelkServices{nullptr, nullptr, nullptr, &m_clock});
    CString path = m_dir.Path();
    reloaded.SetSYSPath(path);
    EXPECT_EQ(reloaded.LoadAlertCondition(), 1) << "alert.cfg and Magic.cfg written";
    EXPECT_EQ(TA::Options(reloaded).m_nSoundMode, 2);
    EXPECT_EQ(ReadSystemFile(), SystemFileBytes({1, 0, 1, 2}, {kTwo[0]}));
}

TEST_F(SystemAlertSheetTest, OkAfterOpeningEveryTabCommitsEveryPage)
{
    WriteSystemFile({0, 0, 1, 2}, {kTwo[0]});
    m_engine->Start();
    TA::SetPriceList(*m_engine, {MakeWatch(1, "600036", "", 9.5f, 8.0f)});
    TA::SetMagicList(*m_engine, {MakeWatch(2, "000001"), MakeWatch(1, "600000")});
    TA::Options(*m_engine).m_nSoundMode = 1;
    m_boxes.m_answers = {VelkMsgBox::kIdYes};

    RunSheet([](CVelkPropertySheet& sheet) {
        ASSERT_EQ(sheet.GetPageCount(), 4);
        QStringList tabs;
        for (int i = 0; i < sheet.TabControl()->count(); ++i)
            tabs << sheet.TabControl()->tabText(i);
        EXPECT_EQ(tabs,
                  (QStringList{QString::fromUtf8("系统预警"), QStringLiteral("vira"),
                               QString::fromUtf8("指定股票"), QString::fromUtf8("其他设置")}));
        for (int i = 3; i >= 0; --i)
            sheet.TabControl()->setCurrentIndex(i);
        Ctl<QCheckBox>(*sheet.GetPage(0), 1092)->click();
        // The magic page selects its last stock when it opens; delete takes that one.
        QTest::mouseClick(sheet.GetPage(1)->Control(12011), Qt::LeftButton);
        QTest::mouseClick(sheet.GetPage(2)->Control(1087), Qt::LeftButton);
        Ctl<QRadioButton>(*sheet.GetPage(3), 12000)->click();
        Press(sheet, 1);
    });

    EXPECT_EQ(RawBytes(m_engine->GetSystemSwitch()), RawBytes(Ta_SYSTEMSWITCH{1, 0, 1, 2}));
    EXPECT_EQ(Codes(TA::MagicList(*m_engine)), std::vector<std::string>{"2/000001"});
    EXPECT_EQ(m_engine->GetMagicAlertCount(), 1);
    EXPECT_TRUE(TA::PriceList(*m_engine).empty());
    EXPECT_EQ(m_engine->GetPriceAlertCount(), 0);
    EXPECT_EQ(TA::Options(*m_engine).m_nSoundMode, 0);
    std::string alertCfg;
    ASSERT_TRUE(VelkReadFile(m_dir.File("alert.cfg"), alertCfg));
    EXPECT_EQ(alertCfg.size(), 309u);
}

TEST_F(SystemAlertSheetTest, AFileThePageCouldNotSaveIsNamedInTheWarningAfterOk)
{
    m_engine->Start();
    std::filesystem::create_directory(SystemFile());
    RunSheet([](CVelkPropertySheet& sheet) { Press(sheet, 1); });
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_NE(m_boxes.m_boxes[0].text.find("System_alert.cfg"), std::string::npos);
    EXPECT_EQ(m_boxes.m_boxes[0].caption, "警告");
}

TEST_F(SystemAlertSheetTest, CancelCommitsNothingStartsNoWorkerAndLeavesEveryFileAlone)
{
    WriteSystemFile({1, 0, 1, 2}, kTwo);
    m_engine->Start();
    m_engine->SaveAlertCondition();
    const auto before = DirectoryBytes();
    ASSERT_EQ(before.size(), 3u);
    const std::vector<std::string> registered = Codes(TA::SystemList(*m_engine));

    RunSheet([](CVelkPropertySheet& sheet) {
        CVelkPropertyPage& page = FirstPage(sheet);
        QTest::mouseClick(page.Control(1087), Qt::LeftButton);
        Ctl<QCheckBox>(page, 1094)->click();
        QTest::mouseClick(page.Control(12001), Qt::LeftButton);
        Press(sheet, 2);
    });

    EXPECT_EQ(DirectoryBytes(), before);
    EXPECT_EQ(Codes(TA::SystemList(*m_engine)), registered);
    EXPECT_EQ(RawBytes(m_engine->GetSystemSwitch()), RawBytes(Ta_SYSTEMSWITCH{1, 0, 1, 2}));
    EXPECT_FALSE(TA::WorkerJoinable(*m_engine));
}

TEST_F(SystemAlertSheetTest, AStockAddedOnThePageRaisesItsSystemAlertAfterOk)
{
    m_engine->Start();
    TA::Options(*m_engine).m_byPopup = 0;
    ASSERT_TRUE(TA::SystemList(*m_engine).empty());

    RunSheet([](CVelkPropertySheet& sheet) {
        QTimer::singleShot(0, [] { AnswerStockDialog(1, "600000", ""); });
        QTest::mouseClick(FirstPage(sheet).Control(1090), Qt::LeftButton);
        Press(sheet, 1);
    });
    m_engine->WaitForRegistration();
    EXPECT_TRUE(m_store.IsSubscribed(1, "600000"));
    EXPECT_EQ(ReadSystemFile(),
              SystemFileBytes({0, 0, 1, 2}, {MakeWatch(1, "600000", Gbk("浦发银行"))}));

    for (const X1Format& v :
         {X1Format::Price(125, 11.0), X1Format::Volume(413, 500), X1Format::Price(132, 11.0),
          X1Format::Price(133, 9.0), X1Format::Price(130, 11.0), X1Format::Price(131, 10.0),
          X1Format::Time(143, 10, 30, 0)})
        m_store.SetItem(1, "600000", v);
    CMemoryInfo info(1, "600000");
    m_engine->vRecvNewMemory(&info);
    ASSERT_EQ(m_engine->GetAlertRecords().size(), 1u);
    const Ta_ALERTRECORD& alert = m_engine->GetAlertRecords()[0];
    EXPECT_EQ(VelkFieldText(alert.m_szCode), "600000");
    EXPECT_EQ(VelkFieldText(alert.m_szReason), VelkReasonText(2));
}

} // namespace

namespace {

// A commit the engine refuses reaches the user with the engine's reason while the sheet stays
// open on the values to correct; the next OK hands the value over again, Cancel hands nothing.
TEST_F(SystemAlertSheetTest, ACommitTheEngineRefusesIsShownAndKeepsTheSheetOpen)
{
    WriteSystemFile({0, 0, 1, 2}, kTwo);
    for (int second : {1, 2}) {
        SCOPED_TRACE(second);
        CRecordingSettingsSink sink;
        sink.m_nRefusals = 1;
        sink.m_strReasonGbk = Gbk("监控股票太多, 设置未被接受。");
        m_boxes.m_boxes.clear();
        bool stayedOpen = false;
        std::size_t boxesAtRefusal = 0;
        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            Ctl<QCheckBox>(FirstPage(*sheet), 1092)->click();
            Press(*sheet, 1);
            stayedOpen = sheet->isVisible() && QApplication::activeModalWidget() == sheet;
            boxesAtRefusal = m_boxes.m_boxes.size();
            Press(*sheet, second);
        });
        CSettingsBinding binding;
        binding.strSysPath = m_dir.Path();
        {
            CModalGuard guard;
            EXPECT_EQ(m_windowing.RunSettingsSheet(binding, sink),
                      second == 1 ? VelkMsgBox::kIdOk : VelkMsgBox::kIdCancel);
        }
        EXPECT_TRUE(stayedOpen);
        ASSERT_EQ(boxesAtRefusal, 1u);
        EXPECT_EQ(m_boxes.m_boxes[0].text, "监控股票太多, 设置未被接受。");
        EXPECT_EQ(m_boxes.m_boxes[0].caption, "警告");
        EXPECT_EQ(m_boxes.m_boxes[0].flags, VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        EXPECT_EQ(m_boxes.m_boxes.size(), 1u) << "the value taken at the second OK says nothing";
        ASSERT_EQ(sink.m_taken.size(), second == 1 ? 2u : 1u);
        for (const CSettingsBinding& taken : sink.m_taken) {
            EXPECT_TRUE(taken.bSystemCommitted);
            EXPECT_EQ(+taken.systemSwitches.m_byNewHigh, 1);
            EXPECT_EQ(Codes(taken.systemList), Codes(kTwo));
            EXPECT_FALSE(taken.bMagicCommitted || taken.bPriceCommitted || taken.bOptionsCommitted)
                << "tabs never opened commit nothing";
        }
        EXPECT_EQ(ReadSystemFile(), SystemFileBytes({0, 0, 1, 2}, kTwo))
            << "the file is the engine's to write";
    }
}

} // namespace
