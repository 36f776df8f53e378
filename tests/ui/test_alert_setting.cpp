#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "tests/support/CRecordingSettingsSink.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CAlertSettingDlg.h"
#include "ui/CVelkPropertySheet.h"
#include "ui/CVelkWindowing.h"

namespace {

// The six ratios: check box, edit, the edit's text after the defaults.
struct Ratio {
    int check;
    int edit;
    const char* byDefault;
};
const Ratio kRatios[] = {{1095, 1101, "4"},  {1096, 1102, "4"},   {1097, 1103, "2"},
                         {1098, 1104, "50"}, {1099, 1105, "100"}, {1100, 1106, "0.1"}};
const int kSwitches[] = {1091, 1092, 1093, 1094, 1095, 1096, 1097, 1098, 1099, 1100, 1112};

// The engine's side of the page for tests: keeps every record it is handed and refuses the
// first refusals of them.
class CRecordingRatioSink final : public IVelkRatioSettingSink {
public:
    CSettingsResult TakeRatioSetting(const Ta_ALERTSETTING& setting) override
    {
        taken.push_back(setting);
        CSettingsResult result;
        if (refusals > 0) {
            --refusals;
            result.bTaken = false;
            result.strReasonGbk = reasonGbk;
        }
        return result;
    }

    int refusals = 0;
    std::string reasonGbk;
    std::vector<Ta_ALERTSETTING> taken;
};

class AlertSettingTest : public ::testing::Test {
protected:
    // Created by class name, as the host creates it, and given its window unless a sheet will.
    std::unique_ptr<CAlertSettingDlg> OpenPage(bool withWindow = true)
    {
        std::unique_ptr<CVelkPropertyPage> created = CVelkPageRegistry::Create("CAlertSettingDlg");
        std::unique_ptr<CAlertSettingDlg> page(dynamic_cast<CAlertSettingDlg*>(created.get()));
        if (!page)
            return nullptr;
        created.release();
        if (!withWindow)
            return page;
        EXPECT_TRUE(page->CreatePageWindow());
        page->show();
        return page;
    }

    static QCheckBox* Check(const CAlertSettingDlg& page, int id)
    {
        return qobject_cast<QCheckBox*>(page.Control(id));
    }
    static QLineEdit* Edit(const CAlertSettingDlg& page, int id)
    {
        return qobject_cast<QLineEdit*>(page.Control(id));
    }

    static void Defaults(const CAlertSettingDlg& page)
    {
        QTest::mouseClick(qobject_cast<QPushButton*>(page.Control(1107)), Qt::LeftButton);
    }

    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxService{m_boxes};
};

} // namespace

TEST_F(AlertSettingTest, OpensClearedAndTheDefaultsTickEverySwitchAndFillTheSixValues)
{
    Ta_ALERTSETTING stored{1, 1, 1, 1, 1, 9.0f, 9.0f, 9.0f, 9.0f, 9.0f, 9.0f};
    auto page = OpenPage();
    ASSERT_NE(page, nullptr);
    page->m_pSetting = &stored;
    for (int id : kSwitches)
        EXPECT_FALSE(Check(*page, id)->isChecked()) << id;
    for (const Ratio& r : kRatios)
        EXPECT_EQ(Edit(*page, r.edit)->text(), QStringLiteral("0")) << r.edit;

    for (const Ratio& r : kRatios)
        Edit(*page, r.edit)->setEnabled(false);
    Defaults(*page);
    for (int id : kSwitches)
        EXPECT_TRUE(Check(*page, id)->isChecked()) << id;
    for (const Ratio& r : kRatios) {
        EXPECT_EQ(Edit(*page, r.edit)->text(), QString::fromLatin1(r.byDefault)) << r.edit;
        EXPECT_TRUE(Edit(*page, r.edit)->isEnabled()) << r.edit;
    }
    EXPECT_TRUE(page->OnApply());
    EXPECT_TRUE(m_boxes.m_boxes.empty());
    EXPECT_EQ(RawBytes(stored),
              RawBytes(Ta_ALERTSETTING{1, 1, 1, 1, 1, 4.0f, 4.0f, 50.0f, 2.0f, 100.0f, 0.1f}));
}

