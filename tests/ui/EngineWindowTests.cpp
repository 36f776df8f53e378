#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include "engine/CVelkAlert.h"
#include "engine/VelkServices.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/QtText.h"
#include "platform/qt/ResourceSwitch.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/support/CRecordingSettingsSink.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CAlertListDlg.h"
#include "ui/CAlertListModel.h"
#include "ui/CAlertWindowHandle.h"
#include "ui/CVelkPropertySheet.h"
#include "ui/CVelkWindowing.h"

namespace {

// An engine with the real windows and a scripted message box, silent, at a fixed time.
class EngineWindowTest : public ::testing::Test {
protected:
    EngineWindowTest() : m_backend(m_store), m_boxes(m_recorder), m_main(&m_mainWindow)
    {
        m_store.SetTradeDate(20211201);
        m_mainWindow.resize(800, 600);
        m_mainWindow.move(100, 50);
        m_mainWindow.show();
    }

    std::unique_ptr<CVelkAlert> MakeEngine()
    {
        CVelkServices services;
        services.pWindowing = &m_windowing;
        services.pMessageBox = &VelkMessageBoxDispatcher();
        services.pSound = &m_sound;
        services.pClock = &m_clock;
        auto engine = std::make_unique<CVelkAlert>(services);
        CVelkAlertTestAccess::SetPriceList(*engine, {MakeWatch(1, "600000", "", 10.0f, 0)});
        return engine;
    }

    static void RaiseAlert(CVelkAlert& engine, float price, std::int32_t time)
    {
        Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", price, time);
        CVelkAlertTestAccess::PriceList(engine)[0].m_fLast = 9.0f;
        engine.ProcessAlert(&quote, 0);
    }

    static CAlertListDlg* Dialog(CVelkAlert& engine)
    {
        auto* handle = dynamic_cast<CAlertWindowHandle*>(engine.GetAlertWindow());
        return handle ? handle->Dialog() : nullptr;
    }

    CScopedWorkDir m_dir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend;
    CScriptedMessageBox m_recorder;
    CScopedMessageBoxService m_boxes;
    CRecordingMainWindow m_mainWindow;
    CScopedMainWindow m_main;
    CVelkWindowing m_windowing;
    CRecordingSound m_sound;
    CFixedClock m_clock;
};

TEST_F(EngineWindowTest, PopShowsTheWindowCentredOnTheMainWindowAndClearsTheFlag)
{
    auto engine = MakeEngine();
    CVelkAlertTestAccess::Options(*engine).m_byPopup = 0;
    RaiseAlert(*engine, 10.0f, 36000);
    EXPECT_EQ(engine->GetNewAlertFlag(), 1);
    EXPECT_FALSE(engine->HasAlertWindow());

    engine->PopAlertDialog();
    CAlertListDlg* dlg = Dialog(*engine);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(engine->GetNewAlertFlag(), 0);
    EXPECT_EQ(dlg->parentWidget(), &m_mainWindow);
    EXPECT_FALSE(dlg->isModal());
    const QPoint mainCentre = m_mainWindow.mapToGlobal(m_mainWindow.rect().center());
    const QPoint dlgCentre = dlg->pos() + QPoint(dlg->width() / 2, dlg->height() / 2);
    EXPECT_LE((mainCentre - dlgCentre).manhattanLength(), 2);
    EXPECT_EQ(dlg->Model()->rowCount(), 1);
    EXPECT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Host);

    // An alert while hidden reaches the window's rows and raises the flag again.
    engine->HideAlertDialog();
    EXPECT_FALSE(dlg->isVisible());
    RaiseAlert(*engine, 10.0f, 37000);
    QTRY_COMPARE(dlg->Model()->rowCount(), 2);
    EXPECT_EQ(dlg->Model()->index(0, 1).data().toString(), QStringLiteral("10:16:40"));
    EXPECT_EQ(engine->GetNewAlertFlag(), 1);

    // Shown, the next alert leaves the flag clear.
    engine->PopAlertDialog();
    RaiseAlert(*engine, 10.0f, 38000);
    EXPECT_EQ(engine->GetNewAlertFlag(), 0);
    QTRY_COMPARE(dlg->Model()->rowCount(), 3);
}

TEST_F(EngineWindowTest, PopUpFlagShowsTheWindowOnEveryAlert)
{
    auto engine = MakeEngine();
    CVelkAlertTestAccess::Options(*engine).m_byPopup = 1;
    RaiseAlert(*engine, 10.0f, 36000);
    ASSERT_NE(Dialog(*engine), nullptr);
    EXPECT_TRUE(Dialog(*engine)->isVisible());
    QTest::mouseClick(Dialog(*engine)->Control(2), Qt::LeftButton);
    EXPECT_FALSE(Dialog(*engine)->isVisible());
    RaiseAlert(*engine, 10.0f, 36001);
    EXPECT_TRUE(Dialog(*engine)->isVisible());
    EXPECT_EQ(Dialog(*engine)->Model()->rowCount(), 2);
}

TEST_F(EngineWindowTest, WithoutMainWindowTheWindowIsCreatedButNotShown)
{
    VelkSetMainWindow(nullptr);
    auto engine = MakeEngine();
    engine->PopAlertDialog();
    ASSERT_NE(Dialog(*engine), nullptr);
    EXPECT_FALSE(Dialog(*engine)->isVisible());
    EXPECT_EQ(Dialog(*engine)->parentWidget(), nullptr);
}

