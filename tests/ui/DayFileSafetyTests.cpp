#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/MessageBoxService.h"
#include "tests/support/CFileSizeLimit.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CAlertListDlg.h"

namespace {

class DayFileSafetyTest : public ::testing::Test {
protected:
    DayFileSafetyTest() : m_backend(m_store), m_boxes(m_recorder)
    {
        m_store.SetTradeDate(20211201);
        m_alerts = {MakeRecord(1, "600000", 36000), MakeRecord(1, "000001", 35000)};
    }

    // The one warning of a failed save, naming the day file.
    void ExpectWarningNaming(const std::string& what)
    {
        ASSERT_EQ(m_recorder.m_boxes.size(), 1u) << what;
        const auto& box = m_recorder.m_boxes.front();
        EXPECT_EQ(box.caption, "警告") << what;
        EXPECT_NE(box.text.find("20211201.alt"), std::string::npos) << what << ": " << box.text;
        EXPECT_EQ(box.flags, VelkMsgBox::kOk | VelkMsgBox::kIconExclamation) << what;
        m_recorder.m_boxes.clear();
    }

    CScopedWorkDir m_dir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend;
    CScriptedMessageBox m_recorder;
    CScopedMessageBoxService m_boxes;
    CAlertRecordList m_alerts;
    std::vector<Ta_VELKPRICEALERT> m_prices;
};

} // namespace

// Full disks and names taken by something else: the day's alerts are not lost in silence.
TEST_F(DayFileSafetyTest, AFailedSaveOfTheDayFileIsToldNamingTheFile)
{
    // The day file's name taken by a folder.
    std::filesystem::create_directories(m_dir.DayFile("20211201"));
    std::make_unique<CAlertListDlg>(&m_alerts, &m_prices).reset();
    ExpectWarningNaming("a folder in the file's place");
    std::filesystem::remove_all(m_dir.AlertDir());

    // The folder's name taken by a file.
    std::filesystem::create_directories(std::filesystem::path(m_dir.AlertDir()).parent_path());
    ASSERT_TRUE(VelkReplaceFile(m_dir.AlertDir(), std::string("not a folder")));
    std::make_unique<CAlertListDlg>(&m_alerts, &m_prices).reset();
    ExpectWarningNaming("a file in the folder's place");
    std::filesystem::remove(m_dir.AlertDir());

    // A disk that fills up in the middle of the write: the old file stays.
    std::filesystem::create_directories(m_dir.AlertDir());
    ASSERT_TRUE(VelkReplaceFile(m_dir.DayFile("20211201"), std::string()));
    {
        auto dlg = std::make_unique<CAlertListDlg>(&m_alerts, &m_prices);
        CFileSizeLimit full(100);
        dlg.reset();
    }
    ExpectWarningNaming("a full disk");
    std::uint64_t size = 1;
    ASSERT_TRUE(VelkFileSize(m_dir.DayFile("20211201"), size));
    EXPECT_EQ(size, 0u);

    // A save that works says nothing.
    std::make_unique<CAlertListDlg>(&m_alerts, &m_prices).reset();
    EXPECT_TRUE(m_recorder.m_boxes.empty());
}

// A FIFO named as the day file neither hangs the window's load nor takes the save.
TEST_F(DayFileSafetyTest, AFifoAsTheDayFileIsRefusedAndTold)
{
    std::filesystem::create_directories(m_dir.AlertDir());
    ASSERT_EQ(::mkfifo(m_dir.DayFile("20211201").c_str(), 0600), 0);
    {
        CAlertListDlg dlg(&m_alerts, &m_prices);
        EXPECT_EQ(m_alerts.size(), 2u);
    }
    ExpectWarningNaming("a FIFO");
}
