#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/VelkServices.h"
#include "hostlibs/CQuoteStore.h"
#include "hostlibs/IHostBackend.h"
#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/RegisteredMessages.h"
#include "tests/support/GbkText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CAlertListDlg.h"
#include "ui/CSelectStockDlg.h"
#include "ui/CSelectStockEvent.h"
#include "ui/CStockKeyWizzard.h"

namespace {

int ChangeMessage()
{
    return VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL");
}

template <typename T> T* Ctl(const CSelectStockDlg& dlg, int id)
{
    return qobject_cast<T*>(dlg.Control(id));
}

QLineEdit* CodeBox(const CSelectStockDlg& dlg)
{
    return Ctl<QLineEdit>(dlg, 1113);
}
QLineEdit* UpperBox(const CSelectStockDlg& dlg)
{
    return Ctl<QLineEdit>(dlg, 1101);
}
QLineEdit* LowerBox(const CSelectStockDlg& dlg)
{
    return Ctl<QLineEdit>(dlg, 1102);
}
QString NameText(const CSelectStockDlg& dlg)
{
    return Ctl<QLabel>(dlg, 1114)->text();
}

void Choose(CSelectStockDlg& dlg, unsigned char market, const std::string& code)
{
    QCoreApplication::postEvent(
        &dlg, new CSelectStockEvent(ChangeMessage(), Ta_SELECTSTOCK{market, code}));
    QCoreApplication::processEvents();
}

void ClickOk(CSelectStockDlg& dlg)
{
    QTest::mouseClick(Ctl<QPushButton>(dlg, 1), Qt::LeftButton);
}

QLineEdit* WizardInput(CStockKeyWizzard* wizard)
{
    for (QLineEdit* edit : wizard->findChildren<QLineEdit*>()) {
        if (edit->property("controlId").toInt() == CKeyWizzard::kInputId)
            return edit;
    }
    return nullptr;
}

QListWidget* WizardList(CStockKeyWizzard* wizard)
{
    return wizard->findChild<QListWidget*>();
}

class SelectStockTest : public ::testing::Test {
protected:
    SelectStockTest()
    {
        m_store.AddMarket(1, "SH", 1);
        m_store.AddMarket(2, "SZ", 2);
        m_store.AddSymbol(1, "600000", Gbk("浦发银行"));
        m_store.SetItem(1, "600000", X1Format::Price(129, 7.85));
        m_store.SetItem(1, "600000", X1Format::Price(125, 7.91));
        m_store.AddSymbol(1, "#000001", Gbk("上证指数"));
        m_store.AddSymbol(2, "000001", Gbk("平安银行"));
        m_store.SetCurrentUser("u1");
        m_store.AddUserGroup("u1", Gbk("自选1"), {});
        m_store.AddUserGroup("u1", Gbk("银行"), {});
        m_store.SetLangString("IDS_DIALOG-INPUT_TITLE", Gbk("输入"));
    }

    // A shown, non-modal dialog; message boxes go to the recorder.
    std::unique_ptr<CSelectStockDlg> Open(int mode = 0)
    {
        auto dlg = std::make_unique<CSelectStockDlg>();
        dlg->m_nMode = mode;
        dlg->show();
        return dlg;
    }

    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CRecordingMessageBox m_boxes;
    CScopedMessageBoxService m_boxService{m_boxes};
};

} // namespace