TEST_F(AlertSettingTest, ClearingARatioDisablesItsBoxAndResetsOnlyAPriceMoveOutOfRange)
{
    struct Case {
        int check;
        int edit;
        const char* typed;
        const char* after;
        const char* refusal; // the range check's message, if any
    };
    const Case cases[] = {
        {1095, 1101, "1500", "0", "请输入一个介于 0 和 999 之间的数。"},
        {1096, 1102, "-3", "0", "请输入一个介于 0 和 999 之间的数。"},
        {1097, 1103, "999", "999", nullptr},
        {1098, 1104, "1500", "1500", nullptr},
        {1099, 1105, "12000", "12000", "请输入一个介于 0 和 9999 之间的数。"},
        {1100, 1106, "0.5", "0.5", nullptr},
    };
    for (const Case& c : cases) {
        m_boxes.m_boxes.clear();
        auto page = OpenPage();
        Defaults(*page);
        Edit(*page, c.edit)->setText(QString::fromLatin1(c.typed));
        Check(*page, c.check)->click();
        EXPECT_FALSE(Edit(*page, c.edit)->isEnabled()) << c.check;
        EXPECT_EQ(Edit(*page, c.edit)->text(), QString::fromLatin1(c.after)) << c.check;
        if (c.refusal) {
            ASSERT_EQ(m_boxes.m_boxes.size(), 1u) << c.check;
            EXPECT_EQ(m_boxes.m_boxes[0].text, c.refusal);
        } else {
            EXPECT_TRUE(m_boxes.m_boxes.empty()) << c.check;
        }
        Check(*page, c.check)->click();
        EXPECT_TRUE(Edit(*page, c.edit)->isEnabled()) << c.check;
    }
}

TEST_F(AlertSettingTest, CommitWritesMinusOneForEveryClearedRatioAndNothingWithoutARecord)
{
    auto page = OpenPage();
    Defaults(*page);
    Check(*page, 1096)->click();
    Check(*page, 1100)->click();
    QTest::mouseClick(Check(*page, 1093), Qt::LeftButton);
    Edit(*page, 1101)->setText(QStringLiteral("7.5"));
    Edit(*page, 1102)->setText(QStringLiteral("8"));
    EXPECT_TRUE(page->OnApply()) << "no record to write: nothing happens";

    Ta_ALERTSETTING stored{};
    page->m_pSetting = &stored;
    EXPECT_TRUE(page->OnApply());
    EXPECT_EQ(RawBytes(stored),
              RawBytes(Ta_ALERTSETTING{1, 1, 1, 0, 1, 7.5f, -1.0f, 50.0f, 2.0f, 100.0f, -1.0f}));

    // A value out of range is refused with a message, and committed all the same.
    m_boxes.m_boxes.clear();
    Edit(*page, 1104)->setText(QStringLiteral("20000"));
    EXPECT_TRUE(page->OnApply());
    EXPECT_FALSE(m_boxes.m_boxes.empty());
    EXPECT_EQ(m_boxes.m_boxes[0].text, "请输入一个介于 0 和 9999 之间的数。");
    EXPECT_FLOAT_EQ(float{stored.m_fVolumeRatio}, 20000.0f);

    // The refusal is captioned with the application's display name: the program's own name
    // where it gives one.
    QGuiApplication::setApplicationDisplayName(QString::fromUtf8("行情预警"));
    m_boxes.m_boxes.clear();
    Edit(*page, 1104)->setText(QStringLiteral("30000"));
    EXPECT_TRUE(page->OnApply());
    QGuiApplication::setApplicationDisplayName(QString());
    ASSERT_FALSE(m_boxes.m_boxes.empty());
    EXPECT_EQ(m_boxes.m_boxes[0].caption, "行情预警");
}

