#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "tests/support/CRecordingSettingsSink.h"
#include "tests/support/GbkText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/COtherSettingDlg.h"
#include "ui/CVelkPropertySheet.h"
#include "ui/CVelkWindowing.h"

namespace {

// Plays or fails as told and keeps the path of every play.
class CFakeSound final : public IVelkSound {
public:
    void Beep(unsigned, unsigned) override {}
    bool PlayWaveFile(const std::string& pathGbk) override
    {
        m_played.push_back(pathGbk);
        return m_bPlays;
    }
    bool m_bPlays = true;
    std::vector<std::string> m_played;
};

// The module's sound service replaced for a test's lifetime.
class CScopedSound {
public:
    explicit CScopedSound(IVelkSound* sound) : m_previous(VelkRegisteredServices())
    {
        CVelkServices services = m_previous;
        services.pSound = sound;
        VelkRegisterServices(services);
    }
    ~CScopedSound() { VelkRegisterServices(m_previous); }
    CScopedSound(const CScopedSound&) = delete;
    CScopedSound& operator=(const CScopedSound&) = delete;

private:
    CVelkServices m_previous;
};

template <typename T> T* Ctl(const CVelkPropertyPage& page, int id)
{
    return qobject_cast<T*>(page.Control(id));
}

// Near the left edge: a radio button or check box answers on its indicator and text only.
void Click(const CVelkPropertyPage& page, int id)
{
    QAbstractButton* button = Ctl<QAbstractButton>(page, id);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(std::min(8, button->width() / 2), button->height() / 2));
}

QPushButton* SheetButton(const QWidget& sheet, int id)
{
    for (QPushButton* button : sheet.findChildren<QPushButton*>()) {
        if (button->property("controlId").toInt() == id)
            return button;
    }
    return nullptr;
}

class OtherSettingTest : public ::testing::Test {
protected:
    OtherSettingTest()
    {
        m_options.m_nSoundMode = 1;
        m_options.m_byPopup = 1;
    }

    // A page bound to m_options, with its window, shown.
    std::unique_ptr<COtherSettingDlg> OpenPage()
    {
        auto page = std::make_unique<COtherSettingDlg>();
        page->AttachOption(&m_options);
        EXPECT_TRUE(page->CreatePageWindow());
        page->show();
        return page;
    }

    std::string MakeFile(const std::string& nameUtf8)
    {
        const std::string path = m_temp.File(nameUtf8);
        std::ofstream(path) << "RIFF";
        return path;
    }

    Ta_OTHERALERT m_options{};
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxService{m_boxes};
    CFakeSound m_sound;
    CTempDir m_temp;
};

} // namespace

TEST_F(OtherSettingTest, PathBrowseAndTestAreEnabledExactlyForTheWaveFileMode)
{
    const int pathControls[] = {12003, 12005, 12006};
    struct Case {
        int stored;
        int checked; // radio index, -1 none
    };
    for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{-1, -1}, Case{7, -1}}) {
        m_options.m_nSoundMode = c.stored;
        auto page = OpenPage();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Ctl<QRadioButton>(*page, 12000 + i)->isChecked(), i == c.checked) << c.stored;
        for (int id : pathControls)
            EXPECT_EQ(page->Control(id)->isEnabled(), c.stored == 2) << c.stored << " " << id;
        EXPECT_TRUE(page->IsModified());
    }

    // A mode no button stands for is committed as it was.
    m_options.m_nSoundMode = -1;
    auto page = OpenPage();
    EXPECT_TRUE(page->OnApply());
    EXPECT_EQ(m_options.m_nSoundMode, -1);

    for (int mode : {2, 0, 2, 1}) {
        Click(*page, 12000 + mode);
        EXPECT_EQ(page->m_nSound, mode);
        for (int id : pathControls)
            EXPECT_EQ(page->Control(id)->isEnabled(), mode == 2) << mode << " " << id;
    }
}