TEST_F(SelectStockTest, OkWithoutAStockOrGroupIsRefusedWithTheModesMessage)
{
    auto price = Open(0);
    ClickOk(*price);
    EXPECT_EQ(m_boxes.Count(), 1);
    EXPECT_EQ(m_boxes.LastText(), Gbk("请键入股票代码!"));
    EXPECT_EQ(m_boxes.LastCaption(), Gbk("警告"));
    EXPECT_EQ(m_boxes.LastFlags(), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
    EXPECT_TRUE(price->isVisible());

    auto group = Open(1);
    QComboBox* combo = Ctl<QComboBox>(*group, 3002);
    ASSERT_EQ(combo->count(), 3);
    EXPECT_TRUE(combo->itemText(0).isEmpty());
    EXPECT_EQ(combo->currentIndex(), 0);
    ClickOk(*group); // the empty first entry is no choice
    EXPECT_EQ(m_boxes.Count(), 2);
    EXPECT_EQ(m_boxes.LastText(), Gbk("请键入股票代码或选择自选股!"));
    EXPECT_TRUE(group->isVisible());

    combo->setCurrentIndex(2);
    ClickOk(*group);
    EXPECT_EQ(m_boxes.Count(), 2);
    EXPECT_EQ(group->result(), QDialog::Accepted);
    EXPECT_EQ(group->m_strGroup, Gbk("银行"));
    EXPECT_TRUE(group->m_strCode.empty());
}

TEST_F(SelectStockTest, LimitPricesAreOrderedAndRangeCheckedLowerBoxFirst)
{
    auto dlg = Open();
    Choose(*dlg, 1, "600000");

    LowerBox(*dlg)->setText(QStringLiteral("5.01"));
    UpperBox(*dlg)->setText(QStringLiteral("5"));
    ClickOk(*dlg);
    EXPECT_EQ(m_boxes.LastText(), Gbk("下限价必须小于上限价!"));
    EXPECT_EQ(m_boxes.LastCaption(), Gbk("警告"));
    EXPECT_TRUE(dlg->isVisible());

    LowerBox(*dlg)->setText(QStringLiteral("10000"));
    UpperBox(*dlg)->setText(QStringLiteral("10000"));
    ClickOk(*dlg);
    EXPECT_EQ(m_boxes.Count(), 2); // one message, for the lower box
    EXPECT_EQ(m_boxes.LastText(), Gbk("请输入一个介于 0 和 9999 之间的数。"));
    EXPECT_EQ(dlg->focusWidget(), LowerBox(*dlg));
    EXPECT_TRUE(dlg->isVisible());

    LowerBox(*dlg)->setText(QStringLiteral("1"));
    ClickOk(*dlg);
    EXPECT_EQ(m_boxes.Count(), 3);
    EXPECT_EQ(dlg->focusWidget(), UpperBox(*dlg));

    for (const char* notANumber : {"abc", "", "nan", "5x", "0x10"}) {
        const int before = m_boxes.Count();
        UpperBox(*dlg)->setText(QString::fromLatin1(notANumber));
        ClickOk(*dlg);
        EXPECT_EQ(m_boxes.Count(), before + 1) << notANumber;
        EXPECT_EQ(m_boxes.LastText(), Gbk("请输入一个数。")) << notANumber;
        EXPECT_TRUE(dlg->isVisible());
    }

    LowerBox(*dlg)->setText(QStringLiteral("5"));
    UpperBox(*dlg)->setText(QStringLiteral("5"));
    const int refusals = m_boxes.Count();
    ClickOk(*dlg);
    EXPECT_EQ(m_boxes.Count(), refusals);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(dlg->m_fLower, 5.0f);
    EXPECT_FLOAT_EQ(dlg->m_fUpper, 5.0f);
}

TEST_F(SelectStockTest, AChosenStockRewritesEveryControlAndAnIndexChangesNothing)
{
    auto dlg = Open();
    Choose(*dlg, 1, "600000");
    EXPECT_EQ(dlg->m_strCode, "600000");
    EXPECT_EQ(dlg->m_byMarket, 1);
    EXPECT_EQ(dlg->m_strName, Gbk("浦发银行"));
    EXPECT_EQ(dlg->m_strPreClose, "7.85");
    EXPECT_EQ(CodeBox(*dlg)->text(), QStringLiteral("600000"));
    EXPECT_EQ(NameText(*dlg), QString::fromUtf8("浦发银行"));

    LowerBox(*dlg)->setText(QStringLiteral("3"));
    Choose(*dlg, 1, "#000001");
    EXPECT_EQ(m_boxes.Count(), 1);
    EXPECT_EQ(m_boxes.LastText(), Gbk("不能添加指数!"));
    EXPECT_EQ(dlg->m_strCode, "600000");
    EXPECT_EQ(CodeBox(*dlg)->text(), QStringLiteral("600000"));
    EXPECT_EQ(NameText(*dlg), QString::fromUtf8("浦发银行"));
    EXPECT_EQ(LowerBox(*dlg)->text(), QStringLiteral("3"));

    // Unconfirmed prices give way to the last confirmed ones; a stock without a previous
    // close keeps the text the dialog had.
    Choose(*dlg, 2, "000001");
    EXPECT_EQ(LowerBox(*dlg)->text(), QStringLiteral("0"));
    EXPECT_EQ(dlg->m_byMarket, 2);
    EXPECT_EQ(NameText(*dlg), QString::fromUtf8("平安银行"));
    EXPECT_EQ(dlg->m_strPreClose, "7.85");

    // A selection message without a record does nothing.
    VelkSendMessage(dlg.get(), ChangeMessage(), 0, 0);
    EXPECT_EQ(dlg->m_strCode, "000001");
    EXPECT_EQ(m_boxes.Count(), 1);
}

TEST_F(SelectStockTest, ModifyingARecordKeepsTheCodeBoxDisabledAndShut)
{
    Ta_VELKPRICEALERT record{};
    record.m_byMarket = 1;
    std::strcpy(record.m_szCode, "600000");
    std::strcpy(record.m_szName, Gbk("浦发银行").c_str());
    record.m_fPreClose = 7.85f;
    record.m_fUpper = 9.0f;
    record.m_fLower = 6.5f;
    CSelectStockDlg dlg;
    dlg.m_pRecord = &record;
    dlg.m_bCodeEditable = 0;
    dlg.show();

    EXPECT_FALSE(CodeBox(dlg)->isEnabled());
    EXPECT_EQ(CodeBox(dlg)->text(), QStringLiteral("600000"));
    EXPECT_EQ(LowerBox(dlg)->text(), QStringLiteral("6.5"));
    EXPECT_EQ(UpperBox(dlg)->text(), QStringLiteral("9"));
    EXPECT_EQ(Ctl<QLabel>(dlg, 12019)->text(), QStringLiteral("7.85"));
    EXPECT_EQ(dlg.m_strPreClose, "--");
    QTest::keyClick(CodeBox(dlg), Qt::Key_6);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.m_pWizard, nullptr);

    UpperBox(dlg)->setText(QStringLiteral("10"));
    ClickOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(dlg.m_fUpper, 10.0f);
    EXPECT_FLOAT_EQ(dlg.m_fLower, 6.5f);
}

