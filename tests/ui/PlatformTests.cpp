#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

#include "platform/qt/QtText.h"
#include "platform/qt/ResourceSwitch.h"
#include "tests/ui/UiTestSupport.h"

namespace {

TEST(RegisteredMessages, SameNameSameIdProcessWide)
{
    const int analyse = VelkRegisterWindowMessage("MSG_ANALYSE");
    EXPECT_GE(analyse, QEvent::User);
    EXPECT_LE(analyse, QEvent::MaxUser);
    EXPECT_EQ(VelkRegisterWindowMessage("MSG_ANALYSE"), analyse);
    const int input = VelkRegisterWindowMessage("KQMSG_INPUTCOMMAND");
    EXPECT_NE(input, analyse);
    EXPECT_NE(VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL"), input);
    EXPECT_NE(VelkCommandMessage(), analyse);
    EXPECT_EQ(VelkRegisterWindowMessage(""), 0);
    EXPECT_EQ(VelkRegisterWindowMessage(nullptr), 0);
}

TEST(RegisteredMessages, SendIsSynchronousAndPostIsQueued)
{
    CRecordingMainWindow window;
    const int message = VelkRegisterWindowMessage("VELK_TEST_MESSAGE");
    VelkSendMessage(&window, message, 7, 9);
    ASSERT_EQ(window.m_received.size(), 1u);
    EXPECT_EQ(window.m_received[0].wParam, 7u);
    EXPECT_EQ(window.m_received[0].lParam, 9);

    EXPECT_TRUE(VelkPostMessage(&window, message, 8, 0));
    EXPECT_EQ(window.m_received.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.m_received.size() == 2; }));
    EXPECT_EQ(window.m_received[1].wParam, 8u);

    EXPECT_EQ(VelkSendMessage(nullptr, message, 1, 1), 0);
    EXPECT_FALSE(VelkPostMessage(nullptr, message, 1, 1));
}

TEST(RegisteredMessages, MainWindowIsForgottenWhenDestroyed)
{
    QWidget* previous = VelkMainWindow();
    {
        QWidget window;
        VelkSetMainWindow(&window);
        EXPECT_EQ(VelkMainWindow(), &window);
    }
    EXPECT_EQ(VelkMainWindow(), nullptr);
    VelkSetMainWindow(previous);
}

TEST(MessageBoxService, ScopedServicesNestAndTheDispatcherFollows)
{
    CScriptedMessageBox outer, inner;
    inner.m_answers = {VelkMsgBox::kIdNo};
    {
        CScopedMessageBoxService a(outer);
        {
            CScopedMessageBoxService b(inner);
            EXPECT_EQ(VelkMessageBoxDispatcher().Show("t", "c", VelkMsgBox::kYesNo),
                      VelkMsgBox::kIdNo);
        }
        EXPECT_EQ(VelkMessageBoxDispatcher().Show("u", "c", 0), VelkMsgBox::kIdOk);
        EXPECT_EQ(&VelkMessageBoxService(), &outer);
    }
    ASSERT_EQ(inner.m_boxes.size(), 1u);
    ASSERT_EQ(outer.m_boxes.size(), 1u);
    EXPECT_EQ(outer.m_boxes[0].text, "u");
}

TEST(ResourceSwitch, RestoredOnEveryPath)
{
    ASSERT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Host);
    try {
        CResourceSwitch outer;
        {
            CResourceSwitch inner;
            EXPECT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Module);
        }
        EXPECT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Module);
        throw std::runtime_error("leaving early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(VelkCurrentResourceModule(), VelkResourceModule::Host);
}

TEST(QtText, GbkRoundTripAndCutCharacters)
{
    const std::string gbk = TextCodec::Utf8ToGbk("报警列表");
    ASSERT_EQ(gbk.size(), 8u);
    EXPECT_EQ(VelkFromGbk(gbk), QString::fromUtf8("报警列表"));
    EXPECT_EQ(VelkToGbk(QString::fromUtf8("报警列表")), gbk);
    // Cut inside the third character: the whole characters and nothing after them.
    EXPECT_EQ(VelkFromGbk(gbk.substr(0, 5)), QString::fromUtf8("报警"));
    EXPECT_TRUE(VelkFromGbk(std::string()).isEmpty());
    EXPECT_TRUE(VelkFromUtf8(nullptr).isEmpty());
}

} // namespace
