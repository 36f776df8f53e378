// The data directory of a desktop run when another velk-host holds it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "host/gui/CDesktopRoot.h"
#include "platform/core/CVelkFileLock.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/MessageBoxService.h"
#include "tests/support/CTempDir.h"

namespace {

// Answers every box with the scripted button and keeps the texts.
class CAnsweringBox final : public IVelkMessageBox {
public:
    explicit CAnsweringBox(int answer) : m_nAnswer(answer) {}
    int Show(const std::string& textGbk, const std::string&, unsigned flags) override
    {
        texts.push_back(TextCodec::GbkToUtf8(textGbk));
        lastFlags = flags;
        return m_nAnswer;
    }
    std::vector<std::string> texts;
    unsigned lastFlags = 0;

private:
    int m_nAnswer;
};

// Another process holding the data directory's lock until the object goes.
class COtherHost {
public:
    explicit COtherHost(const std::string& sysDir)
    {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_release) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(m_release[1]);
            CVelkFileLock lock(CDesktopRoot::LockPath(sysDir));
            char byte = lock.Held() ? 'y' : 'n';
            if (::write(ready[1], &byte, 1) != 1 || ::read(m_release[0], &byte, 1) < 0)
                ::_exit(1);
            ::_exit(0);
        }
        char byte = 0;
        m_bHolds = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~COtherHost()
    {
        ::close(m_release[1]);
        ::close(m_release[0]);
        // The child holds the lock until it sees the pipe closed.
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
    }
    COtherHost(const COtherHost&) = delete;
    COtherHost& operator=(const COtherHost&) = delete;
    bool Holds() const { return m_bHolds; }

private:
    pid_t m_pid = -1;
    int m_release[2] = {-1, -1};
    bool m_bHolds = false;
};

class DesktopRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(VelkCreateDirectories(Sys()));
        ASSERT_TRUE(VelkReplaceFile(VelkJoinPath(Sys(), "alert.cfg"), std::string(309, 'a')));
    }
    std::string Sys() const { return m_root.File("SYS"); }
    CTempDir m_root;
};

} // namespace

// Locks: answered Yes, the run works on a copy of the directory, never on the user's files;
// the copy goes with the run.
TEST_F(DesktopRootTest, AnotherHostOnTheRootOffersACopyOpenedReadOnly)
{
    COtherHost other(Sys());
    ASSERT_TRUE(other.Holds());
    CAnsweringBox box(VelkMsgBox::kIdYes);
    CScopedMessageBoxService service(box);
    std::string copy;
    {
        CDesktopRoot root;
        ASSERT_EQ(root.Open(m_root.Path(), false), CDesktopRoot::Access::ReadOnly);
        ASSERT_EQ(box.texts.size(), 1u);
        EXPECT_NE(box.texts[0].find(m_root.Path()), std::string::npos) << box.texts[0];
        EXPECT_NE(box.texts[0].find("只读"), std::string::npos) << box.texts[0];
        EXPECT_EQ(box.lastFlags & VelkMsgBox::kYesNo, unsigned(VelkMsgBox::kYesNo));
        copy = root.Root();
        ASSERT_NE(copy, m_root.Path());
        std::string bytes;
        EXPECT_TRUE(VelkReadFile(VelkJoinPath(copy, "SYS/alert.cfg"), bytes));
        EXPECT_EQ(bytes, std::string(309, 'a'));
    }
    EXPECT_FALSE(VelkFileExists(copy));
}

// Answered No, the run does not start; without another host nobody is asked and the lock is
// the run's, so that a second desktop run (even in this process) is asked in turn.
TEST_F(DesktopRootTest, NoQuitsAndAFreeRootIsTakenWithoutAsking)
{
    {
        COtherHost other(Sys());
        ASSERT_TRUE(other.Holds());
        CAnsweringBox no(VelkMsgBox::kIdNo);
        CScopedMessageBoxService service(no);
        CDesktopRoot root;
        EXPECT_EQ(root.Open(m_root.Path(), false), CDesktopRoot::Access::Refused);
        EXPECT_EQ(no.texts.size(), 1u);
    }
    CAnsweringBox yes(VelkMsgBox::kIdYes);
    CScopedMessageBoxService service(yes);
    CDesktopRoot first;
    ASSERT_EQ(first.Open(m_root.Path(), false), CDesktopRoot::Access::Own);
    EXPECT_EQ(first.Root(), m_root.Path());
    EXPECT_TRUE(yes.texts.empty());
    CDesktopRoot second;
    EXPECT_EQ(second.Open(m_root.Path(), false), CDesktopRoot::Access::ReadOnly);
    EXPECT_EQ(yes.texts.size(), 1u);
    // Pictures take no lock and ask nothing.
    CDesktopRoot pictures;
    EXPECT_EQ(pictures.Open(m_root.Path(), true), CDesktopRoot::Access::Pictures);
    EXPECT_EQ(yes.texts.size(), 1u);
}