TEST_F(EngineWindowTest, SecondEngineOfTheTradingDayShowsTheEarlierAlerts)
{
    {
        auto engine = MakeEngine();
        CVelkAlertTestAccess::Options(*engine).m_byPopup = 1;
        RaiseAlert(*engine, 10.0f, 36000);
        RaiseAlert(*engine, 10.0f, 39000);
    }
    std::string bytes;
    ASSERT_TRUE(VelkReadFile(m_dir.DayFile("20211201"), bytes));
    EXPECT_EQ(bytes.size(), 2 * sizeof(Ta_ALERTRECORD));

    auto engine = MakeEngine();
    CVelkAlertTestAccess::Options(*engine).m_byPopup = 0;
    RaiseAlert(*engine, 10.0f, 37000);
    engine->PopAlertDialog();
    CAlertListDlg* dlg = Dialog(*engine);
    ASSERT_NE(dlg, nullptr);
    ASSERT_EQ(dlg->Model()->rowCount(), 3);
    EXPECT_EQ(dlg->Model()->index(0, 1).data().toString(), QStringLiteral("10:50:00"));
    EXPECT_EQ(dlg->Model()->index(1, 1).data().toString(), QStringLiteral("10:16:40"));
    EXPECT_EQ(dlg->Model()->index(2, 1).data().toString(), QStringLiteral("10:00:00"));
    EXPECT_EQ(engine->GetAlertRecords().size(), 3u);
}

TEST_F(EngineWindowTest, EngineWithoutWindowWritesNoDayFile)
{
    {
        auto engine = MakeEngine();
        CVelkAlertTestAccess::Options(*engine).m_byPopup = 0;
        RaiseAlert(*engine, 10.0f, 36000);
    }
    EXPECT_FALSE(VelkFileExists(m_dir.DayFile("20211201")));
}

TEST_F(EngineWindowTest, ClearAllDataEmptiesWindowAndLeavesAnEmptyFile)
{
    {
        auto engine = MakeEngine();
        CVelkAlertTestAccess::Options(*engine).m_byPopup = 1;
        RaiseAlert(*engine, 10.0f, 36000);
        engine->ClearAllData();
        EXPECT_EQ(Dialog(*engine)->Model()->rowCount(), 0);
        EXPECT_TRUE(engine->GetAlertRecords().empty());
    }
    std::string bytes = "x";
    ASSERT_TRUE(VelkReadFile(m_dir.DayFile("20211201"), bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(EngineWindowTest, WindowDestroyedWithTheMainWindowLeavesTheEngineSafe)
{
    auto owner = std::make_unique<QWidget>();
    VelkSetMainWindow(owner.get());
    auto engine = MakeEngine();
    CVelkAlertTestAccess::Options(*engine).m_byPopup = 1;
    RaiseAlert(*engine, 10.0f, 36000);
    ASSERT_NE(Dialog(*engine), nullptr);
    owner.reset();
    EXPECT_EQ(Dialog(*engine), nullptr);
    // The window wrote the file as it went.
    EXPECT_TRUE(VelkFileExists(m_dir.DayFile("20211201")));
    RaiseAlert(*engine, 10.0f, 36001);
    engine->HideAlertDialog();
    engine->ClearAllData();
    EXPECT_FALSE(engine->GetAlertWindow()->IsVisible());
}

TEST_F(EngineWindowTest, SettingsSheetRunsModallyWithoutParentUnderTheModulesResources)
{
    for (int button : {1, 2}) {
        QTimer::singleShot(0, [button] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            EXPECT_EQ(sheet->windowTitle(), VelkFromUtf8("报警参数设置"));
            EXPECT_EQ(sheet->parentWidget(), nullptr);
            EXPECT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Module);
            for (QPushButton* b : sheet->findChildren<QPushButton*>()) {
                if (b->property("controlId").toInt() == button)
                    QTest::mouseClick(b, Qt::LeftButton);
            }
        });
        CModalGuard guard;
        CSettingsBinding binding;
        CRecordingSettingsSink sink;
        EXPECT_EQ(m_windowing.RunSettingsSheet(binding, sink),
                  button == 1 ? VelkMsgBox::kIdOk : VelkMsgBox::kIdCancel);
        EXPECT_EQ(sink.m_taken.size(), button == 1 ? 1u : 0u) << "the value goes over on OK only";
        EXPECT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Host);
    }
}

} // namespace

namespace {

TEST_F(EngineWindowTest, LoadedModuleHandsEveryEngineItsWindowsAndMessageBoxes)
{
    const CVelkServices registered = VelkRegisteredServices();
    EXPECT_NE(dynamic_cast<CVelkWindowing*>(registered.pWindowing), nullptr);
    EXPECT_EQ(registered.pMessageBox, &VelkMessageBoxDispatcher());
    EXPECT_NE(registered.pSound, nullptr);

    CVelkAlert engine;
    engine.PopAlertDialog();
    ASSERT_NE(Dialog(engine), nullptr);
    EXPECT_TRUE(Dialog(engine)->isVisible());
    QTest::mouseClick(Dialog(engine)->Control(1106), Qt::LeftButton);
    // The box goes to the service installed now, not to one fixed when the module loaded.
    EXPECT_EQ(m_recorder.m_boxes.size(), 1u);
}

} // namespace
