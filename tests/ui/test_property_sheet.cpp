#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/CVelkPropertyPage.h"
#include "ui/CVelkPropertySheet.h"

namespace {

std::vector<std::string> g_events;

// A page that reports what the protocol does to it. Its one control is a disabled button 7.
class CProbePage final : public CVelkPropertyPage {
public:
    CProbePage(std::string name, bool refuse = false)
        : CVelkPropertyPage(900, "probe", QSize(120, 80)), m_name(std::move(name)),
          m_bRefuse(refuse)
    {
        g_events.push_back("construct " + m_name);
    }
    ~CProbePage() override { g_events.push_back("destroy " + m_name); }

    bool OnApply() override
    {
        g_events.push_back("apply " + m_name);
        return !m_bRefuse;
    }

    int m_nCommands = 0;

protected:
    void CreateControls() override
    {
        auto* button = new QPushButton(this);
        button->setProperty("controlId", 7);
        button->setEnabled(false);
    }
    bool OnInitDialog() override
    {
        g_events.push_back("init " + m_name);
        OnCommand(7, [this] { ++m_nCommands; });
        return true;
    }

private:
    std::string m_name;
    bool m_bRefuse;
};

QPushButton* SheetButton(const CVelkPropertySheet& sheet, int id)
{
    for (QPushButton* button : sheet.findChildren<QPushButton*>()) {
        if (button->property("controlId").toInt() == id)
            return button;
    }
    return nullptr;
}

class PropertySheetTest : public ::testing::Test {
protected:
    PropertySheetTest() { g_events.clear(); }
};

} // namespace

TEST_F(PropertySheetTest, PagesGetWindowsOnFirstActivationAndOnlyThoseApplyOnOk)
{
    CProbePage first("first"), second("second"), third("third");
    {
        CVelkPropertySheet sheet(QStringLiteral("sheet"));
        for (CProbePage* page : {&first, &second, &third})
            sheet.AddPage(page);
        QTimer::singleShot(0, [] {
            auto* modal = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(modal, nullptr);
            EXPECT_EQ(modal->TabControl()->currentIndex(), 0);
            EXPECT_EQ(SheetButton(*modal, 0x3021), nullptr) << "no Apply button";
            modal->TabControl()->setCurrentIndex(2);
            EXPECT_TRUE(modal->GetPage(2)->Control(7)->isVisible())
                << "controls of a tab opened on screen";
            modal->TabControl()->setCurrentIndex(0);
            QTest::mouseClick(SheetButton(*modal, 1), Qt::LeftButton);
        });
        CModalGuard guard;
        EXPECT_EQ(sheet.DoModal(), 1);
    }
    EXPECT_TRUE(first.HasWindow());
    EXPECT_FALSE(second.HasWindow());
    EXPECT_TRUE(third.HasWindow());
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"construct first", "construct second", "construct third",
                                        "init first", "init third", "apply first", "apply third"}));
}

TEST_F(PropertySheetTest, CancelAppliesNothingAndARefusingPageKeepsTheSheetOpenOnIt)
{
    CProbePage good("good"), bad("bad", true);
    CVelkPropertySheet sheet(QStringLiteral("sheet"));
    sheet.AddPage(&good);
    sheet.AddPage(&bad);
    QTimer::singleShot(0, [&] {
        sheet.SetActivePage(1);
        sheet.SetActivePage(0);
        QTest::mouseClick(SheetButton(sheet, 1), Qt::LeftButton);
        EXPECT_TRUE(sheet.isVisible());
        EXPECT_EQ(sheet.TabControl()->currentIndex(), 1);
        QTest::mouseClick(SheetButton(sheet, 2), Qt::LeftButton);
    });
    CModalGuard guard;
    EXPECT_EQ(sheet.DoModal(), 2);
    EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "apply bad"), 1);
}

TEST_F(PropertySheetTest, PagesOutliveASheetDestroyedFirstAndLeaveOneDestroyedFirst)
{
    auto page = std::make_unique<CProbePage>("kept");
    {
        CVelkPropertySheet sheet(QStringLiteral("sheet"));
        sheet.AddPage(page.get());
    }
    EXPECT_EQ(page->parent(), nullptr);
    EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "destroy kept"), 0);

    CVelkPropertySheet sheet(QStringLiteral("sheet"));
    auto gone = std::make_unique<CProbePage>("gone");
    sheet.AddPage(gone.get());
    sheet.AddPage(page.get());
    gone.reset();
    EXPECT_EQ(sheet.GetPageCount(), 1);
    EXPECT_EQ(sheet.TabControl()->count(), 1);
    EXPECT_EQ(sheet.GetPage(0), page.get());
}

TEST_F(PropertySheetTest, PostedCommandsRunFromTheEventLoopEvenForADisabledButton)
{
    CProbePage page("page");
    page.CreatePageWindow();
    EXPECT_FALSE(page.CreatePageWindow()) << "the window is created once";
    page.PostCommand(7);
    EXPECT_EQ(page.m_nCommands, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(page.m_nCommands, 1);
    EXPECT_FALSE(page.SendCommand(8));
}

TEST_F(PropertySheetTest, TheShortcutLatchFiresOncePerHeldKeyAndRearmsOnRelease)
{
    VelkShortcutLatch() = 1;
    const std::vector<int> keys{Qt::Key_A, Qt::Key_D};
    auto fires = [&](QEvent::Type type, int key, Qt::KeyboardModifiers mods, bool repeat = false) {
        QKeyEvent event(type, key, mods, QString(), repeat);
        return VelkShortcutFires(event, keys);
    };
    EXPECT_FALSE(fires(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier));
    EXPECT_TRUE(fires(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier));
    // Held: the repeats come as release-press pairs marked as repeats.
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(fires(QEvent::KeyRelease, Qt::Key_D, Qt::ControlModifier, true));
        EXPECT_FALSE(fires(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier, true));
    }
    EXPECT_FALSE(fires(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier)) << "the latch is shared";
    EXPECT_FALSE(fires(QEvent::KeyRelease, Qt::Key_C, Qt::ControlModifier)) << "an unlisted key";
    EXPECT_EQ(VelkShortcutLatch(), 0);
    EXPECT_FALSE(fires(QEvent::KeyRelease, Qt::Key_D, Qt::ControlModifier));
    EXPECT_TRUE(fires(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier));
    VelkShortcutLatch() = 1;
}

TEST_F(PropertySheetTest, PagesAreCreatedByRegisteredClassName)
{
    static const bool registered = CVelkPageRegistry::Register(
        "CProbePage", [] { return std::make_unique<CProbePage>("made"); });
    EXPECT_TRUE(registered);
    EXPECT_FALSE(CVelkPageRegistry::Register("CProbePage",
                                             [] { return std::make_unique<CProbePage>("again"); }));
    auto page = CVelkPageRegistry::Create("CProbePage");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->TemplateId(), 900);
    EXPECT_EQ(CVelkPageRegistry::Create("CNoSuchPage"), nullptr);
}