TEST_F(AlertSettingTest, ASheetOfItsOwnCommitsOnOkOnlyAndTheSettingsSheetHasNoSuchTab)
{
    for (int button : {2, 1}) {
        Ta_ALERTSETTING stored{0, 0, 0, 0, 0, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
        const Ta_ALERTSETTING before = stored;
        auto page = OpenPage(false);
        page->m_pSetting = &stored;
        CVelkPropertySheet sheet(QStringLiteral("sheet"));
        sheet.AddPage(page.get());
        QTimer::singleShot(0, [&] {
            Defaults(*page);
            QTest::mouseClick(Check(*page, 1092), Qt::LeftButton);
            for (QPushButton* b : sheet.findChildren<QPushButton*>()) {
                if (b->property("controlId").toInt() == button)
                    QTest::mouseClick(b, Qt::LeftButton);
            }
        });
        CModalGuard guard;
        EXPECT_EQ(sheet.DoModal(), button);
        if (button == 2)
            EXPECT_EQ(RawBytes(stored), RawBytes(before));
        else
            EXPECT_EQ(RawBytes(stored), RawBytes(Ta_ALERTSETTING{1, 1, 0, 1, 1, 4.0f, 4.0f, 50.0f,
                                                                 2.0f, 100.0f, 0.1f}));
    }

    QTimer::singleShot(0, [] {
        auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        for (int i = 0; i < sheet->GetPageCount(); ++i)
            EXPECT_EQ(dynamic_cast<CAlertSettingDlg*>(sheet->GetPage(i)), nullptr) << i;
        sheet->reject();
    });
    CModalGuard guard;
    CSettingsBinding binding;
    CRecordingSettingsSink sink;
    CVelkWindowing windowing;
    EXPECT_EQ(windowing.RunSettingsSheet(binding, sink), VelkMsgBox::kIdCancel);
}

TEST_F(AlertSettingTest, ARefusedValueKeepsTheHostsSheetOpenOnItsFieldAndReachesNoRecord)
{
    const Ta_ALERTSETTING stored{0, 0, 0, 0, 0, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
    CRecordingRatioSink sink;
    bool stayedOpen = false;
    bool refusedSelected = false;
    std::size_t takenAfterRefusal = 99;
    QTimer::singleShot(0, [&] {
        auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        auto* page = dynamic_cast<CAlertSettingDlg*>(sheet->GetPage(0));
        ASSERT_NE(page, nullptr);
        Defaults(*page);
        Edit(*page, 1104)->setText(QStringLiteral("20000"));
        QPushButton* ok = nullptr;
        for (QPushButton* b : sheet->findChildren<QPushButton*>()) {
            if (b->property("controlId").toInt() == 1)
                ok = b;
        }
        ASSERT_NE(ok, nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
        stayedOpen = sheet->isVisible() && QApplication::activeModalWidget() == sheet;
        // The template keeps the ratio edits hidden, so the focus cannot go there; the refused
        // text is selected for the user all the same.
        refusedSelected = Edit(*page, 1104)->selectedText() == QStringLiteral("20000");
        takenAfterRefusal = sink.taken.size();
        Edit(*page, 1104)->setText(QStringLiteral("30"));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    CModalGuard guard;
    CVelkWindowing windowing;
    EXPECT_EQ(windowing.RunAlertSettingPage(stored, sink), VelkMsgBox::kIdOk);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(refusedSelected);
    EXPECT_EQ(takenAfterRefusal, 0u) << "nothing handed on with a refused value";
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].text, "请输入一个介于 0 和 9999 之间的数。");
    ASSERT_EQ(sink.taken.size(), 1u);
    EXPECT_FLOAT_EQ(float{sink.taken[0].m_fVolumeRatio}, 30.0f);
}

// The page commits into a copy of its own and the engine takes that value: a refusal of the
// engine's is told and keeps the page open with what the user entered, and a Cancel hands
// nothing on.
TEST_F(AlertSettingTest, TheEnginesRefusalIsToldAndKeepsThePageOpenUntilItTakesTheRecord)
{
    const Ta_ALERTSETTING stored{1, 0, 1, 0, 1, 3.5f, -1.0f, 20.0f, -1.0f, 250.0f, 0.5f};
    for (bool confirm : {true, false}) {
        m_boxes.m_boxes.clear();
        CRecordingRatioSink sink;
        sink.refusals = 1;
        sink.reasonGbk = TextCodec::Utf8ToGbk("不能采用");
        bool stayedOpen = false;
        QString riseAfterRefusal;
        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<CVelkPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            auto* page = dynamic_cast<CAlertSettingDlg*>(sheet->GetPage(0));
            ASSERT_NE(page, nullptr);
            EXPECT_NE(page->m_pSetting, nullptr);
            EXPECT_NE(page->m_pSetting, &stored);
            Edit(*page, 1101)->setText(QStringLiteral("6"));
            sheet->accept();
            stayedOpen = sheet->isVisible() && QApplication::activeModalWidget() == sheet;
            riseAfterRefusal = Edit(*page, 1101)->text();
            if (confirm)
                sheet->accept();
            else
                sheet->reject();
        });
        CModalGuard guard;
        CVelkWindowing windowing;
        EXPECT_EQ(windowing.RunAlertSettingPage(stored, sink),
                  confirm ? VelkMsgBox::kIdOk : VelkMsgBox::kIdCancel);
        EXPECT_TRUE(stayedOpen) << confirm;
        EXPECT_EQ(riseAfterRefusal, QStringLiteral("6")) << confirm;
        ASSERT_EQ(m_boxes.m_boxes.size(), 1u) << confirm;
        EXPECT_EQ(m_boxes.m_boxes[0].text, "不能采用");
        ASSERT_EQ(sink.taken.size(), confirm ? 2u : 1u);
        Ta_ALERTSETTING expected = stored;
        expected.m_fRiseRatio = 6.0f;
        for (const Ta_ALERTSETTING& taken : sink.taken)
            EXPECT_EQ(std::memcmp(&taken, &expected, sizeof expected), 0) << confirm;
    }
}

TEST_F(AlertSettingTest, APaneForAHostsWindowDraftsTheStoredRecordUnchangedUntilEdited)
{
    // Every field differs from the defaults, the hidden sound and pop-up switches included.
    const Ta_ALERTSETTING stored{0, 1, 0, 1, 0, 3.5f, -1.0f, 12.0f, -1.0f, 250.0f, 0.02f};
    CVelkWindowing windowing;
    std::unique_ptr<IAlertSettingPane> pane = windowing.CreateAlertSettingPane(stored);
    ASSERT_NE(pane, nullptr);
    auto* page = static_cast<CAlertSettingDlg*>(static_cast<QWidget*>(pane->Widget()));
    ASSERT_NE(page, nullptr);
    for (const Ratio& ratio : kRatios) {
        EXPECT_FALSE(Check(*page, ratio.check)->isHidden()) << ratio.check;
        EXPECT_FALSE(Edit(*page, ratio.edit)->isHidden()) << ratio.edit;
        EXPECT_EQ(Edit(*page, ratio.edit)->isEnabled(), Check(*page, ratio.check)->isChecked())
            << ratio.edit;
    }
    EXPECT_TRUE(Check(*page, 1112)->isHidden()) << "the sound and pop-up switches stay hidden";

    Ta_ALERTSETTING draft{};
    ASSERT_TRUE(pane->Draft(draft));
    EXPECT_EQ(std::memcmp(&draft, &stored, sizeof draft), 0) << "unchanged, it drafts the record";

    // An edit through the page's own controls and rule; the record itself is only read.
    QTest::mouseClick(Check(*page, 1096), Qt::LeftButton);
    Edit(*page, 1102)->setText(QStringLiteral("2.5"));
    QTest::mouseClick(Check(*page, 1095), Qt::LeftButton);
    ASSERT_TRUE(pane->Draft(draft));
    EXPECT_FLOAT_EQ(float{draft.m_fFallRatio}, 2.5f);
    EXPECT_FLOAT_EQ(float{draft.m_fRiseRatio}, -1.0f);
    EXPECT_FLOAT_EQ(float{stored.m_fRiseRatio}, 3.5f);

    // A refused value drafts nothing and is told.
    Edit(*page, 1105)->setText(QStringLiteral("abc"));
    draft = stored;
    EXPECT_FALSE(pane->Draft(draft));
    EXPECT_EQ(m_boxes.m_boxes.size(), 1u);

    // The pane deletes its page, also when the host's window holds it.
    QWidget host;
    page->setParent(&host);
    QPointer<QWidget> watched(page);
    pane.reset();
    EXPECT_TRUE(watched.isNull());
}