TEST_F(OtherSettingTest, TestPlaysOnlyAnAccessibleFileAndAsksWhetherItWasHeard)
{
    const std::string playable = MakeFile("提示音.wav");
    struct Case {
        const char* what;
        std::string path;
        bool registered;
        bool plays;
        std::vector<std::string> boxes; // text, caption
        unsigned flags;
    };
    const std::vector<std::string> inaccessible{"声音文件的路径不可访问!", "警告"};
    const std::vector<Case> cases{
        {"missing file", m_temp.File("没有.wav"), true, true, inaccessible,
         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation},
        {"empty path", "", true, true, inaccessible,
         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation},
        {"directory", m_temp.Path(), true, true, inaccessible,
         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation},
        {"played",
         playable,
         true,
         true,
         {"你听到声音了吗?", "信息"},
         VelkMsgBox::kYesNo | VelkMsgBox::kIconInformation},
        {"play failed", playable, true, false, {}, 0},
        {"no sound service", playable, false, true, {}, 0},
    };
    m_options.m_nSoundMode = 2;
    for (const Case& c : cases) {
        m_sound.m_played.clear();
        m_sound.m_bPlays = c.plays;
        m_boxes.m_boxes.clear();
        m_boxes.m_answers = {VelkMsgBox::kIdNo};
        const CScopedSound service(c.registered ? &m_sound : nullptr);
        auto page = OpenPage();
        Ctl<QLineEdit>(*page, 12003)->setText(QString::fromStdString(c.path));
        Click(*page, 12006);

        EXPECT_EQ(page->m_strPath, Gbk(c.path)) << c.what;
        const bool accessible = c.boxes != inaccessible;
        EXPECT_EQ(m_sound.m_played, c.registered && accessible
                                        ? std::vector<std::string>{Gbk(c.path)}
                                        : std::vector<std::string>{})
            << c.what;
        if (c.boxes.empty()) {
            EXPECT_TRUE(m_boxes.m_boxes.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(m_boxes.m_boxes.size(), 1u) << c.what;
        EXPECT_EQ(m_boxes.m_boxes[0].text, c.boxes[0]) << c.what;
        EXPECT_EQ(m_boxes.m_boxes[0].caption, c.boxes[1]) << c.what;
        EXPECT_EQ(m_boxes.m_boxes[0].flags, c.flags) << c.what;
        EXPECT_EQ(page->m_nSound, 2) << "the answer changes nothing";
    }
}

TEST_F(OtherSettingTest, BrowseOffersWaveFilesAndPutsThePickInThePathBox)
{
    const std::string wave = MakeFile("alarm.wav");
    m_options.m_nSoundMode = 2;
    VelkCopyText(m_options.m_szWavePath, "old.wav");
    auto page = OpenPage();
    for (bool pick : {false, true}) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Sound Files (*.wav)")});
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
            dialog->selectFile(QString::fromStdString(wave));
            if (pick)
                static_cast<QDialog*>(dialog)->accept();
            else
                dialog->reject();
        });
        CModalGuard guard;
        Click(*page, 12005);
        EXPECT_EQ(Ctl<QLineEdit>(*page, 12003)->text().toStdString(), pick ? wave : "old.wav");
    }
}

TEST_F(OtherSettingTest, TheSheetsOkCommitsWholeCharactersOfThePathAndCancelNothing)
{
    const std::string chinese = "声";
    struct Case {
        const char* what;
        int button;
        std::string typed;  // UTF-8
        std::string stored; // GBK, when OK commits
    };
    const std::vector<Case> cases{
        {"cancel", 2, "changed.wav", ""},
        {"300 characters", 1, std::string(300, 'a'), std::string(259, 'a')},
        {"character across the end", 1, std::string(258, 'b') + chinese, std::string(258, 'b')},
        {"character that ends it", 1, std::string(257, 'c') + chinese,
         std::string(257, 'c') + Gbk(chinese)},
        {"short path", 1, "x.wav", "x.wav"},
    };
    for (const Case& c : cases) {
        m_options = Ta_OTHERALERT{};
        m_options.m_nSoundMode = 1;
        VelkCopyText(m_options.m_szWavePath, "keep.wav");
        m_options.m_byPopup = 1;
        const Ta_OTHERALERT before = m_options;

        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            COtherSettingDlg* page = nullptr;
            for (int i = 0; i < sheet->GetPageCount() && !page; ++i) {
                page = dynamic_cast<COtherSettingDlg*>(sheet->GetPage(i));
                if (page) {
                    EXPECT_EQ(i, sheet->GetPageCount() - 1) << "the last tab";
                    EXPECT_EQ(sheet->TabControl()->tabText(i), QString::fromUtf8("其他设置"));
                    sheet->SetActivePage(i);
                }
            }
            ASSERT_NE(page, nullptr);
            Click(*page, 12002);
            Ctl<QLineEdit>(*page, 12003)->setText(QString::fromStdString(c.typed));
            Click(*page, 12004);
            QTest::mouseClick(SheetButton(*sheet, c.button), Qt::LeftButton);
        });
        CModalGuard guard;
        CSettingsBinding binding;
        binding.options = m_options;
        CRecordingSettingsSink sink;
        CVelkWindowing windowing;
        EXPECT_EQ(windowing.RunSettingsSheet(binding, sink), c.button) << c.what;

        // The page writes into the sheet's copy only; the record it came from is the engine's.
        EXPECT_EQ(RawBytes(m_options), RawBytes(before)) << c.what;
        if (c.button != 1) {
            EXPECT_TRUE(sink.m_taken.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(sink.m_taken.size(), 1u) << c.what;
        EXPECT_TRUE(sink.m_taken[0].bOptionsCommitted) << c.what;
        const Ta_OTHERALERT& taken = sink.m_taken[0].options;
        EXPECT_EQ(taken.m_nSoundMode, 2) << c.what;
        EXPECT_EQ(+taken.m_byPopup, 0) << c.what;
        EXPECT_EQ(VelkFieldText(taken.m_szWavePath), c.stored) << c.what;
        EXPECT_TRUE(TextCodec::IsValidGbk(VelkFieldText(taken.m_szWavePath))) << c.what;
        const std::string tail(taken.m_szWavePath + c.stored.size(),
                               sizeof taken.m_szWavePath - c.stored.size());
        EXPECT_EQ(tail, std::string(tail.size(), '\0')) << c.what;
    }
}