TEST_F(SelectStockTest, OnlyPlainWizardKeysInTheCodeBoxOpenTheWizard)
{
    auto dlg = Open();
    QLineEdit* code = CodeBox(*dlg);
    for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                        Qt::Key_Down, Qt::Key_Home, Qt::Key_Space, Qt::Key_Minus})
        QTest::keyClick(code, key);
    QTest::keyClick(code, Qt::Key_A, Qt::AltModifier);
    QTest::keyClick(code, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(code, Qt::Key_6, Qt::ControlModifier | Qt::ShiftModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_pWizard, nullptr);
    EXPECT_TRUE(code->text().isEmpty());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(m_boxes.Count(), 0);

    code->setFocus();
    QTest::keyClick(code, Qt::Key_Tab);
    EXPECT_EQ(dlg->focusWidget(), UpperBox(*dlg));

    QTest::keyClick(code, Qt::Key_5, Qt::KeypadModifier);
    ASSERT_NE(dlg->m_pWizard, nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->m_pWizard->isVisible());
    const QRect frame = dlg->frameGeometry();
    EXPECT_EQ(dlg->m_pWizard->pos(), QPoint(frame.left(), frame.top() + frame.height()));
    EXPECT_EQ(WizardInput(dlg->m_pWizard)->text(), QStringLiteral("5"));
    CStockKeyWizzard* first = dlg->m_pWizard;
    QTest::keyClick(WizardInput(first), Qt::Key_Escape);
    QTest::keyClick(code, Qt::Key_P);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_pWizard, first); // the same window, opened again
    EXPECT_EQ(WizardInput(first)->text(), QStringLiteral("p"));

    QTest::keyClick(code, Qt::Key_Return);
    EXPECT_EQ(m_boxes.LastText(), Gbk("请键入股票代码!"));
    QTest::keyClick(code, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(SelectStockTest, TypingAndPickingInTheWizardFillsTheDialog)
{
    auto dlg = Open();
    QTest::keyClick(CodeBox(*dlg), Qt::Key_P);
    QCoreApplication::processEvents();
    CStockKeyWizzard* wizard = dlg->m_pWizard;
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(wizard->windowTitle(), QString::fromUtf8("键盘精灵"));
    EXPECT_EQ(WizardList(wizard)->count(), 2); // 浦发银行, 平安银行
    QTest::keyClicks(WizardInput(wizard), QStringLiteral("ay"));
    ASSERT_EQ(WizardList(wizard)->count(), 1);
    QTest::keyClick(WizardInput(wizard), Qt::Key_Return);
    EXPECT_FALSE(wizard->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_strCode, "000001");
    EXPECT_EQ(dlg->m_byMarket, 2);

    QTest::keyClick(CodeBox(*dlg), Qt::Key_6);
    QCoreApplication::processEvents();
    QTest::keyClicks(WizardInput(wizard), QStringLiteral("00000"));
    QTest::keyClick(WizardInput(wizard), Qt::Key_Enter);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_strCode, "600000");
    EXPECT_EQ(dlg->m_byMarket, 1);
    EXPECT_EQ(NameText(*dlg), QString::fromUtf8("浦发银行"));
    ClickOk(*dlg);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(SelectStockTest, CandidateTableCutsCodesAndNamesAndTheCutExtensionComesBack)
{
    m_store.AddMarket(3, "ABC", 3);
    m_store.AddMarket(4, "ABCD", 4);
    const std::string longName = Gbk("中华人民共和国万岁啊"); // 20 bytes
    m_store.AddSymbol(4, "1234567", longName);
    auto dlg = Open();
    QTest::keyClick(CodeBox(*dlg), Qt::Key_1);
    QCoreApplication::processEvents();
    CStockKeyWizzard* wizard = dlg->m_pWizard;
    ASSERT_NE(wizard, nullptr);

    const TaKeyRegisterTable& table = wizard->KeyTable();
    EXPECT_EQ(+table.nFlag, 1u);
    EXPECT_EQ(+table.nMsg, static_cast<std::uint32_t>(ChangeMessage()));
    EXPECT_EQ(KQ_pWindowFromHandle(table.hNotifyWnd), dlg.get());
    ASSERT_EQ(+table.nCount, 4u);
    EXPECT_EQ(+table.nCapacity, 4u);
    const TaKeyRegisterItem* items = KQ_pGetKeyItems(table.pItems);
    ASSERT_NE(items, nullptr);
    EXPECT_STREQ(items[0].szCode, "600000.SH");
    EXPECT_STREQ(items[2].szCode, "000001.SZ");
    const TaKeyRegisterItem& cut = items[3];
    EXPECT_STREQ(cut.szCode, "1234567.ABC");
    EXPECT_EQ(std::memcmp(cut.szName, longName.data(), 19), 0);
    EXPECT_EQ(cut.szName[19], '\0');
    EXPECT_EQ(+cut.dwData1, 0u);
    EXPECT_EQ(+cut.dwData2, 0u);

    QTest::keyClicks(WizardInput(wizard), QStringLiteral("234"));
    ASSERT_EQ(WizardList(wizard)->count(), 1);
    const QString row = WizardList(wizard)->item(0)->text();
    EXPECT_EQ(row, QString::fromUtf8("1234567.ABC  中华人民共和国万岁"));
    QTest::keyClick(WizardInput(wizard), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_strCode, "1234567");
    EXPECT_EQ(dlg->m_byMarket, 3); // the market of the cut extension name
}

TEST_F(SelectStockTest, APickIsRefusedForAForeignMessageAndLostQuietlyWithoutItsOwner)
{
    auto dlg = Open();
    QTest::keyClick(CodeBox(*dlg), Qt::Key_6);
    QCoreApplication::processEvents();
    CStockKeyWizzard* wizard = dlg->m_pWizard;
    ASSERT_NE(wizard, nullptr);
    const auto msg = static_cast<std::uint32_t>(ChangeMessage());
    EXPECT_FALSE(wizard->OnSelectCode(msg + 1, "600000.SH"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->m_strCode.empty());
    EXPECT_TRUE(wizard->OnSelectCode(msg, "600000.SH"));
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->m_strCode, "600000");

    // The dialog goes with the selection still queued for it.
    EXPECT_TRUE(wizard->OnSelectCode(msg, "000001.SZ"));
    dlg.reset();
    QCoreApplication::processEvents();

    auto owner = std::make_unique<QDialog>();
    CStockKeyWizzard orphan(nullptr);
    ASSERT_EQ(orphan.Attach(owner.get()), 1);
    owner.reset();
    EXPECT_TRUE(orphan.OnSelectCode(msg, "600000.SH"));
    QCoreApplication::processEvents();
}

TEST_F(SelectStockTest, GroupModeHidesThePricesAndPlacesTheGroupsUnderTheCode)
{
    // The price dialog keeps the template's rectangles: the reference for the moves.
    auto price = Open(0);
    EXPECT_FALSE(Ctl<QLabel>(*price, 3001)->isVisible());
    EXPECT_FALSE(Ctl<QComboBox>(*price, 3002)->isVisible());
    const QRect label = price->Control(12021)->geometry();
    const QRect code = CodeBox(*price)->geometry();
    const QRect name = price->Control(1114)->geometry();

    auto dlg = Open(1);
    for (int id : {12013, 12014, 1101, 1102, 12020, 12019})
        EXPECT_FALSE(dlg->Control(id)->isVisible()) << id;
    QLabel* groupLabel = Ctl<QLabel>(*dlg, 3001);
    QComboBox* combo = Ctl<QComboBox>(*dlg, 3002);
    EXPECT_TRUE(groupLabel->isVisible());
    EXPECT_TRUE(combo->isVisible());
    EXPECT_EQ(groupLabel->text(), QString::fromUtf8("自选股:"));

    const int d = dlg->rect().height() / 2 - label.height() / 2 - 40;
    EXPECT_EQ(dlg->Control(12021)->geometry(), label.translated(0, d));
    EXPECT_EQ(CodeBox(*dlg)->geometry(), code.translated(0, d));
    EXPECT_EQ(dlg->Control(1114)->geometry(), name.translated(0, d));
    const int comboTop = code.top() + d + code.height() + label.height() + 5;
    EXPECT_EQ(combo->geometry(), QRect(code.left(), comboTop, 2 * code.width(), code.height()));
    // The label lines up with the combo box it names.
    const QRect placed = groupLabel->geometry();
    EXPECT_EQ(placed.left(), label.left());
    EXPECT_EQ(placed.size(), label.size());
    EXPECT_LE(std::abs((placed.top() + placed.bottom()) -
                       (combo->geometry().top() + combo->geometry().bottom())),
              1);
    EXPECT_LE(combo->geometry().bottom(), Ctl<QPushButton>(*dlg, 1)->geometry().top());
}

TEST_F(SelectStockTest, TheWizardGoesWithItsDialogWhicheverWayTheDialogEnds)
{
    const std::vector<std::pair<const char*, std::function<void(CSelectStockDlg&)>>> endings{
        {"OK", [](CSelectStockDlg& dlg) { ClickOk(dlg); }},
        {"Cancel",
         [](CSelectStockDlg& dlg) { QTest::mouseClick(Ctl<QPushButton>(dlg, 2), Qt::LeftButton); }},
        {"Escape in the code box",
         [](CSelectStockDlg& dlg) { QTest::keyClick(CodeBox(dlg), Qt::Key_Escape); }},
        {"closed", [](CSelectStockDlg& dlg) { dlg.close(); }},
    };
    for (const auto& [how, end] : endings) {
        auto dlg = Open();
        Choose(*dlg, 1, "600000");
        QTest::keyClick(CodeBox(*dlg), Qt::Key_6);
        QCoreApplication::processEvents();
        ASSERT_NE(dlg->m_pWizard, nullptr) << how;
        ASSERT_TRUE(dlg->m_pWizard->isVisible()) << how;
        end(*dlg);
        EXPECT_FALSE(dlg->isVisible()) << how;
        EXPECT_FALSE(dlg->m_pWizard->isVisible()) << how;
    }
}

TEST_F(SelectStockTest, DialogsOfFixedTemplatesCannotBeResized)
{
    auto stock = Open(1);
    CAlertListDlg list(nullptr, nullptr);
    list.show();
    for (QDialog* dialog : std::initializer_list<QDialog*>{stock.get(), &list}) {
        const QSize size = dialog->size();
        EXPECT_EQ(dialog->minimumSize(), size) << dialog->windowTitle().toStdString();
        EXPECT_EQ(dialog->maximumSize(), size) << dialog->windowTitle().toStdString();
        dialog->resize(size + QSize(120, 80));
        EXPECT_EQ(dialog->size(), size) << dialog->windowTitle().toStdString();
    }
}

TEST_F(SelectStockTest, ModalRunReturnsOkWithTheChosenGroup)
{
    CSelectStockDlg dlg;
    dlg.m_nMode = 1;
    QTimer::singleShot(0, [] {
        auto* modal = dynamic_cast<CSelectStockDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        Ctl<QComboBox>(*modal, 3002)->setCurrentIndex(1);
        ClickOk(*modal);
    });
    CModalGuard guard;
    EXPECT_EQ(dlg.DoModal(), 1);
    EXPECT_EQ(dlg.m_strGroup, Gbk("自选1"));
}

TEST_F(SelectStockTest, ModalRunTakesAStockPickedInTheWizard)
{
    CSelectStockDlg dlg;
    QTimer::singleShot(0, [] {
        auto* modal = dynamic_cast<CSelectStockDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        QTest::keyClick(CodeBox(*modal), Qt::Key_6);
        QCoreApplication::processEvents();
        ASSERT_NE(modal->m_pWizard, nullptr);
        QTest::keyClicks(WizardInput(modal->m_pWizard), QStringLiteral("00000"));
        QTest::keyClick(WizardInput(modal->m_pWizard), Qt::Key_Return);
        QCoreApplication::processEvents();
        ClickOk(*modal);
    });
    CModalGuard guard;
    EXPECT_EQ(dlg.DoModal(), 1);
    EXPECT_EQ(dlg.m_strCode, "600000");
    EXPECT_EQ(dlg.m_strName, Gbk("浦发银行"));
    EXPECT_EQ(dlg.m_byMarket, 1);
    EXPECT_EQ(m_boxes.Count(), 0);
}
