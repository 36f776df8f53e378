// The Qt session of velk-host in this process: what the module's windows and the engine reach
// through it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/VelkServices.h"
#include "host/gui/CQtHostSession.h"
#include "hostapi/KQBkApi.h"
#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/RegisteredMessages.h"
#include "tests/support/FileContents.h"

namespace {

TEST(QtHostSession, MainWindowTakesTheWindowsMessagesAndBoxesAnswerWithoutWaiting)
{
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    static int argc = 1;
    static char name[] = "velk-host";
    static char* argv[] = {name, nullptr};
    {
        CQtHostSession session(argc, argv, log);
        EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "offscreen");
        ASSERT_NE(VelkMainWindow(), nullptr);

        CSymbolInfo symbol(2, "000001");
        EXPECT_EQ(VelkSendMessage(VelkMainWindow(), VelkRegisterWindowMessage("MSG_ANALYSE"), 0,
                                  reinterpret_cast<std::intptr_t>(&symbol)),
                  0);
        EXPECT_TRUE(VelkPostMessage(VelkMainWindow(), VelkCommandMessage(), 668, 0));
        // The command is posted: it arrives with the next round of events, not before.
        EXPECT_EQ(FileContents(log), "analyse 2 000001\n");
        session.ProcessEvents();

        // The engine's boxes go through the dispatcher to whatever service is installed.
        IVelkMessageBox& boxes = VelkMessageBoxDispatcher();
        EXPECT_EQ(boxes.Show(TextCodec::Utf8ToGbk("不能添加指数!"), TextCodec::Utf8ToGbk("警告"),
                             VelkMsgBox::kOk | VelkMsgBox::kIconExclamation),
                  VelkMsgBox::kIdOk);
        EXPECT_EQ(boxes.Show(TextCodec::Utf8ToGbk("是否保存?"), TextCodec::Utf8ToGbk("提示"),
                             VelkMsgBox::kYesNo | VelkMsgBox::kIconInformation),
                  VelkMsgBox::kIdYes);

        CVelkServices silent = CQtHostSession::EngineServices(true);
        CVelkServices sounding = CQtHostSession::EngineServices(false);
        EXPECT_NE(silent.pWindowing, nullptr);
        EXPECT_NE(silent.pMessageBox, nullptr);
        EXPECT_EQ(silent.pSound, nullptr);
        EXPECT_NE(sounding.pSound, nullptr);
    }
    EXPECT_EQ(VelkMainWindow(), nullptr);
    EXPECT_EQ(FileContents(log), "analyse 2 000001\n"
                                 "command 668\n"
                                 "message box [警告] 不能添加指数! -> ok\n"
                                 "message box [提示] 是否保存? -> yes\n");
    std::fclose(log);
}

} // namespace
